// Drives and inspects windows of other programs under Wine, for the GUI tests. A window is named
// by its TITLE, or as pid:N, the visible top-level window of the program with process id N (a
// window of another test's program that was left behind is then never taken for this one):
//
//   qjxdrive wait-window TITLE [TIMEOUT_MS]     wait until a visible top-level window has TITLE
//   qjxdrive wait-gone TITLE [TIMEOUT_MS]       wait until no visible window has TITLE
//   qjxdrive controls TITLE                     one line per child: id class left top width height
//                                               visible enabled [progress position]
//   qjxdrive client-size TITLE                  width height of the client area
//   qjxdrive window-rect TITLE                  left top width height on the screen
//   qjxdrive click TITLE ID                     BM_CLICK on a visible, enabled child (waits for
//                                               its handling, at most 2 s)
//   qjxdrive key TITLE VK                       posts a key press to the window's focus
//   qjxdrive alt-key TITLE VK                   the same with Alt held (WM_SYSKEYDOWN, context
//                                               bit 29), as a mnemonic is typed
//   qjxdrive wait-focus TITLE ID [TIMEOUT_MS]   wait until the child ID has the keyboard focus
//   qjxdrive dpi-changed TITLE DPI L T R B      sends WM_DPICHANGED with that DPI and suggested
//                                               rectangle, as a move to another monitor would
//   qjxdrive send TITLE MESSAGE [WPARAM]        sends a message without pointers, e.g. 0x15
//                                               (WM_SYSCOLORCHANGE)
//   qjxdrive set-state TITLE ID 0|1             shows a button released or held down
//   qjxdrive close TITLE                        posts WM_CLOSE
//   qjxdrive text TITLE ID                      the child's text (its accessible name), UTF-8
//   qjxdrive repaint TITLE                      makes the window repaint itself now
//   qjxdrive wait-progress TITLE ID VALUE [TIMEOUT_MS]  wait until a progress bar shows VALUE
//   qjxdrive screenshot TITLE FILE.bmp          the client area as a 24-bit BMP, from the screen
//   qjxdrive message-box [TIMEOUT_MS]           wait for a message box, print "caption|text",
//                                               press its first button
//   qjxdrive screen-size                        width height of the screen
//   qjxdrive run COMMAND_LINE [PID_FILE]        start a program with exactly that command line,
//                                               writing its process id to PID_FILE (it inherits
//                                               the Unix output of wine: redirect it, or a pipe
//                                               stays open while it runs)
//   qjxdrive end PID                            end that program if it still runs
//   qjxdrive run-wait COMMAND_LINE              the same, wait, exit with its exit code
//   qjxdrive run-suspended COMMAND_LINE PID_FILE  start it suspended, write PID_FILE, resume it
//                                               once PID_FILE.go exists, wait, exit with its code
//   qjxdrive shell-open FILE [PARAMETERS]       ShellExecuteExA "open", waits for the program
//
// Exit code 0 on success, 1 on a timeout or a missing window, 2 on bad usage or refusal.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>
#include <shellapi.h>

namespace {

const int DEFAULT_TIMEOUT_MS = 15000;
const int POLL_MS = 25;

struct Search {
    const char* title;       // or "pid:N"
    const char* class_name;  // null: any
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM argument) {
    Search* search = (Search*)argument;
    if (!IsWindowVisible(window)) return TRUE;
    char text[512];
    char class_name[64];
    GetWindowTextA(window, text, sizeof text);
    GetClassNameA(window, class_name, sizeof class_name);
    if (search->title != NULL && strncmp(search->title, "pid:", 4) == 0) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != strtoul(search->title + 4, NULL, 10)) return TRUE;
    } else if (search->title != NULL && strcmp(text, search->title) != 0) {
        return TRUE;
    }
    if (search->class_name != NULL && strcmp(class_name, search->class_name) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindVisible(const char* title, const char* class_name) {
    Search search = {title, class_name, NULL};
    EnumWindows(MatchTopLevel, (LPARAM)&search);
    return search.found;
}

HWND WaitFor(const char* title, int timeout_ms) {
    for (int waited = 0;; waited += POLL_MS) {
        HWND window = FindVisible(title, NULL);
        if (window != NULL || waited >= timeout_ms) return window;
        Sleep(POLL_MS);
    }
}

HWND Require(const char* title) {
    HWND window = FindVisible(title, NULL);
    if (window == NULL) fprintf(stderr, "qjxdrive: no visible window \"%s\"\n", title);
    return window;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM argument) {
    HWND parent = (HWND)argument;
    if (GetParent(control) != parent) return TRUE;
    char class_name[64];
    GetClassNameA(control, class_name, sizeof class_name);
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(NULL, parent, (POINT*)&r, 2);
    printf("%d %s %ld %ld %ld %ld %d %d", GetDlgCtrlID(control), class_name, r.left, r.top,
           r.right - r.left, r.bottom - r.top, IsWindowVisible(control) ? 1 : 0,
           IsWindowEnabled(control) ? 1 : 0);
    if (lstrcmpiA(class_name, PROGRESS_CLASSA) == 0) {
        printf(" %d", (int)SendMessageA(control, PBM_GETPOS, 0, 0));
    }
    printf("\n");
    return TRUE;
}

bool WriteBitmap(const char* path, HBITMAP bitmap, int width, int height) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    DWORD stride = ((DWORD)width * 3 + 3) & ~3u;
    header.biSizeImage = stride * (DWORD)height;
    BYTE* pixels = (BYTE*)malloc(header.biSizeImage);
    HDC screen = GetDC(NULL);
    int lines =
        GetDIBits(screen, bitmap, 0, (UINT)height, pixels, (BITMAPINFO*)&header, DIB_RGB_COLORS);
    ReleaseDC(NULL, screen);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    FILE* out = fopen(path, "wb");
    bool ok = out != NULL && lines == height;
    if (out != NULL) {
        ok = ok && fwrite(&file, sizeof file, 1, out) == 1 &&
             fwrite(&header, sizeof header, 1, out) == 1 &&
             fwrite(pixels, header.biSizeImage, 1, out) == 1;
        ok = fclose(out) == 0 && ok;
    }
    free(pixels);
    return ok;
}

int Screenshot(HWND window, const char* path) {
    RECT client;
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    // PrintWindow from another process gives a black picture under Wine; copy from the screen.
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, client.right, client.bottom, screen, origin.x, origin.y, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    bool ok = WriteBitmap(path, bitmap, client.right, client.bottom);
    DeleteObject(bitmap);
    return ok ? 0 : 1;
}

// A message box is a #32770 window with the static text control 0xFFFF.
BOOL CALLBACK MatchMessageBox(HWND window, LPARAM argument) {
    char class_name[64];
    GetClassNameA(window, class_name, sizeof class_name);
    if (strcmp(class_name, "#32770") == 0 && IsWindowVisible(window) &&
        GetDlgItem(window, 0xFFFF) != NULL) {
        *(HWND*)argument = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FirstButton(HWND control, LPARAM argument) {
    char class_name[64];
    GetClassNameA(control, class_name, sizeof class_name);
    if (lstrcmpiA(class_name, "Button") == 0 && IsWindowVisible(control)) {
        *(HWND*)argument = control;
        return FALSE;
    }
    return TRUE;
}

int MessageBoxCommand(int timeout_ms) {
    HWND box = NULL;
    for (int waited = 0; box == NULL; waited += POLL_MS) {
        EnumWindows(MatchMessageBox, (LPARAM)&box);
        if (box != NULL) break;
        if (waited >= timeout_ms) {
            fprintf(stderr, "qjxdrive: no message box\n");
            return 1;
        }
        Sleep(POLL_MS);
    }
    char caption[1024];
    char text[1024];
    GetWindowTextA(box, caption, sizeof caption);
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    printf("%s|%s\n", caption, text);
    fflush(stdout);
    HWND button = NULL;
    EnumChildWindows(box, FirstButton, (LPARAM)&button);
    if (button != NULL) SendMessageA(button, BM_CLICK, 0, 0);
    return 0;
}

int Run(const char* command_line, bool wait, const char* pid_file, bool suspended = false) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    char* line = _strdup(command_line);
    BOOL started = CreateProcessA(NULL, line, NULL, NULL, FALSE, suspended ? CREATE_SUSPENDED : 0,
                                  NULL, NULL, &startup, &process);
    free(line);
    if (!started) {
        fprintf(stderr, "qjxdrive: cannot start (error %lu)\n", GetLastError());
        return 2;
    }
    if (pid_file != NULL) {
        FILE* out = fopen(pid_file, "w");
        if (out == NULL || fprintf(out, "%lu\n", process.dwProcessId) < 0 || fclose(out) != 0) {
            fprintf(stderr, "qjxdrive: cannot write %s\n", pid_file);
        }
    }
    if (suspended) {
        // The program is mapped, and none of its code has run: the test changes the world now,
        // and says when it is done with a file of the pid file's name and ".go".
        char go_file[MAX_PATH];
        snprintf(go_file, sizeof go_file, "%s.go", pid_file);
        while (GetFileAttributesA(go_file) == INVALID_FILE_ATTRIBUTES) Sleep(POLL_MS);
        ResumeThread(process.hThread);
    }
    DWORD code = 0;
    if (wait) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return (int)code;
}

// Opens file through the shell by whatever name it is given, as a bare name would be looked up.
int ShellOpen(const char* file, const char* parameters) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "open";
    info.lpFile = file;
    info.lpParameters = parameters;
    info.nShow = SW_SHOW;
    if (!ShellExecuteExA(&info)) {
        fprintf(stderr, "qjxdrive: shell refused (error %lu)\n", GetLastError());
        return 2;
    }
    if (info.hProcess != NULL) {
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hProcess);
    }
    return 0;
}

int End(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (process == NULL) return 0;  // ended already
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
    }
    CloseHandle(process);
    return 0;
}

// WM_DPICHANGED carries a pointer to the suggested rectangle, which the system does not carry
// over to another process: put the rectangle into the window's process first.
int DpiChanged(HWND window, int dpi, RECT suggested) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (process == NULL) return 1;
    void* remote = VirtualAllocEx(process, NULL, sizeof suggested, MEM_COMMIT, PAGE_READWRITE);
    int status = 1;
    if (remote != NULL && WriteProcessMemory(process, remote, &suggested, sizeof suggested, NULL)) {
        SendMessageA(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi), (LPARAM)remote);
        status = 0;
    }
    if (remote != NULL) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return status;
}

// Keys go to the focused control, where the dialog's own message loop finds them.
void PostKey(HWND window, WPARAM key, bool alt) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND target = window;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &info) && info.hwndFocus != NULL) {
        target = info.hwndFocus;
    }
    LPARAM scan = (LPARAM)MapVirtualKeyA((UINT)key, 0) << 16;
    if (alt) {
        // Bit 29, the context code: Alt is down. TranslateMessage makes a WM_SYSCHAR of it,
        // which the dialog matches against the controls' mnemonics.
        PostMessageA(target, WM_SYSKEYDOWN, key, scan | 0x20000001);
        PostMessageA(target, WM_SYSKEYUP, key, scan | 0xE0000001);
        return;
    }
    PostMessageA(target, WM_KEYDOWN, key, scan | 1);
    PostMessageA(target, WM_KEYUP, key, scan | 0xC0000001);
}

int Usage() {
    fprintf(stderr, "qjxdrive: bad usage (see the comment at the top of qjxdrive.cpp)\n");
    return 2;
}

int Timeout(int argc, char** argv, int index) {
    return argc > index ? atoi(argv[index]) : DEFAULT_TIMEOUT_MS;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const char* command = argv[1];
    if (strcmp(command, "message-box") == 0) return MessageBoxCommand(Timeout(argc, argv, 2));
    if (strcmp(command, "screen-size") == 0) {
        printf("%d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        return 0;
    }
    if (argc < 3) return Usage();
    const char* title = argv[2];
    if (strcmp(command, "run") == 0) return Run(argv[2], false, argc > 3 ? argv[3] : NULL);
    if (strcmp(command, "run-wait") == 0) return Run(argv[2], true, NULL);
    if (strcmp(command, "run-suspended") == 0) {
        return argc > 3 ? Run(argv[2], true, argv[3], true) : Usage();
    }
    if (strcmp(command, "end") == 0) return End(strtoul(argv[2], NULL, 10));
    if (strcmp(command, "shell-open") == 0) return ShellOpen(argv[2], argc > 3 ? argv[3] : NULL);
    if (strcmp(command, "wait-window") == 0) {
        return WaitFor(title, Timeout(argc, argv, 3)) != NULL ? 0 : 1;
    }
    if (strcmp(command, "wait-gone") == 0) {
        int timeout_ms = Timeout(argc, argv, 3);
        for (int waited = 0; FindVisible(title, NULL) != NULL; waited += POLL_MS) {
            if (waited >= timeout_ms) return 1;
            Sleep(POLL_MS);
        }
        return 0;
    }

    HWND window = Require(title);
    if (window == NULL) return 1;
    if (strcmp(command, "controls") == 0) {
        EnumChildWindows(window, PrintControl, (LPARAM)window);
        return 0;
    }
    if (strcmp(command, "client-size") == 0) {
        RECT r;
        GetClientRect(window, &r);
        printf("%ld %ld\n", r.right, r.bottom);
        return 0;
    }
    if (strcmp(command, "window-rect") == 0) {
        RECT r;
        GetWindowRect(window, &r);
        printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        return 0;
    }
    if (strcmp(command, "close") == 0) return PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
    if (strcmp(command, "repaint") == 0) {
        RedrawWindow(window, NULL, NULL,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
        return 0;
    }
    if (strcmp(command, "screenshot") == 0) return argc > 3 ? Screenshot(window, argv[3]) : Usage();
    if (strcmp(command, "key") == 0 || strcmp(command, "alt-key") == 0) {
        if (argc < 4) return Usage();
        PostKey(window, (WPARAM)strtol(argv[3], NULL, 0), strcmp(command, "alt-key") == 0);
        return 0;
    }
    if (argc < 4) return Usage();
    if (strcmp(command, "dpi-changed") == 0) {
        if (argc < 8) return Usage();
        RECT suggested = {atoi(argv[4]), atoi(argv[5]), atoi(argv[6]), atoi(argv[7])};
        return DpiChanged(window, atoi(argv[3]), suggested);
    }
    if (strcmp(command, "send") == 0) {
        SendMessageA(window, (UINT)strtoul(argv[3], NULL, 0),
                     argc > 4 ? (WPARAM)strtoul(argv[4], NULL, 0) : 0, 0);
        return 0;
    }
    HWND control = GetDlgItem(window, atoi(argv[3]));
    if (control == NULL) {
        fprintf(stderr, "qjxdrive: no control %s\n", argv[3]);
        return 1;
    }
    if (strcmp(command, "text") == 0) {
        wchar_t text[512] = L"";
        char utf8[2048] = "";
        SendMessageW(control, WM_GETTEXT, 512, (LPARAM)text);
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL);
        printf("%s\n", utf8);
        return 0;
    }
    if (strcmp(command, "click") == 0) {
        // BM_CLICK also fires on hidden or disabled buttons; a user could not click those.
        if (!IsWindowVisible(control) || !IsWindowEnabled(control)) {
            fprintf(stderr, "qjxdrive: control %s is hidden or disabled\n", argv[3]);
            return 2;
        }
        // Synchronous, unless the click opens a modal box: then return while it shows.
        DWORD_PTR ignored;
        SendMessageTimeoutA(control, BM_CLICK, 0, 0, SMTO_NORMAL, 2000, &ignored);
        return 0;
    }
    if (strcmp(command, "wait-focus") == 0) {
        int timeout_ms = Timeout(argc, argv, 4);
        for (int waited = 0;; waited += POLL_MS) {
            GUITHREADINFO info = {};
            info.cbSize = sizeof info;
            if (GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &info) &&
                info.hwndFocus == control) {
                return 0;
            }
            if (waited >= timeout_ms) {
                fprintf(stderr, "qjxdrive: control %s has no focus (id %d has)\n", argv[3],
                        info.hwndFocus != NULL ? GetDlgCtrlID(info.hwndFocus) : 0);
                return 1;
            }
            Sleep(POLL_MS);
        }
    }
    if (strcmp(command, "set-state") == 0) {
        if (argc < 5) return Usage();
        SendMessageA(control, BM_SETSTATE, (WPARAM)atoi(argv[4]), 0);
        UpdateWindow(control);
        return 0;
    }
    if (strcmp(command, "wait-progress") == 0) {
        if (argc < 5) return Usage();
        int wanted = atoi(argv[4]);
        int timeout_ms = Timeout(argc, argv, 5);
        for (int waited = 0;; waited += POLL_MS) {
            int position = (int)SendMessageA(control, PBM_GETPOS, 0, 0);
            if (position == wanted) return 0;
            if (waited >= timeout_ms) {
                fprintf(stderr, "qjxdrive: progress %d, not %d\n", position, wanted);
                return 1;
            }
            Sleep(POLL_MS);
        }
    }
    return Usage();
}
