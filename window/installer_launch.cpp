#include "window/installer_launch.h"

#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "qjx_branding.h"
#include "resources/resource_ids.h"
#include "system/system_library.h"

namespace {

// The shell reads the record by its size field: 60 bytes on x86, 112 on x64.
static_assert(sizeof(SHELLEXECUTEINFOA) == (sizeof(void*) == 4 ? 60 : 112),
              "the shell execution record");

const char PACKAGE_NAME[] = QJX_PACKAGE_NAME;
const char MSIEXEC_NAME[] = "msiexec.exe";

HANDLE g_installerProcess;

typedef BOOL(WINAPI* ShellExecuteExAFunction)(SHELLEXECUTEINFOA*);

// The shell, loaded only to start the installer: runs that start nothing (the quiet trailer,
// extraction only) never load it, and under Wine it costs more than the rest of their start.
// By full path, as every library the stub loads itself.
ShellExecuteExAFunction FindShellExecute() {
    HMODULE shell = LoadSystemLibrary("shell32.dll");
    if (shell == nullptr) return nullptr;
    return reinterpret_cast<ShellExecuteExAFunction>(
        reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteExA")));
}

void Note(const char* text) {
    if (g_launchSettings.note != nullptr) g_launchSettings.note(text);
}

void ShowStartFailure(HWND window, DWORD error, const char* caption) {
    char message[100];
    snprintf(message, sizeof message, "Could not start MSIExec. Error #%d.",
             static_cast<int>(error));
    Note(message);
    if (!g_launchSettings.silent) {
        MessageBoxA(window, message, caption, MB_SETFOREGROUND | MB_ICONERROR);
    }
}

// A package path with a blank (a %TEMP% under a user name with one) would reach the installer
// as several arguments; only then is it quoted, so every other command line stays as it was.
bool NeedsQuotes(const char* package_path) {
    return strchr(package_path, ' ') != nullptr;
}

}  // namespace

LaunchSettings g_launchSettings;

size_t InstallerParametersSize(const char* package_path, const char* transform_path,
                               const char* tail) {
    size_t quotes = NeedsQuotes(package_path) ? 2 : 0;
    if (transform_path == nullptr) return strlen(package_path) + quotes + strlen(tail) + 5;
    return strlen(package_path) + quotes + strlen(transform_path) + strlen(tail) + 19;
}

void ComposeInstallerParameters(char* out, const char* package_path, const char* transform_path,
                                const char* tail) {
    const bool quoted = NeedsQuotes(package_path);
    strcpy(out, quoted ? "/I \"" : "/I ");
    strcat(out, package_path);
    if (quoted) strcat(out, "\"");
    if (transform_path != nullptr) {
        strcat(out, " transforms=\"");
        strcat(out, transform_path);
        strcat(out, "\"");
    }
    strcat(out, " ");
    strcat(out, tail);
}

bool JoinInstallerPath(char* out, size_t capacity, const char* folder, const char* name) {
    size_t folder_length = strlen(folder);
    size_t name_length = strlen(name);
    if (folder_length + name_length + 1 > capacity) {
        if (capacity > 0) out[0] = '\0';
        return false;
    }
    memcpy(out, folder, folder_length);
    memcpy(out + folder_length, name, name_length + 1);
    return true;
}

int32_t StartInstaller(HWND window, const char* package_path, const char* transform_path) {
    const char* tail = g_launchSettings.arguments != nullptr ? g_launchSettings.arguments
                                                             : SkipProgramName(GetCommandLineA());
    size_t size = InstallerParametersSize(package_path, transform_path, tail);
    char* parameters = static_cast<char*>(malloc(size));
    if (parameters == nullptr) {
        // Nothing started: that is a failure, also for a caller that waits on the installer.
        Note("Could not start MSIExec: no memory for its command line.");
        return 0;
    }
    ComposeInstallerParameters(parameters, package_path, transform_path, tail);

    // By full path: a bare "MSIExec" would be looked up in the program's own folder (often a
    // downloads folder) and the current folder before the system folder.
    char program[MAX_PATH + sizeof MSIEXEC_NAME];
    int32_t result = 0;
    ShellExecuteExAFunction shell_execute = nullptr;
    if (!BuildSystemPath(MSIEXEC_NAME, program, sizeof program) ||
        (shell_execute = FindShellExecute()) == nullptr) {
        ShowStartFailure(window, GetLastError(), parameters);
    } else {
        if (g_launchSettings.note != nullptr) {
            const size_t line_size = strlen(program) + strlen(parameters) + 16;
            char* line = static_cast<char*>(malloc(line_size));
            if (line != nullptr) {
                snprintf(line, line_size, "MSIExec: \"%s\" %s", program, parameters);
                Note(line);
                free(line);
            }
        }
        SHELLEXECUTEINFOA info;
        memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        // Only a waiting caller gets the process; otherwise the record is as it always was.
        if (g_launchSettings.wait) info.fMask |= SEE_MASK_NOCLOSEPROCESS;
        if (g_launchSettings.silent) info.fMask |= SEE_MASK_FLAG_NO_UI;
        info.lpVerb = "open";
        info.lpFile = program;
        info.lpParameters = parameters;
        info.nShow = SW_SHOW;
        if (shell_execute(&info)) {
            result = 1;
            if (g_launchSettings.wait) {
                if (g_installerProcess != nullptr) CloseHandle(g_installerProcess);
                g_installerProcess = info.hProcess;
            }
        } else {
            DWORD error = GetLastError();
            // The shell's own error box (no mask flags) may reset the last error, as Wine's does;
            // its result code then tells the cause (SE_ERR_FNF is ERROR_FILE_NOT_FOUND, ...).
            if (error == 0) error = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(info.hInstApp));
            if (error != ERROR_CANCELLED) {
                ShowStartFailure(window, error, parameters);
            } else {
                Note("MSIExec was not started: the user declined.");
            }
        }
    }
    free(parameters);
    return result;
}

HANDLE TakeInstallerProcess() {
    HANDLE process = g_installerProcess;
    g_installerProcess = nullptr;
    return process;
}

const char* TransformForButton(int button_id) {
    return button_id == IDC_GERMAN     ? QJX_GERMAN_TRANSFORM
           : button_id == IDC_JAPANESE ? QJX_JAPANESE_TRANSFORM
                                       : nullptr;
}

int32_t LaunchPackage(HWND window, const char* folder, const char* transform_name) {
    char package_path[INSTALLER_PATH_CAPACITY];
    char transform_path[INSTALLER_PATH_CAPACITY];
    bool fits = JoinInstallerPath(package_path, sizeof package_path, folder, PACKAGE_NAME);
    if (transform_name != nullptr) {
        fits = fits &&
               JoinInstallerPath(transform_path, sizeof transform_path, folder, transform_name);
    }
    if (!fits) {
        // The folder is too long for the paths; say so rather than start something else.
        ShowStartFailure(window, ERROR_FILENAME_EXCED_RANGE, folder);
        return 0;
    }
    return StartInstaller(window, package_path,
                          transform_name != nullptr ? transform_path : nullptr);
}
