// The program entry: reads the stub's own switches, then runs the extraction quietly or behind
// the progress window, and in unattended runs waits for the installer and answers its exit code.
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "command_line/exit_codes.h"
#include "command_line/stub_switches.h"
#include "common/globals.h"
#include "qjx_branding.h"
#include "resources/resource_ids.h"
#include "startup/extracted_cleanup.h"
#include "startup/extraction_job.h"
#include "startup/hidden_window.h"
#include "startup/run_log.h"
#include "system/folder_security.h"
#include "system/library_preload.h"
#include "system/system_library.h"
#include "system/windows_family.h"
#include "text/codepage_bridge.h"
#include "text/utf8.h"
#include "window/installer_launch.h"
#include "window/progress_window.h"

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32; the constant is missing from old headers.
constexpr DWORD SEARCH_SYSTEM32 = 0x00000800;

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);
typedef LPWSTR(WINAPI* GetCommandLineWFunction)();
typedef void(WINAPI* InitCommonControlsFunction)();
typedef HWINSTA(WINAPI* GetProcessWindowStationFunction)();
typedef BOOL(WINAPI* GetUserObjectInformationAFunction)(HANDLE, int, PVOID, DWORD, LPDWORD);
typedef BOOL(WINAPI* ProcessIdToSessionIdFunction)(DWORD, DWORD*);

// A stub usually runs from a downloads folder, where anyone may have left a DLL. Where the
// system can, restrict every later bare-name load to the system directory; where it cannot (XP,
// Vista, 7 without its update), load by full path what the system's libraries would later load
// by bare name from this folder.
void RestrictDllSearch() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return;
    SetDefaultDllDirectoriesFunction restrict_search =
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (restrict_search != nullptr && restrict_search(SEARCH_SYSTEM32)) return;
    if (!IsWindows9x()) PreloadOldSystemLibraries();
}

// Registers the progress bar's class. comctl32 is loaded here rather than imported: quiet runs
// never need it, and loading it costs more than the rest of the start. By bare name, so that
// the manifest's version 6 applies.
void InitCommonControlsAtRunTime() {
    HMODULE controls = LoadLibraryA("comctl32.dll");
    if (controls == nullptr) return;
    InitCommonControlsFunction init = reinterpret_cast<InitCommonControlsFunction>(
        reinterpret_cast<void*>(GetProcAddress(controls, "InitCommonControls")));
    if (init != nullptr) init();
}

// The command tail in UTF-16 on the NT family; null on the 9x family, which has none.
const char16_t* WideCommandTail() {
    if (IsWindows9x()) return nullptr;
    GetCommandLineWFunction get_command_line =
        reinterpret_cast<GetCommandLineWFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetCommandLineW")));
    if (get_command_line == nullptr) return nullptr;
    return SkipProgramName(reinterpret_cast<const char16_t*>(get_command_line()));
}

// The stub's switches and the tail to forward, from one reading of one command line: the wide
// one on the NT family, the ANSI one on the 9x family, whose path values become UTF-8 here as
// every path inside is. False when there is no memory for the tail.
bool ReadCommandLine(StubSwitches* switches) {
    const char16_t* wide_tail = WideCommandTail();
    if (wide_tail != nullptr) {
        size_t length = 0;
        while (wide_tail[length] != 0) ++length;
        char16_t* forwarded = static_cast<char16_t*>(malloc((length + 1) * sizeof(char16_t)));
        if (forwarded == nullptr) return false;
        ReadStubSwitches(wide_tail, forwarded, switches);
        g_launchSettings.wide_arguments = reinterpret_cast<const wchar_t*>(forwarded);
        return true;
    }
    const char* ansi_tail = SkipProgramName(GetCommandLineA());
    char* forwarded = static_cast<char*>(malloc(strlen(ansi_tail) + 1));
    if (forwarded == nullptr) return false;
    ReadStubSwitches(ansi_tail, forwarded, switches);
    g_launchSettings.arguments = forwarded;
    char* const paths[] = {switches->log_path, switches->extract_path};
    for (char* path : paths) {
        // Only a path that converts whole: cut, it would name another file.
        char utf8[SWITCH_PATH_CAPACITY];
        uint32_t needed = 0;
        if (path[0] == 0) continue;
        CodePageToUtf8(0, GetACP(), path, UTF8_NUL_TERMINATED, nullptr, 0, &needed);
        if (needed >= SWITCH_PATH_CAPACITY ||
            CodePageToUtf8(0, GetACP(), path, UTF8_NUL_TERMINATED, utf8, SWITCH_PATH_CAPACITY,
                           nullptr) != RESULT_OK) {
            switches->bad = true;
            memcpy(switches->bad_token, "(a path too long)", 18);
            continue;
        }
        memcpy(path, utf8, strlen(utf8) + 1);
    }
    return true;
}

// False when the process's window station is not visible, as for a service in session 0: a
// window or message box there hangs unseen. True where the system cannot tell (the 9x family).
bool IsWindowStationVisible() {
    HMODULE user = GetModuleHandleA("user32.dll");
    GetProcessWindowStationFunction get_station = reinterpret_cast<GetProcessWindowStationFunction>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetProcessWindowStation")));
    GetUserObjectInformationAFunction get_information =
        reinterpret_cast<GetUserObjectInformationAFunction>(
            reinterpret_cast<void*>(GetProcAddress(user, "GetUserObjectInformationA")));
    if (get_station == nullptr || get_information == nullptr) return true;
    // From Vista on session 0 holds services alone, whatever its window station says of itself;
    // on XP the console user signs in to session 0 too.
    ProcessIdToSessionIdFunction get_session =
        reinterpret_cast<ProcessIdToSessionIdFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "ProcessIdToSessionId")));
    DWORD session = 1;
    if (!IsWindows9x() && LOBYTE(LOWORD(GetVersion())) >= 6 && get_session != nullptr &&
        get_session(GetCurrentProcessId(), &session) && session == 0) {
        return false;
    }
    HWINSTA station = get_station();
    USEROBJECTFLAGS flags;
    DWORD size = 0;
    if (station == nullptr || !get_information(station, UOI_FLAGS, &flags, sizeof flags, &size)) {
        return true;
    }
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

// The version and the whole command tail, switches included, in UTF-8 (a long one cut to fit a
// line: this is only for reading).
void LogCommandTail() {
    const char16_t* wide = WideCommandTail();
    char tail[1000];
    if (wide == nullptr) {
        lstrcpynA(tail, SkipProgramName(GetCommandLineA()), sizeof tail);
    } else {
        Utf16ToUtf8Cut(wide, tail, sizeof tail);
    }
    LogLine("QJX SEA %s, command tail:%s", QJX_VERSION_TEXT, tail);
}

void NoteLaunch(const char* text) {
    LogLine("%s", text);
}

int ButtonOf(int32_t language) {
    return language == STUB_LANGUAGE_GERMAN     ? IDC_GERMAN
           : language == STUB_LANGUAGE_JAPANESE ? IDC_JAPANESE
           : language == STUB_LANGUAGE_ENGLISH  ? IDC_ENGLISH
                                                : 0;
}

// Waits for the installer while serving this thread's messages: an installer broadcasts to
// every top-level window (a changed environment, for one), and the hidden window must answer.
// False when the wait ends any other way than with the process: the installer may still run
// from the folder, and STILL_ACTIVE (259) is no exit code of its.
bool WaitForInstaller(HANDLE process, DWORD* code) {
    DWORD waited;
    while ((waited = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT)) ==
           WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return waited == WAIT_OBJECT_0 && GetExitCodeProcess(process, code) && *code != STILL_ACTIVE;
}

// An elevated run that does not wait still keeps its folder held and locked until the installer
// ends: the same user's unelevated programs could otherwise change the package between the start
// and the moment MSIExec opens it. No window shows meanwhile, and the exit code stays the run's.
void HoldFolderWhileInstallerRuns() {
    HANDLE process = TakeInstallerProcess();
    if (process == nullptr) return;
    DWORD code = 0;
    WaitForInstaller(process, &code);
    CloseHandle(process);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
    g_hinstance = instance;
    RestrictDllSearch();

    // The stub's own switches come first: a bad one ends the run before anything is made.
    StubSwitches switches;
    if (!ReadCommandLine(&switches)) return EXIT_PLAIN;
    const bool extract_only = switches.extract_path[0] != 0;
    // An unattended run where nobody can see a window: a service's session, say.
    const bool invisible = switches.any && !IsWindowStationVisible();
    if (invisible) switches.quiet = switches.wait = true;
    // No system error box in a run without windows, before the log is even opened: a drive
    // that is not ready would stop an unattended run on one.
    if (switches.quiet || extract_only || switches.bad) {
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    }
    // A bad switch ends the run before anything is made, the log and its folders included; and
    // never with a message box: a misspelt /SeaQuiet would hang an unattended run on it.
    if (switches.bad) return EXIT_BAD_SWITCH;
    if (switches.log_path[0] != 0 && OpenRunLog(switches.log_path) == RESULT_LOG_REFUSED) {
        // Someone else's file, or a link: nothing goes to it, and nothing runs.
        return EXIT_BAD_SWITCH;
    }
    LogCommandTail();
    if (invisible) LogLine("the window station is not visible: running as with /SeaQuiet");
    const bool elevated = IsProcessElevated();
    // Elevated, the installer's process is kept even when the run does not wait for its code.
    g_launchSettings.wait = switches.wait || elevated;
    g_launchSettings.silent = switches.quiet;
    g_launchSettings.note = NoteLaunch;

    WorkerContext context;
    memset(&context, 0, sizeof(context));
    context.silent = switches.quiet;
    // The program file, once, for the whole run: everything the run reads of it, the clean-up
    // included, comes from this open file, which nobody can replace while the run holds it.
    OpenProgramFile(&context);
    // Runs that show no window skip the window's preparations; the quiet trailer extracts only.
    bool launches = !extract_only && !ProbeQuietFlag(context.program);
    ResultCode result;
    if (extract_only) {
        context.silent = true;
        context.extract_folder = switches.extract_path;
        result = RunExtractionJob(nullptr, &context);
    } else if (!launches || switches.quiet) {
        // The job's message boxes, if any, get the hidden owner window when they show.
        result = RunExtractionJob(nullptr, &context);
        if (result == RESULT_OK && launches) {
            const int button = ButtonOf(switches.language);
            result =
                LaunchLanguage(nullptr, g_tempFolder, button != 0 ? button - IDC_ENGLISH : 0) != 0
                    ? RESULT_OK
                    : RESULT_LAUNCH_FAILED;
        }
    } else {
        LoadSystemLibrary("RichEd20.dll");
        InitCommonControlsAtRunTime();
        const int button = ButtonOf(switches.language);
        result = RunProgressWindow(GetHiddenOwnerWindow(), RunExtractionJob, &context,
                                   button != 0 ? button - IDC_ENGLISH : -1, 0);
    }
    const bool held_for_installer = result == RESULT_OK && launches && elevated && !switches.wait;
    if (!switches.any) {
        if (held_for_installer) HoldFolderWhileInstallerRuns();
        return EXIT_PLAIN;
    }

    int exit_code = ExitCodeOf(result, extract_only);
    bool keep = !switches.wait || switches.keep || !launches;
    if (result == RESULT_OK && launches && switches.wait) {
        HANDLE process = TakeInstallerProcess();
        DWORD code = 0;
        if (process != nullptr && WaitForInstaller(process, &code)) {
            exit_code = static_cast<int>(code);
            LogLine("MSIExec exit code: %d", exit_code);
        } else {
            LogLine("failure: %s",
                    DescribeResult(process == nullptr ? RESULT_LAUNCH_FAILED : RESULT_WAIT_FAILED));
            exit_code = EXIT_INSTALL_FAILURE;
            keep = true;  // it may still be running from the folder
        }
        if (process != nullptr) CloseHandle(process);
    } else if (result != RESULT_OK) {
        LogLine("failure: %s", DescribeResult(result));
    } else if (held_for_installer) {
        HoldFolderWhileInstallerRuns();
    }
    if (!keep) RemoveExtractedFiles(&context);
    LogLine("exit code: %d", exit_code);
    return exit_code;
}
