// Runs the progress window with a test worker, for the GUI scripts. The worker is chosen by the
// environment (QJX_TEST_WORKER), so the command line stays free for the installer launch tests:
//   success      returns 0 at once (g_tempFolder from QJX_TEST_FOLDER)
//   fail         returns QJX_TEST_CODE (default -11991)
//   progress     reports 20 then 37 between two ticks, then waits for Cancel
//   close-race   reports until told to stop, then still sends to the owner window and reports
//                again a little later (the window is gone by then)
//   close-early  like success, but the dialog is asked to close before its first tick
// QJX_TEST_WORKER=background opens no window: it prints the screen depth and the loaded
// background's size and palette ("depth 24 background 256x256 palette 256").
// QJX_TEST_HIGH_CONTRAST=FILE: the window takes high contrast as on while FILE exists (Wine
// cannot switch the mode on).
// QJX_TEST_LANGUAGES=CODE=TEXT[=TRANSFORM]|...: a vendor's language list in g_languages, as
// the entry would have read it (TEXT may hold \\uXXXX for any UTF-16 unit, so that the scripts
// stay ASCII whatever the Unix locale); QJX_TEST_CAPTION, QJX_TEST_CAPTION_COLOUR (RRGGBB) and
// QJX_TEST_LANGUAGE_FLAGS its caption, colour and flags. QJX_TEST_CHOSEN and QJX_TEST_FOCUS:
// RunProgressWindow's chosen and focus languages (default -1 and 0).
// Prints "pid P" first (its Windows process id, by which the scripts find its window), then
// "result R", "worker-runs N", "worker-done D" and "owner-messages M".
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <atomic>

#include "common/globals.h"
#include "resources/resource_ids.h"
#include "window/progress_window.h"
#include "window/window_images.h"

namespace {

std::atomic<int> g_worker_runs;
std::atomic<int> g_worker_done;
int g_owner_messages;
char g_mode[32];
HHOOK g_hook;
char g_high_contrast_flag[MAX_PATH];

const UINT OWNER_PING = WM_APP + 1;

ResultCode WaitForCancel(HWND window) {
    while (SetProgress(window, 37, false) == RESULT_OK) Sleep(10);
    return IsCancelRequested(window) ? RESULT_USER_CANCEL : RESULT_OK;
}

ResultCode TestWorker(HWND window, void* argument) {
    HWND owner = (HWND)argument;
    ++g_worker_runs;
    ResultCode result = RESULT_OK;
    if (strcmp(g_mode, "fail") == 0) {
        char code[16] = "-11991";
        GetEnvironmentVariableA("QJX_TEST_CODE", code, sizeof code);
        result = atoi(code);
    } else if (strcmp(g_mode, "progress") == 0) {
        SetProgress(window, 20, false);
        result = WaitForCancel(window);
    } else if (strcmp(g_mode, "close-race") == 0) {
        result = WaitForCancel(window);
        // The UI thread must still serve this thread's sent messages while it waits for us.
        SendMessageA(owner, OWNER_PING, 0, 0);
        Sleep(200);
        result = SetProgress(window, 90, false);
    }
    ++g_worker_done;
    return result;
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == OWNER_PING) {
        ++g_owner_messages;
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

// Asks the progress dialog to close as soon as it is initialised, ahead of any timer tick.
LRESULT CALLBACK WatchInit(int code, WPARAM wparam, LPARAM lparam) {
    const CWPRETSTRUCT* message = (const CWPRETSTRUCT*)lparam;
    if (code == HC_ACTION && message->message == WM_INITDIALOG) {
        PostMessageA(message->hwnd, WM_CLOSE, 0, 0);
    }
    return CallNextHookEx(g_hook, code, wparam, lparam);
}

int32_t NumberFromEnvironment(const char* name, int32_t fallback) {
    char value[16];
    return GetEnvironmentVariableA(name, value, sizeof value) != 0 ? atoi(value) : fallback;
}

// Copies text up to the first of the stop units, decoding \uXXXX; returns where it stopped.
const wchar_t* Decode(const wchar_t* text, const wchar_t* stops, char16_t* out, size_t capacity) {
    size_t n = 0;
    while (*text != 0 && wcschr(stops, *text) == NULL) {
        wchar_t unit = *text++;
        if (unit == L'\\' && text[0] == L'u' && wcslen(text) >= 5) {
            wchar_t hex[5] = {text[1], text[2], text[3], text[4], 0};
            unit = (wchar_t)wcstoul(hex, NULL, 16);
            text += 5;
        }
        if (n + 1 < capacity) out[n++] = (char16_t)unit;
    }
    out[n] = 0;
    return text;
}

void ReadLanguageList() {
    static wchar_t list[4096];
    if (GetEnvironmentVariableW(L"QJX_TEST_LANGUAGES", list, 4096) == 0) return;
    memset(&g_languages, 0, sizeof g_languages);
    g_languages.caption_colour = LANGUAGE_DEFAULT_COLOUR;
    const wchar_t* p = list;
    while (*p != 0 && g_languages.count < MAX_LANGUAGES) {
        LanguageEntry& entry = g_languages.entries[g_languages.count++];
        char16_t code[LANGUAGE_CODE_CAPACITY];
        p = Decode(p, L"=|", code, LANGUAGE_CODE_CAPACITY);
        for (size_t i = 0; i < LANGUAGE_CODE_CAPACITY; ++i) entry.code[i] = (char)code[i];
        if (*p == L'=') p = Decode(p + 1, L"=|", entry.text, LANGUAGE_TEXT_CAPACITY);
        if (*p == L'=') p = Decode(p + 1, L"|", entry.transform, LANGUAGE_TRANSFORM_CAPACITY);
        if (*p == L'|') ++p;
    }
    wchar_t caption[LANGUAGE_CAPTION_CAPACITY];
    if (GetEnvironmentVariableW(L"QJX_TEST_CAPTION", caption, LANGUAGE_CAPTION_CAPACITY) != 0) {
        Decode(caption, L"", g_languages.caption, LANGUAGE_CAPTION_CAPACITY);
    }
    g_languages.flags = (uint16_t)NumberFromEnvironment("QJX_TEST_LANGUAGE_FLAGS", 0);
    char colour[16];
    if (GetEnvironmentVariableA("QJX_TEST_CAPTION_COLOUR", colour, sizeof colour) != 0) {
        g_languages.caption_colour = (uint32_t)strtoul(colour, NULL, 16);
    }
}

bool HighContrastWhileTheFlagExists() {
    return GetFileAttributesA(g_high_contrast_flag) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int main() {
    g_hinstance = GetModuleHandleA(NULL);
    InitCommonControls();
    GetEnvironmentVariableA("QJX_TEST_WORKER", g_mode, sizeof g_mode);
    if (GetEnvironmentVariableA("QJX_TEST_FOLDER", g_tempFolder, TEMP_FOLDER_CAPACITY) == 0) {
        strcpy(g_tempFolder, "C:\\qjx tmp\\QJX1A2B\\");
    }

    if (GetEnvironmentVariableA("QJX_TEST_HIGH_CONTRAST", g_high_contrast_flag, MAX_PATH) != 0) {
        g_highContrastQuery = HighContrastWhileTheFlagExists;
    }

    if (strcmp(g_mode, "background") == 0) {
        HDC screen = GetDC(NULL);
        int depth = GetDeviceCaps(screen, PLANES) * GetDeviceCaps(screen, BITSPIXEL);
        ReleaseDC(NULL, screen);
        HPALETTE palette = NULL;
        int32_t width = 0, height = 0;
        HBITMAP bitmap = LoadBackgroundImage(&palette, &width, &height);
        printf("depth %d background %dx%d palette %u\n", depth, (int)width, (int)height,
               palette != NULL ? GetPaletteEntries(palette, 0, 0, NULL) : 0u);
        DeleteObject(bitmap);
        if (palette != NULL) DeleteObject(palette);
        return 0;
    }

    printf("pid %lu\n", GetCurrentProcessId());
    fflush(stdout);
    WNDCLASSA owner_class = {};
    owner_class.lpfnWndProc = OwnerProc;
    owner_class.hInstance = g_hinstance;
    owner_class.lpszClassName = "QJXTestOwner";
    RegisterClassA(&owner_class);
    HWND owner =
        CreateWindowA("QJXTestOwner", "QJXTestOwner", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, g_hinstance, NULL);
    if (strcmp(g_mode, "close-early") == 0) {
        g_hook = SetWindowsHookExA(WH_CALLWNDPROCRET, WatchInit, NULL, GetCurrentThreadId());
    }

    ReadLanguageList();
    ResultCode result =
        RunProgressWindow(owner, TestWorker, owner, NumberFromEnvironment("QJX_TEST_CHOSEN", -1),
                          NumberFromEnvironment("QJX_TEST_FOCUS", 0));
    printf("result %d\nworker-runs %d\nworker-done %d\nowner-messages %d\n", (int)result,
           g_worker_runs.load(), g_worker_done.load(), g_owner_messages);
    fflush(stdout);
    return 0;
}
