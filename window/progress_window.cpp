#include "window/progress_window.h"

#include <commctrl.h>
#include <stdlib.h>

#include <atomic>
#include <new>

#include "common/globals.h"
#include "resources/resource_ids.h"
#include "window/branding.h"
#include "window/installer_launch.h"
#include "window/window_images.h"

namespace {

constexpr UINT_PTR PROGRESS_TIMER = 100;
constexpr UINT PROGRESS_PERIOD_MS = 75;
const char CAPTION_TEXT[] = "Select a Language:";
constexpr UINT CAPTION_FLAGS = 0x8921;  // centred single line, no clip, no prefix, ellipsis
static_assert(CAPTION_FLAGS ==
                  (DT_CENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX | DT_END_ELLIPSIS),
              "caption flags");

}  // namespace

// Shared by the dialog (UI thread) and the worker thread. The fields both threads touch are
// atomics; the rest is written before the worker starts or read only on the UI thread.
struct ProgressWindowState {
    HWND dialog;
    HWND owner;
    WorkerFunction worker;
    void* worker_argument;
    std::atomic<int32_t> requested_percent;
    std::atomic<int32_t> displayed_percent;
    DWORD worker_thread_id;
    std::atomic<ResultCode> worker_result;
    std::atomic<int32_t> cancel_requested;
    int32_t background_width;
    int32_t background_height;
    HBITMAP background_bitmap;
    HPALETTE background_palette;
    int32_t palette_pending;
    HFONT caption_font;
    HANDLE worker_thread;     // waited for before the record is freed
    int32_t language_button;  // taken without asking once the worker succeeds; 0: ask
    int32_t launch_result;    // -1 until a language was taken, then LaunchPackage's result
};

static_assert(std::atomic<int32_t>::is_always_lock_free, "the shared fields need no lock");

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
DWORD WINAPI WorkerThreadMain(LPVOID record);

namespace {

// The one running progress window. The worker finds its record here rather than through the
// dialog, because the dialog may already be gone (closed mid-run) while the worker still reports.
ProgressWindowState* g_runningWindow;

ProgressWindowState* StateOf(HWND window) {
    ProgressWindowState* state = g_runningWindow;
    return state != nullptr && state->dialog == window ? state : nullptr;
}

void LayoutDialog(ProgressWindowState* state) {
    HWND dialog = state->dialog;
    const int w = state->background_width;
    const int h = state->background_height;
    SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w + 2 * GetSystemMetrics(SM_CXDLGFRAME),
                 h + GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYDLGFRAME),
                 SWP_NOZORDER);
    MoveWindow(GetDlgItem(dialog, IDC_PROGRESS_BAR), 10, static_cast<int>(h * 0.62), w - 20, 15,
               TRUE);
    MoveWindow(GetDlgItem(dialog, IDCANCEL), (w - 70) / 2, static_cast<int>(h * 0.72), 70, 25,
               TRUE);

    LOGFONTA font;
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    font.lfWeight = 700;
    font.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    state->caption_font = CreateFontIndirectA(&font);

    // Every language picture has the size of the first one.
    HBITMAP sample = LoadBitmapA(g_hinstance, MAKEINTRESOURCEA(IDB_ENGLISH_PRESSED));
    BITMAP size = {};
    GetObjectA(sample, sizeof size, &size);
    DeleteObject(sample);
    const int top = static_cast<int>(h * 0.82);
    const int centres[3] = {w / 5, w / 2, (4 * w) / 5};
    const int ids[3] = {IDC_ENGLISH, IDC_GERMAN, IDC_JAPANESE};
    for (int i = 0; i < 3; ++i) {
        MoveWindow(GetDlgItem(dialog, ids[i]), centres[i] - size.bmWidth / 2, top, size.bmWidth,
                   size.bmHeight, TRUE);
    }
}

void Paint(ProgressWindowState* state) {
    HWND dialog = state->dialog;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous_bitmap = SelectObject(memory, state->background_bitmap);
    if (state->palette_pending) {
        state->palette_pending = 0;
        if (state->background_palette != nullptr) {
            SelectPalette(dc, state->background_palette, FALSE);
            RealizePalette(dc);
        }
    }
    const RECT& r = paint.rcPaint;
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, r.left, r.top, SRCCOPY);
    SelectObject(memory, previous_bitmap);
    DeleteDC(memory);

    if (IsWindowEnabled(GetDlgItem(dialog, IDC_ENGLISH))) {
        const int top = static_cast<int>(state->background_height * 0.72);
        RECT caption = {0, top, state->background_width, top + 15};
        HGDIOBJ previous_font = SelectObject(dc, state->caption_font);
        int previous_mode = SetBkMode(dc, TRANSPARENT);
        DrawTextA(dc, CAPTION_TEXT, -1, &caption, CAPTION_FLAGS);
        SetBkMode(dc, previous_mode);
        SelectObject(dc, previous_font);
    }
    EndPaint(dialog, &paint);
}

void OnTimer(ProgressWindowState* state) {
    if (state->worker_thread_id == 0) {
        // A failed start leaves the id 0, so the next tick tries again.
        state->worker_thread =
            CreateThread(nullptr, 0, WorkerThreadMain, state, 0, &state->worker_thread_id);
        if (state->worker_thread == nullptr) state->worker_thread_id = 0;
    }
    int32_t requested = state->requested_percent.load();
    if (requested != state->displayed_percent.load()) {
        state->displayed_percent.store(requested);
        SendDlgItemMessageA(state->dialog, IDC_PROGRESS_BAR, PBM_SETPOS,
                            static_cast<WPARAM>(requested), 0);
    }
}

// Ends the dialog with 0. A worker still running is told to stop; RunProgressWindow waits for it.
void CloseDialog(ProgressWindowState* state) {
    state->cancel_requested.store(1);
    KillTimer(state->dialog, PROGRESS_TIMER);
    if (state->caption_font != nullptr) {
        DeleteObject(state->caption_font);
        state->caption_font = nullptr;
    }
    EndDialog(state->dialog, 0);
}

void OnCommand(ProgressWindowState* state, int id) {
    HWND dialog = state->dialog;
    switch (id) {
        case IDCANCEL:
            if (!IsWindowEnabled(GetDlgItem(dialog, IDCANCEL))) {
                // Esc during the language choice: the worker is done and will not end the
                // dialog, so a hidden window would stay forever. Close instead.
                CloseDialog(state);
                return;
            }
            ShowWindow(dialog, SW_HIDE);
            state->cancel_requested.store(1);
            return;
        case IDC_ENGLISH:
        case IDC_GERMAN:
        case IDC_JAPANESE: {
            if (state->cancel_requested.load() != 0) {
                // Cancel came before a language chosen beforehand was taken: nothing starts.
                CloseDialog(state);
                return;
            }
            ShowWindow(dialog, SW_HIDE);
            state->launch_result = LaunchPackage(dialog, g_tempFolder, TransformForButton(id));
            EndDialog(dialog, 1);
            return;
        }
        default:
            return;
    }
}

// Waits for the worker thread while serving this thread's messages: the worker may still send
// to our windows or show a message box before it notices the cancel.
void WaitForWorker(HANDLE thread) {
    bool quit = false;
    int quit_code = 0;
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                quit_code = static_cast<int>(message.wParam);
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    if (quit) PostQuitMessage(quit_code);
}

}  // namespace

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        ProgressWindowState* state = reinterpret_cast<ProgressWindowState*>(lparam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        state->dialog = window;
        SetBrandedTitle(window);
        SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
        LayoutDialog(state);
        SetForegroundWindow(window);
        SetTimer(window, PROGRESS_TIMER, PROGRESS_PERIOD_MS, nullptr);
        return 1;
    }
    ProgressWindowState* state =
        reinterpret_cast<ProgressWindowState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (state == nullptr) return 0;
    switch (message) {
        case WM_TIMER:
            OnTimer(state);
            return 0;
        case WM_PAINT:
            Paint(state);
            return 0;
        case WM_DRAWITEM:
            DrawLanguageButton(reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
            return 1;
        case WM_COMMAND:
            OnCommand(state, LOWORD(wparam));
            return 0;
        case WM_DESTROY:
        case WM_CLOSE:
            CloseDialog(state);
            return 0;
        default:
            return 0;
    }
}

DWORD WINAPI WorkerThreadMain(LPVOID record) {
    ProgressWindowState* state = static_cast<ProgressWindowState*>(record);
    ResultCode result = state->worker(state->dialog, state->worker_argument);
    state->worker_result.store(result);
    HWND dialog = state->dialog;
    if (state->cancel_requested.load() != 0 || result != RESULT_OK) {
        SendMessageA(dialog, WM_DESTROY, 0, 0);
        return 0;
    }
    if (state->language_button != 0) {
        // The language was chosen beforehand: go on as if its button had been clicked.
        PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(state->language_button), 0);
        return 0;
    }
    const int ids[3] = {IDC_ENGLISH, IDC_GERMAN, IDC_JAPANESE};
    for (int id : ids) {
        EnableWindow(GetDlgItem(dialog, id), TRUE);
        ShowWindow(GetDlgItem(dialog, id), SW_SHOW);
    }
    EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
    ShowWindow(GetDlgItem(dialog, IDCANCEL), SW_HIDE);
    if (state->cancel_requested.load() != 0) {
        // Cancel arrived while the buttons were being revealed: the window is hidden by now and
        // nobody else would end it.
        SendMessageA(dialog, WM_DESTROY, 0, 0);
        return 0;
    }
    InvalidateRect(dialog, nullptr, TRUE);
    UpdateWindow(dialog);
    return 0;
}

ResultCode RunProgressWindow(HWND owner, WorkerFunction worker, void* worker_argument,
                             int32_t language_button) {
    void* memory = calloc(1, sizeof(ProgressWindowState));
    if (memory == nullptr) return RESULT_OUT_OF_MEMORY;
    ProgressWindowState* state = new (memory) ProgressWindowState();
    state->owner = owner;
    state->worker = worker;
    state->worker_argument = worker_argument;
    state->language_button = language_button;
    state->launch_result = -1;
    state->background_bitmap = LoadBackgroundImage(
        &state->background_palette, &state->background_width, &state->background_height);
    state->palette_pending = 1;

    g_runningWindow = state;
    const INT_PTR ended = DialogBoxParamA(g_hinstance, MAKEINTRESOURCEA(IDD_PROGRESS), owner,
                                          ProgressDialogProc, reinterpret_cast<LPARAM>(state));
    // No dialog at all (a session without a desktop, no memory): nobody saw a window, so nobody
    // cancelled either.
    const bool no_window = ended == -1 || state->dialog == nullptr;
    if (state->worker_thread != nullptr) {
        WaitForWorker(state->worker_thread);
        CloseHandle(state->worker_thread);
    }
    g_runningWindow = nullptr;

    if (state->background_bitmap != nullptr) DeleteObject(state->background_bitmap);
    if (state->background_palette != nullptr) DeleteObject(state->background_palette);
    ResultCode result = state->worker_result.load();
    if (no_window) {
        result = RESULT_WINDOW_FAILED;
    } else if (result == RESULT_OK) {
        result = state->launch_result < 0    ? RESULT_USER_CANCEL
                 : state->launch_result == 0 ? RESULT_LAUNCH_FAILED
                                             : RESULT_OK;
    }
    free(state);
    return result;
}

ResultCode SetProgress(HWND window, int32_t percent, bool immediate) {
    ProgressWindowState* state = StateOf(window);
    if (state == nullptr) return RESULT_OK;
    state->requested_percent.store(percent);
    if (immediate) {
        state->displayed_percent.store(percent);
        SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    }
    return state->cancel_requested.load() != 0 ? RESULT_USER_CANCEL : RESULT_OK;
}

int32_t IsCancelRequested(HWND window) {
    ProgressWindowState* state = StateOf(window);
    return state != nullptr ? state->cancel_requested.load() : 0;
}
