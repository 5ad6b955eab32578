#include "startup/hidden_window.h"

#include <string.h>

#include "common/globals.h"

namespace {

const char HIDDEN_CLASS[] = "QJXsda_Hidden_Window";

HWND g_hiddenWindow;

LRESULT CALLBACK HiddenWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CREATE) {
        RECT rect;
        GetWindowRect(window, &rect);
        int width = rect.right - rect.left;
        int height = rect.bottom - rect.top;
        SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

HWND GetHiddenOwnerWindow() {
    if (g_hiddenWindow != nullptr) return g_hiddenWindow;
    WNDCLASSA window_class;
    memset(&window_class, 0, sizeof(window_class));
    window_class.lpfnWndProc = HiddenWindowProc;
    window_class.hInstance = g_hinstance;
    window_class.lpszClassName = HIDDEN_CLASS;
    RegisterClassA(&window_class);
    g_hiddenWindow =
        CreateWindowA(HIDDEN_CLASS, HIDDEN_CLASS, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, g_hinstance, nullptr);
    ShowWindow(g_hiddenWindow, SW_HIDE);
    UpdateWindow(g_hiddenWindow);
    return g_hiddenWindow;
}
