// The program entry: reads the stub's own switches, then runs the extraction quietly or behind
// the progress window, and in unattended runs waits for the installer and answers its exit code.
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "command_line/stub_switches.h"
#include "common/globals.h"
#include "qjx_branding.h"
#include "resources/resource_ids.h"
#include "startup/extracted_cleanup.h"
#include "startup/extraction_job.h"
#include "startup/hidden_window.h"
#include "startup/run_log.h"
#include "system/system_library.h"
#include "system/windows_family.h"
#include "text/codepage_bridge.h"
#include "text/utf8.h"
#include "window/installer_launch.h"
#include "window/progress_window.h"

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32; the constant is missing from old headers.
constexpr DWORD SEARCH_SYSTEM32 = 0x00000800;

// Exit codes of runs with switches, in the Windows Installer's terms, so that deployment tools
// read them as they read the installer's own.
enum : int {
    CODE_PLAIN = 1,  // every run without switches, as always
    CODE_SUCCESS = 0,
    CODE_FILE_EXISTS = 80,
    CODE_INSTALL_FAILURE = 1603,
    CODE_USER_CANCEL = 1602,
    CODE_OPEN_FAILED = 1619,
    CODE_PACKAGE_INVALID = 1620,
    CODE_TEMP_FOLDER = 1632,
    CODE_BAD_SWITCH = 1639,
};

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);
typedef LPWSTR(WINAPI* GetCommandLineWFunction)();
typedef void(WINAPI* InitCommonControlsFunction)();

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

// On the 9x family a path value is code-page text: made UTF-8 here, as every path inside is.
void PathToUtf8(char* path) {
    if (path[0] == 0 || !IsWindows9x()) return;
    char utf8[SWITCH_PATH_CAPACITY];
    if (CodePageToUtf8(0, GetACP(), path, UTF8_NUL_TERMINATED, utf8, SWITCH_PATH_CAPACITY,
                       nullptr) == RESULT_OK) {
        memcpy(path, utf8, strlen(utf8) + 1);
    }
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

// The exit code of a run of ours that did not end in the installer.
int ExitCodeOf(ResultCode result, bool extract_only) {
    switch (result) {
        case RESULT_OK:
            return CODE_SUCCESS;
        case RESULT_USER_CANCEL:
            return CODE_USER_CANCEL;
        case RESULT_CANT_OPEN_FILE:
            return CODE_OPEN_FAILED;
        case RESULT_INVALID_INSTALLER:
            return CODE_PACKAGE_INVALID;
        case RESULT_TEMP_FOLDER:
            return CODE_TEMP_FOLDER;
        case RESULT_ALREADY_EXISTS:
            return extract_only ? CODE_FILE_EXISTS : CODE_INSTALL_FAILURE;
        default:
            return CODE_INSTALL_FAILURE;
    }
}

// Waits for the installer while serving this thread's messages: an installer broadcasts to
// every top-level window (a changed environment, for one), and the hidden window must answer.
DWORD WaitForInstaller(HANDLE process) {
    while (MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    DWORD code = CODE_INSTALL_FAILURE;
    if (!GetExitCodeProcess(process, &code)) code = CODE_INSTALL_FAILURE;
    return code;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
    g_hinstance = instance;
    RestrictDllSearch();

    // The stub's own switches come first: a bad one ends the run before anything is made.
    const char* ansi_tail = SkipProgramName(GetCommandLineA());
    char* forwarded = static_cast<char*>(malloc(strlen(ansi_tail) + 1));
    if (forwarded == nullptr) return CODE_PLAIN;
    StubSwitches switches;
    ReadStubSwitches(ansi_tail, WideCommandTail(), forwarded, &switches);
    PathToUtf8(switches.log_path);
    PathToUtf8(switches.extract_path);
    if (switches.log_path[0] != 0) OpenRunLog(switches.log_path);
    LogLine("QJX SEA %s, command tail:%s", QJX_VERSION_TEXT, ansi_tail);
    if (switches.bad) {
        // Never a message box here: a misspelt /SeaQuiet would hang an unattended run on it.
        LogLine("failure: unknown switch or bad value: %s", switches.bad_token);
        LogLine("exit code: %d", CODE_BAD_SWITCH);
        return CODE_BAD_SWITCH;
    }
    if (switches.quiet) SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    g_launchSettings.arguments = forwarded;
    g_launchSettings.wait = switches.wait;
    g_launchSettings.silent = switches.quiet;
    g_launchSettings.note = NoteLaunch;

    WorkerContext context;
    memset(&context, 0, sizeof(context));
    context.silent = switches.quiet;
    const bool extract_only = switches.extract_path[0] != 0;
    // Runs that show no window skip the window's preparations; the quiet trailer extracts only.
    bool launches = !extract_only && !ProbeQuietFlag();
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
            result = LaunchPackage(nullptr, g_tempFolder,
                                   TransformForButton(button != 0 ? button : IDC_ENGLISH)) != 0
                         ? RESULT_OK
                         : RESULT_LAUNCH_FAILED;
        }
    } else {
        LoadSystemLibrary("RichEd20.dll");
        InitCommonControlsAtRunTime();
        result = RunProgressWindow(GetHiddenOwnerWindow(), RunExtractionJob, &context,
                                   ButtonOf(switches.language));
    }
    if (!switches.any) return CODE_PLAIN;

    int exit_code = ExitCodeOf(result, extract_only);
    bool keep = !switches.wait || switches.keep || !launches;
    if (result == RESULT_OK && launches && switches.wait) {
        HANDLE process = TakeInstallerProcess();
        if (process == nullptr) {
            LogLine("failure: no installer process to wait for");
            exit_code = CODE_INSTALL_FAILURE;
            keep = true;  // it may still be running from the folder
        } else {
            exit_code = static_cast<int>(WaitForInstaller(process));
            CloseHandle(process);
            LogLine("MSIExec exit code: %d", exit_code);
        }
    } else if (result != RESULT_OK) {
        LogLine("failure: %s", DescribeResult(result));
    }
    if (!keep) RemoveExtractedFiles(&context);
    LogLine("exit code: %d", exit_code);
    return exit_code;
}
