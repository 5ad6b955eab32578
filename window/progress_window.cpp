#include "window/progress_window.h"

#include <commctrl.h>
#include <stdlib.h>

#include <atomic>
#include <new>

#include "common/globals.h"
#include "resources/resource_ids.h"
#include "system/windows_family.h"
#include "window/branding.h"
#include "window/installer_launch.h"
#include "window/language_buttons.h"
#include "window/window_images.h"
#include "window/window_layout.h"

namespace {

constexpr UINT_PTR PROGRESS_TIMER = 100;
constexpr UINT PROGRESS_PERIOD_MS = 75;
const char CAPTION_TEXT[] = "Select a Language:";
constexpr UINT CAPTION_FLAGS = 0x8921;  // centred single line, no clip, no prefix, ellipsis
static_assert(CAPTION_FLAGS ==
                  (DT_CENTER | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX | DT_END_ELLIPSIS),
              "caption flags");

// The caption as a control of its own, so that a screen reader can read it.
constexpr int IDC_LANGUAGE_CAPTION = 1006;
// Posted by the worker once the language buttons are shown: the focus can only be moved from
// the window's own thread.
constexpr UINT WM_LANGUAGES_SHOWN = WM_APP + 1;

// Newer than the headers' target; older systems send none of them or lack the calls.
constexpr UINT MESSAGE_DPI_CHANGED = 0x02E0;      // WM_DPICHANGED
constexpr UINT MESSAGE_THEME_CHANGED = 0x031A;    // WM_THEMECHANGED
constexpr int DIALOG_DPI_CHANGE_DISABLE_ALL = 1;  // DDC_DISABLE_ALL
typedef UINT(WINAPI* GetDpiForWindowFunction)(HWND);
typedef BOOL(WINAPI* SetDialogDpiChangeBehaviorFunction)(HWND, int, int);
typedef BOOL(WINAPI* AdjustWindowRectExForDpiFunction)(RECT*, DWORD, BOOL, DWORD, UINT);

template <typename Function>
Function User32Function(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

}  // namespace

HighContrastQuery g_highContrastQuery = IsSystemHighContrastOn;

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
    HANDLE worker_thread;       // waited for before the record is freed
    int32_t chosen_language;    // taken without asking once the worker succeeds; -1: ask
    int32_t focus_language;     // takes the focus and the default when the buttons show
    int32_t launch_result;      // -1 until a language was taken, then LaunchLanguage's result
    HBITMAP scaled_background;  // the background at the client area's size; null at 96 DPI
    HFONT template_font;        // the dialog's own font, used at 96 DPI
    HFONT text_font;            // "MS Shell Dlg 2" at the DPI: the controls' font away from 96
                                // DPI, the plain buttons' font at every DPI
    int32_t high_contrast;      // 1: system colours, no pictures
    int32_t keyboard_used;      // 1 once a key reached the dialog: focus marks show from then on
    int32_t dpi;                // the layout's
    int32_t picture_height;     // the background's at the layout's DPI; below it, band_colour
    COLORREF band_colour;       // the background's bottom row, under rows of buttons below it
    HFONT language_fonts[MAX_LANGUAGES];  // text_font with a name's character set, or null
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

void Move(HWND control, const LayoutRect& r) {
    MoveWindow(control, r.left, r.top, r.width, r.height, TRUE);
}

// The DPI of the window's monitor, or of the screen where the system cannot say per window.
int32_t WindowDpi(HWND window) {
    GetDpiForWindowFunction get_dpi = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (get_dpi != nullptr) {
        UINT dpi = get_dpi(window);
        if (dpi != 0) return static_cast<int32_t>(dpi);
    }
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : BASE_DPI;
}

// The frame around a w x h client area: at 96 DPI from the dialog frame's metrics; otherwise
// from the system for that DPI, so that the client area is w x h also on another monitor.
SIZE WindowSizeFor(HWND dialog, int32_t dpi, int w, int h) {
    if (dpi == BASE_DPI) {
        return {w + 2 * GetSystemMetrics(SM_CXDLGFRAME),
                h + GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYDLGFRAME)};
    }
    RECT frame = {0, 0, w, h};
    const DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
    const DWORD ex_style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_EXSTYLE));
    AdjustWindowRectExForDpiFunction adjust =
        User32Function<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
    if (adjust == nullptr || !adjust(&frame, style, FALSE, ex_style, static_cast<UINT>(dpi))) {
        AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    }
    return {frame.right - frame.left, frame.bottom - frame.top};
}

// The caption's font: at 96 DPI the bold default GUI font; otherwise "MS Shell Dlg 2", a
// TrueType face that stays sharp where the raster "MS Sans Serif" would be stretched. The
// dialog's font at other DPIs is the same face, not bold, and so is the plain buttons' font at
// every DPI: the face has the Japanese name through the system's font links, "MS Sans Serif" not.
HFONT CreateWindowFont(int32_t dpi, bool bold) {
    LOGFONTA font;
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    if (dpi != BASE_DPI) {
        font.lfHeight = DialogFontHeight(dpi);
        font.lfWidth = 0;
        lstrcpynA(font.lfFaceName, "MS Shell Dlg 2", LF_FACESIZE);
    }
    font.lfWeight = bold ? 700 : 400;
    font.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    return CreateFontIndirectA(&font);
}

// Centred on the screen by its client area, or on the suggested rectangle by its frame.
void PlaceWindow(HWND dialog, const RECT* suggested, int w, int h, SIZE outer) {
    int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    if (suggested != nullptr) {
        x = (suggested->left + suggested->right - outer.cx) / 2;
        y = (suggested->top + suggested->bottom - outer.cy) / 2;
    }
    SetWindowPos(dialog, nullptr, x, y, outer.cx, outer.cy, SWP_NOZORDER);
}

void DeleteLanguageFonts(ProgressWindowState* state) {
    for (HFONT& font : state->language_fonts) {
        if (font != nullptr) DeleteObject(font);
        font = nullptr;
    }
}

// Lays the window out for dpi, centred on the screen or, after a change of DPI, on the
// rectangle the system suggests.
void LayoutDialog(ProgressWindowState* state, int32_t dpi, const RECT* suggested) {
    HWND dialog = state->dialog;
    // Every language picture has the size of the first one.
    HBITMAP sample = LoadBitmapA(g_hinstance, MAKEINTRESOURCEA(IDB_ENGLISH_PRESSED));
    BITMAP size = {};
    GetObjectA(sample, sizeof size, &size);
    DeleteObject(sample);
    if (state->caption_font != nullptr) DeleteObject(state->caption_font);
    state->caption_font = CreateWindowFont(dpi, true);
    if (g_languages.caption[0] != 0) {
        HFONT hinted = CreateHintedFont(state->caption_font, "", g_languages.caption);
        if (hinted != nullptr) {
            DeleteObject(state->caption_font);
            state->caption_font = hinted;
        }
    }
    HFONT previous_font = state->text_font;
    state->text_font = CreateWindowFont(dpi, false);
    DeleteLanguageFonts(state);
    for (int32_t i = 0; i < LanguageButtonCount(); ++i) {
        state->language_fonts[i] = CreateLanguageFont(state->text_font, i);
    }
    WindowLayout layout;
    if (g_languages.count == 0) {
        ComputeWindowLayout(dpi, state->background_width, state->background_height, size.bmWidth,
                            size.bmHeight, &layout);
    } else {
        // A vendor's pictures set the buttons' size; drawn buttons fit the longest name.
        int32_t width = 0;
        int32_t height = 0;
        int32_t text_height = 0;
        if (VendorPictureSize(&width, &height)) {
            width = LanguageButtonWidth(dpi, state->background_width, width, 0);
        } else {
            MeasureLanguageNames(state->language_fonts, state->text_font, &width, &text_height);
            width = LanguageButtonWidth(dpi, state->background_width, size.bmWidth, width);
            height = size.bmHeight;
        }
        ComputeLanguageLayout(dpi, state->background_width, state->background_height,
                              LanguageButtonCount(), width,
                              LanguageButtonHeight(dpi, height, text_height), &layout);
    }
    state->dpi = dpi;
    state->picture_height = layout.background_height;
    const int w = layout.client_width;
    const int h = layout.client_height;

    SIZE outer = WindowSizeFor(dialog, dpi, w, h);
    PlaceWindow(dialog, suggested, w, h, outer);
    if (dpi != BASE_DPI) {
        // Whatever frame the system drew, the client area must hold the layout.
        RECT client;
        GetClientRect(dialog, &client);
        if (client.right != w || client.bottom != h) {
            outer.cx += w - client.right;
            outer.cy += h - client.bottom;
            PlaceWindow(dialog, suggested, w, h, outer);
        }
    }
    Move(GetDlgItem(dialog, IDC_PROGRESS_BAR), layout.progress_bar);
    Move(GetDlgItem(dialog, IDCANCEL), layout.cancel);
    Move(GetDlgItem(dialog, IDC_LANGUAGE_CAPTION), layout.caption);
    for (int32_t i = 0; i < LanguageButtonCount(); ++i) {
        Move(GetDlgItem(dialog, LanguageButtonId(i)), layout.buttons[i]);
    }

    HFONT font = dpi != BASE_DPI ? state->text_font : state->template_font;
    SendDlgItemMessageA(dialog, IDCANCEL, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    for (int32_t i = 0; i < LanguageButtonCount(); ++i) {
        SendDlgItemMessageA(dialog, LanguageButtonId(i), WM_SETFONT, reinterpret_cast<WPARAM>(font),
                            TRUE);
    }
    SendDlgItemMessageA(dialog, IDC_LANGUAGE_CAPTION, WM_SETFONT,
                        reinterpret_cast<WPARAM>(state->caption_font), TRUE);
    if (previous_font != nullptr) DeleteObject(previous_font);

    if (state->scaled_background != nullptr) DeleteObject(state->scaled_background);
    state->scaled_background =
        dpi != BASE_DPI ? ScaleBackgroundImage(state->background_bitmap, w,
                                               layout.background_height, &state->background_palette)
                        : nullptr;
    InvalidateRect(dialog, nullptr, TRUE);
}

// The colour of the picture's bottom row, which fills the rows of buttons below it.
COLORREF BottomColour(HBITMAP picture, int32_t height) {
    if (picture == nullptr || height <= 0) return GetSysColor(COLOR_BTNFACE);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ previous = SelectObject(memory, picture);
    const COLORREF colour = GetPixel(memory, 0, height - 1);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return colour;
}

HBITMAP Background(const ProgressWindowState* state) {
    return state->scaled_background != nullptr ? state->scaled_background
                                               : state->background_bitmap;
}

// The language buttons' texts carry their mnemonics. On the NT family in UTF-16, since the
// dialog template is ANSI and would lose the Japanese name outside Japanese code pages.
void SetLanguageTexts(HWND dialog) {
    const int languages[3] = {IDC_ENGLISH, IDC_GERMAN, IDC_JAPANESE};
    for (int id : languages) {
        if (IsWindows9x()) {
            SetDlgItemTextA(dialog, id, LanguageButtonTextA(static_cast<UINT>(id)));
        } else {
            SetWindowTextW(GetDlgItem(dialog, id), LanguageButtonText(static_cast<UINT>(id)));
        }
    }
}

void AddStyle(HWND control, LONG style) {
    SetWindowLongA(control, GWL_STYLE, GetWindowLongA(control, GWL_STYLE) | style);
}

// What keyboard users and screen readers need beyond the template: the caption as a hidden
// static control (shown with the buttons, drawn by us in the caption's place), the languages as
// a group of tab stops that report their focus, and their texts with mnemonics.
void PrepareControls(HWND dialog) {
    HWND caption = CreateWindowExA(
        0, "STATIC", CAPTION_TEXT, WS_CHILD | SS_OWNERDRAW | SS_NOPREFIX, 0, 0, 0, 0, dialog,
        reinterpret_cast<HMENU>(IDC_LANGUAGE_CAPTION), g_hinstance, nullptr);
    // Read after the progress bar, before the buttons it introduces.
    SetWindowPos(caption, GetDlgItem(dialog, IDC_PROGRESS_BAR), 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // The arrow keys stay within the languages: Cancel starts the group before them.
    AddStyle(GetDlgItem(dialog, IDCANCEL), WS_GROUP);
    if (g_languages.count > 0) {
        // A vendor's languages replace the stock three.
        const int stock[3] = {IDC_ENGLISH, IDC_GERMAN, IDC_JAPANESE};
        for (int id : stock) DestroyWindow(GetDlgItem(dialog, id));
        CreateLanguageButtons(dialog, caption);
        DrawnText text;
        CaptionTextFor(&text);
        if (text.ansi_only) {
            SetWindowTextA(caption, text.ansi);
        } else {
            SetWindowTextW(caption, text.wide);
        }
        return;
    }
    AddStyle(GetDlgItem(dialog, IDC_ENGLISH), WS_GROUP);
    const int languages[3] = {IDC_ENGLISH, IDC_GERMAN, IDC_JAPANESE};
    for (int id : languages) {
        AddStyle(GetDlgItem(dialog, id), WS_TABSTOP | BS_NOTIFY);
    }
    SetLanguageTexts(dialog);
}

// The window's background behind a control's rectangle r: the picture, and below it the band of
// its bottom colour.
void PaintBackground(const ProgressWindowState* state, HWND control, HDC dc, const RECT& r) {
    POINT origin = {0, 0};
    MapWindowPoints(control, state->dialog, &origin, 1);
    const int picture_bottom = state->picture_height - origin.y;
    if (r.bottom > picture_bottom) {
        const RECT band = {r.left, r.top > picture_bottom ? r.top : picture_bottom, r.right,
                           r.bottom};
        HBRUSH brush = CreateSolidBrush(state->band_colour);
        FillRect(dc, &band, brush);
        DeleteObject(brush);
    }
    const int bottom = r.bottom < picture_bottom ? r.bottom : picture_bottom;
    if (bottom <= r.top) return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous_bitmap = SelectObject(memory, Background(state));
    BitBlt(dc, r.left, r.top, r.right - r.left, bottom - r.top, memory, origin.x + r.left,
           origin.y + r.top, SRCCOPY);
    SelectObject(memory, previous_bitmap);
    DeleteDC(memory);
}

void PaintButtonBackground(const void* context, const DRAWITEMSTRUCT* item) {
    PaintBackground(static_cast<const ProgressWindowState*>(context), item->hwndItem, item->hDC,
                    item->rcItem);
}

// The caption, drawn by its static control over its slice of the background.
void DrawCaption(const ProgressWindowState* state, const DRAWITEMSTRUCT* item) {
    HDC dc = item->hDC;
    const RECT& r = item->rcItem;
    if (state->high_contrast) {
        FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    } else {
        PaintBackground(state, item->hwndItem, dc, r);
        const uint32_t colour = g_languages.caption_colour;
        SetTextColor(dc, colour == LANGUAGE_DEFAULT_COLOUR
                             ? RGB(0, 0, 0)
                             : RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF));
    }
    if (state->caption_font == nullptr) return;
    RECT caption = r;
    HGDIOBJ previous_font = SelectObject(dc, state->caption_font);
    int previous_mode = SetBkMode(dc, TRANSPARENT);
    if (g_languages.count == 0 && g_languages.caption[0] == 0) {
        DrawTextA(dc, CAPTION_TEXT, -1, &caption, CAPTION_FLAGS);
    } else {
        DrawnText text;
        CaptionTextFor(&text);
        DrawTextFor(dc, text, &caption, CAPTION_FLAGS);
    }
    SetBkMode(dc, previous_mode);
    SelectObject(dc, previous_font);
}

void OnDrawItem(const ProgressWindowState* state, const DRAWITEMSTRUCT* original) {
    // Windows hides focus marks from a mouse user until a key is used, and says so in the item's
    // state; where the system does not (Wine), the window keeps the same rule itself.
    DRAWITEMSTRUCT copy = *original;
    if (state->keyboard_used == 0) {
        copy.itemState |= ITEM_NO_FOCUS_MARK;
        // The vendor's names hide their mnemonics' underlines as well, as Windows does until
        // the keyboard is used.
        if (g_languages.count > 0) copy.itemState |= ITEM_NO_ACCELERATOR;
    }
    const DRAWITEMSTRUCT* item = &copy;
    if (item->CtlID == IDC_LANGUAGE_CAPTION) {
        DrawCaption(state, item);
    } else if (g_languages.count > 0) {
        const int32_t index = LanguageIndexOfButton(static_cast<int>(item->CtlID));
        HFONT font = index >= 0 && state->language_fonts[index] != nullptr
                         ? state->language_fonts[index]
                         : state->text_font;
        if (state->high_contrast) {
            DrawPlainVendorButton(item, font);
        } else if (g_languages.flags & LANGUAGE_FLAG_PICTURES) {
            DrawVendorPictureButton(item);
        } else {
            DrawDrawnLanguageButton(item, font, state->dpi, PaintButtonBackground, state);
        }
    } else if (state->high_contrast) {
        DrawPlainLanguageButton(item, state->text_font);
    } else {
        DrawLanguageButton(item);
    }
}

// High contrast on or off: the window follows a change of theme while it is open.
void OnColoursChanged(ProgressWindowState* state) {
    state->high_contrast = g_highContrastQuery() ? 1 : 0;
    RedrawWindow(state->dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

// The buttons are shown: the user's language (English among the stock three) takes the focus,
// and with it the default, so that Enter chooses the focused language rather than the disabled
// Cancel.
void OnLanguagesShown(ProgressWindowState* state) {
    const int id = LanguageButtonId(state->focus_language);
    HWND button = GetDlgItem(state->dialog, id);
    SendMessageA(state->dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button), TRUE);
    SendMessageA(state->dialog, DM_SETDEFID, static_cast<WPARAM>(id), 0);
}

void Paint(ProgressWindowState* state) {
    HWND dialog = state->dialog;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    if (state->palette_pending) {
        state->palette_pending = 0;
        if (state->background_palette != nullptr) {
            SelectPalette(dc, state->background_palette, FALSE);
            RealizePalette(dc);
        }
    }
    const RECT& r = paint.rcPaint;
    if (state->high_contrast) {
        FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
    } else {
        PaintBackground(state, dialog, dc, r);
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

void OnCommand(ProgressWindowState* state, int id, int code) {
    HWND dialog = state->dialog;
    if (code == BN_SETFOCUS && id != IDCANCEL) {
        // Owner-drawn buttons never become the default by themselves: move it with the focus.
        SendMessageA(dialog, DM_SETDEFID, static_cast<WPARAM>(id), 0);
        return;
    }
    // Only a click acts: the buttons also report focus, and a double click.
    if (code != BN_CLICKED) return;
    if (id == IDCANCEL) {
        if (!IsWindowEnabled(GetDlgItem(dialog, IDCANCEL))) {
            // Esc during the language choice: the worker is done and will not end the
            // dialog, so a hidden window would stay forever. Close instead.
            CloseDialog(state);
            return;
        }
        ShowWindow(dialog, SW_HIDE);
        state->cancel_requested.store(1);
        return;
    }
    const int32_t language = LanguageIndexOfButton(id);
    if (language < 0) return;
    if (state->cancel_requested.load() != 0) {
        // Cancel came before a language chosen beforehand was taken: nothing starts.
        CloseDialog(state);
        return;
    }
    ShowWindow(dialog, SW_HIDE);
    state->launch_result = LaunchLanguage(dialog, g_tempFolder, language);
    EndDialog(dialog, 1);
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
        // The window lays itself out for its DPI; a per-monitor dialog would rescale itself.
        SetDialogDpiChangeBehaviorFunction set_behaviour =
            User32Function<SetDialogDpiChangeBehaviorFunction>("SetDialogDpiChangeBehavior");
        if (set_behaviour != nullptr) {
            set_behaviour(window, DIALOG_DPI_CHANGE_DISABLE_ALL, DIALOG_DPI_CHANGE_DISABLE_ALL);
        }
        state->template_font = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
        state->high_contrast = g_highContrastQuery() ? 1 : 0;
        PrepareControls(window);
        LayoutDialog(state, WindowDpi(window), nullptr);
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
            OnDrawItem(state, reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
            return 1;
        case WM_COMMAND:
            OnCommand(state, LOWORD(wparam), HIWORD(wparam));
            return 0;
        case WM_LANGUAGES_SHOWN:
            OnLanguagesShown(state);
            return 0;
        case MESSAGE_DPI_CHANGED:
            // Moved to a monitor of another DPI, or the display's scale changed.
            LayoutDialog(state, LOWORD(wparam), reinterpret_cast<const RECT*>(lparam));
            return 1;
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE:
        case MESSAGE_THEME_CHANGED:
            OnColoursChanged(state);
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
    if (state->chosen_language >= 0) {
        // The language was chosen beforehand: go on as if its button had been clicked.
        PostMessageA(dialog, WM_COMMAND,
                     static_cast<WPARAM>(LanguageButtonId(state->chosen_language)), 0);
        return 0;
    }
    for (int32_t i = 0; i < LanguageButtonCount(); ++i) {
        HWND button = GetDlgItem(dialog, LanguageButtonId(i));
        EnableWindow(button, TRUE);
        ShowWindow(button, SW_SHOW);
    }
    ShowWindow(GetDlgItem(dialog, IDC_LANGUAGE_CAPTION), SW_SHOW);
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
    PostMessageA(dialog, WM_LANGUAGES_SHOWN, 0, 0);
    return 0;
}

// Sees every message of the dialog's own loop before the dialog does: the first key shows the
// focus marks, as Windows does for a window opened with the mouse.
LRESULT CALLBACK WatchForKeys(int code, WPARAM wparam, LPARAM lparam) {
    const MSG* message = reinterpret_cast<const MSG*>(lparam);
    ProgressWindowState* state = g_runningWindow;
    if (code == MSGF_DIALOGBOX && message != nullptr && state != nullptr &&
        state->keyboard_used == 0 &&
        (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN)) {
        state->keyboard_used = 1;
        for (int32_t i = 0; i < LanguageButtonCount(); ++i) {
            InvalidateRect(GetDlgItem(state->dialog, LanguageButtonId(i)), nullptr, FALSE);
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

ResultCode RunProgressWindow(HWND owner, WorkerFunction worker, void* worker_argument,
                             int32_t chosen_language, int32_t focus_language) {
    void* memory = calloc(1, sizeof(ProgressWindowState));
    if (memory == nullptr) return RESULT_OUT_OF_MEMORY;
    ProgressWindowState* state = new (memory) ProgressWindowState();
    state->owner = owner;
    state->worker = worker;
    state->worker_argument = worker_argument;
    // An index out of range is no choice: the buttons ask; their focus stays on the first.
    const int32_t count = LanguageButtonCount();
    state->chosen_language = chosen_language < count ? chosen_language : -1;
    state->focus_language = focus_language >= 0 && focus_language < count ? focus_language : 0;
    state->launch_result = -1;
    state->background_bitmap = LoadBackgroundImage(
        &state->background_palette, &state->background_width, &state->background_height);
    state->palette_pending = 1;
    state->band_colour = BottomColour(state->background_bitmap, state->background_height);

    // Focus marks show from the first key on, also where the system setting asks for keyboard
    // cues from the start (Wine's default): at 100 % a mouse user's window stays as drawn.
    g_runningWindow = state;
    HHOOK key_watch = SetWindowsHookExA(WH_MSGFILTER, WatchForKeys, nullptr, GetCurrentThreadId());
    const INT_PTR ended = DialogBoxParamA(g_hinstance, MAKEINTRESOURCEA(IDD_PROGRESS), owner,
                                          ProgressDialogProc, reinterpret_cast<LPARAM>(state));
    if (key_watch != nullptr) UnhookWindowsHookEx(key_watch);
    // No dialog at all (a session without a desktop, no memory): nobody saw a window, so nobody
    // cancelled either.
    const bool no_window = ended == -1 || state->dialog == nullptr;
    if (state->worker_thread != nullptr) {
        WaitForWorker(state->worker_thread);
        CloseHandle(state->worker_thread);
    }
    g_runningWindow = nullptr;

    if (state->background_bitmap != nullptr) DeleteObject(state->background_bitmap);
    if (state->scaled_background != nullptr) DeleteObject(state->scaled_background);
    if (state->background_palette != nullptr) DeleteObject(state->background_palette);
    if (state->text_font != nullptr) DeleteObject(state->text_font);
    DeleteLanguageFonts(state);
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

bool IsSystemHighContrastOn() {
    HIGHCONTRASTA contrast = {};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}
