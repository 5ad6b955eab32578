/* The start-up the stub's entry has to make, and nothing else: the rich-edit library by its
   system path, the common controls, the hidden owner window centred in WM_CREATE. Built with the
   stub's manifest and link options, so that the time the Wine benchmark gives it is the floor for
   the stub's own start-up. Keep it in step with startup/main.cpp. Exit code 1, as the stub's. */
// windows.h first: the other system headers build on its types.
// clang-format off
#include <windows.h>
// clang-format on
#include <commctrl.h>
#include <string.h>

static const char HIDDEN_CLASS[] = "QJXsda_Hidden_Window";

static LRESULT CALLBACK HiddenWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CREATE) {
        RECT rect;
        GetWindowRect(window, &rect);
        SetWindowPos(window, NULL, (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2, 0, 0,
                     SWP_NOZORDER | SWP_NOSIZE);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
    char path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    WNDCLASSA window_class;
    HWND hidden;
    (void)previous;
    (void)command_line;
    (void)show;
    if (length > 0 && length < MAX_PATH) {
        if (path[length - 1] != '\\') path[length++] = '\\';
        memcpy(path + length, "RichEd20.dll", sizeof("RichEd20.dll"));
        LoadLibraryA(path);
    }
    InitCommonControls();

    memset(&window_class, 0, sizeof(window_class));
    window_class.lpfnWndProc = HiddenWindowProc;
    window_class.hInstance = instance;
    window_class.lpszClassName = HIDDEN_CLASS;
    RegisterClassA(&window_class);
    hidden = CreateWindowA(HIDDEN_CLASS, HIDDEN_CLASS, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, instance, NULL);
    ShowWindow(hidden, SW_HIDE);
    UpdateWindow(hidden);
    return 1;
}
