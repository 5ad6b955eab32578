// The program entry: prepares the few system facilities the rest needs, creates the hidden owner
// window and runs the extraction quietly or behind the progress window.
// windows.h first: commctrl.h builds on its types.
// clang-format off
#include <windows.h>
// clang-format on
#include <commctrl.h>
#include <string.h>

#include "common/globals.h"
#include "startup/extraction_job.h"
#include "system/system_library.h"
#include "window/progress_window.h"

namespace {

const char HIDDEN_CLASS[] = "QJXsda_Hidden_Window";
// LOAD_LIBRARY_SEARCH_SYSTEM32; the constant is missing from old headers.
constexpr DWORD SEARCH_SYSTEM32 = 0x00000800;

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);

// A stub usually runs from a downloads folder, where anyone may have left a DLL. Where the
// system can, restrict every later bare-name load to the system directory.
void RestrictDllSearch() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return;
    SetDefaultDllDirectoriesFunction restrict_search =
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (restrict_search != nullptr) restrict_search(SEARCH_SYSTEM32);
}

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

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
    g_hinstance = instance;
    RestrictDllSearch();
    LoadSystemLibrary("RichEd20.dll");
    InitCommonControls();

    WNDCLASSA window_class;
    memset(&window_class, 0, sizeof(window_class));
    window_class.lpfnWndProc = HiddenWindowProc;
    window_class.hInstance = instance;
    window_class.lpszClassName = HIDDEN_CLASS;
    RegisterClassA(&window_class);
    HWND hidden =
        CreateWindowA(HIDDEN_CLASS, HIDDEN_CLASS, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    ShowWindow(hidden, SW_HIDE);
    UpdateWindow(hidden);

    WorkerContext context;
    memset(&context, 0, sizeof(context));
    if (ProbeQuietFlag()) {
        RunExtractionJob(hidden, &context);
    } else {
        RunProgressWindow(hidden, RunExtractionJob, &context);
    }
    return 1;
}
