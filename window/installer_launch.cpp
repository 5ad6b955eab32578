#include "window/installer_launch.h"

#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "common/globals.h"
#include "resources/resource_ids.h"
#include "system/system_library.h"
#include "system/windows_family.h"
#include "text/codepage_bridge.h"
#include "text/utf8.h"
#include "window/branding.h"

namespace {

// The shell reads the record by its size field: 60 bytes on x86, 112 on x64, in both forms.
static_assert(sizeof(SHELLEXECUTEINFOA) == (sizeof(void*) == 4 ? 60 : 112),
              "the shell execution record");
static_assert(sizeof(SHELLEXECUTEINFOW) == sizeof(SHELLEXECUTEINFOA),
              "the wide shell execution record");
static_assert(sizeof(wchar_t) == sizeof(char16_t), "the system's wide strings are UTF-16");

const char MSIEXEC_NAME[] = "msiexec.exe";

HANDLE g_installerProcess;

typedef BOOL(WINAPI* ShellExecuteExAFunction)(SHELLEXECUTEINFOA*);
typedef BOOL(WINAPI* ShellExecuteExWFunction)(SHELLEXECUTEINFOW*);
typedef LPWSTR(WINAPI* GetCommandLineWFunction)();

// The shell, loaded only to start the installer: runs that start nothing (the quiet trailer,
// extraction only) never load it, and under Wine it costs more than the rest of their start.
// By full path, as every library the stub loads itself. The wide call is taken by name as well:
// imported, it would keep the stub from starting on the 9x family.
template <typename Function>
Function FindShellFunction(const char* name) {
    HMODULE shell = LoadSystemLibrary("shell32.dll");
    if (shell == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(shell, name)));
}

size_t Length(const char* text) {
    return strlen(text);
}
size_t Length(const wchar_t* text) {
    return wcslen(text);
}

// Appends text, or an ASCII literal, at out and returns the new end.
template <typename Char>
Char* Append(Char* out, const Char* text) {
    const size_t length = Length(text);
    memcpy(out, text, (length + 1) * sizeof(Char));
    return out + length;
}
template <typename Char>
Char* AppendAscii(Char* out, const char* text) {
    while (*text != 0) *out++ = static_cast<Char>(*text++);
    *out = 0;
    return out;
}

// A package path with a blank (a %TEMP% under a user name with one) would reach the installer
// as several arguments; only then is it quoted, so every other command line stays as it was.
template <typename Char>
bool NeedsQuotes(const Char* package_path) {
    for (const Char* p = package_path; *p != 0; ++p) {
        if (*p == ' ') return true;
    }
    return false;
}

template <typename Char>
size_t ParametersSize(const Char* package_path, const Char* transform_path, const Char* tail) {
    const size_t quotes = NeedsQuotes(package_path) ? 2 : 0;
    if (transform_path == nullptr) return Length(package_path) + quotes + Length(tail) + 5;
    return Length(package_path) + quotes + Length(transform_path) + Length(tail) + 19;
}

template <typename Char>
void Compose(Char* out, const Char* package_path, const Char* transform_path, const Char* tail) {
    const bool quoted = NeedsQuotes(package_path);
    out = AppendAscii(out, quoted ? "/I \"" : "/I ");
    out = Append(out, package_path);
    if (quoted) out = AppendAscii(out, "\"");
    if (transform_path != nullptr) {
        out = AppendAscii(out, " transforms=\"");
        out = Append(out, transform_path);
        out = AppendAscii(out, "\"");
    }
    out = AppendAscii(out, " ");
    Append(out, tail);
}

template <typename Char>
bool Join(Char* out, size_t capacity, const Char* folder, const Char* name) {
    const size_t folder_length = Length(folder);
    const size_t name_length = Length(name);
    if (folder_length + name_length + 1 > capacity) {
        if (capacity > 0) out[0] = 0;
        return false;
    }
    memcpy(out, folder, folder_length * sizeof(Char));
    memcpy(out + folder_length, name, (name_length + 1) * sizeof(Char));
    return true;
}

void Note(const char* text) {
    if (g_launchSettings.note != nullptr) g_launchSettings.note(text);
}

// The note of a wide text, in UTF-8 as the log keeps it.
void Note(const char* prefix, const wchar_t* program, const wchar_t* parameters) {
    if (g_launchSettings.note == nullptr) return;
    uint32_t program_bytes = 0;
    uint32_t parameter_bytes = 0;
    Utf16ToUtf8(reinterpret_cast<const char16_t*>(program), UTF8_NUL_TERMINATED, nullptr, 0,
                &program_bytes);
    Utf16ToUtf8(reinterpret_cast<const char16_t*>(parameters), UTF8_NUL_TERMINATED, nullptr, 0,
                &parameter_bytes);
    const size_t size = strlen(prefix) + program_bytes + parameter_bytes + 8;
    char* line = static_cast<char*>(malloc(size));
    if (line == nullptr) return;
    char* out = AppendAscii(line, prefix);
    out = AppendAscii(out, "\"");
    Utf16ToUtf8(reinterpret_cast<const char16_t*>(program), UTF8_NUL_TERMINATED, out,
                program_bytes + 1, nullptr);
    out = AppendAscii(out + program_bytes, "\" ");
    Utf16ToUtf8(reinterpret_cast<const char16_t*>(parameters), UTF8_NUL_TERMINATED, out,
                parameter_bytes + 1, nullptr);
    Note(line);
    free(line);
}
void Note(const char* prefix, const char* program, const char* parameters) {
    if (g_launchSettings.note == nullptr) return;
    const size_t size = strlen(prefix) + strlen(program) + strlen(parameters) + 8;
    char* line = static_cast<char*>(malloc(size));
    if (line == nullptr) return;
    snprintf(line, size, "%s\"%s\" %s", prefix, program, parameters);
    Note(line);
    free(line);
}

int ShowBox(HWND window, const char* text, const char* caption) {
    return MessageBoxA(window, text, caption, MB_SETFOREGROUND | MB_ICONERROR);
}
int ShowBox(HWND window, const char* text, const wchar_t* caption) {
    wchar_t wide[100];
    AppendAscii(wide, text);
    return MessageBoxW(window, wide, caption, MB_SETFOREGROUND | MB_ICONERROR);
}

template <typename Char>
void ShowStartFailure(HWND window, DWORD error, const Char* caption) {
    char message[100];
    snprintf(message, sizeof message, "Could not start MSIExec. Error #%d.",
             static_cast<int>(error));
    Note(message);
    if (!g_launchSettings.silent) ShowBox(window, message, caption);
}

// The system folder's msiexec.exe, by full path: a bare "MSIExec" would be looked up in the
// program's own folder (often a downloads folder) and the current folder before the system
// folder.
bool MsiexecPath(char* path, size_t capacity) {
    return BuildSystemPath(MSIEXEC_NAME, path, capacity);
}
bool MsiexecPath(wchar_t* path, size_t capacity) {
    char ansi[MAX_PATH + sizeof MSIEXEC_NAME];
    char utf8[3 * sizeof ansi];
    return BuildSystemPath(MSIEXEC_NAME, ansi, sizeof ansi) &&
           CodePageToUtf8(0, GetACP(), ansi, UTF8_NUL_TERMINATED, utf8, sizeof utf8, nullptr) ==
               RESULT_OK &&
           Utf8ToUtf16(utf8, UTF8_NUL_TERMINATED, reinterpret_cast<char16_t*>(path),
                       static_cast<uint32_t>(capacity)) == RESULT_OK;
}

// The shell's start in either form; the record is as it always was unless the caller waits or
// must see no UI.
template <typename Record>
void FillRecord(Record* info) {
    info->cbSize = sizeof *info;
    if (g_launchSettings.wait) info->fMask |= SEE_MASK_NOCLOSEPROCESS;
    if (g_launchSettings.silent) info->fMask |= SEE_MASK_FLAG_NO_UI;
    info->nShow = SW_SHOW;
}
// The shell's own error box (no mask flags) may reset the last error, as Wine's does; its
// result code then tells the cause (SE_ERR_FNF is ERROR_FILE_NOT_FOUND, ...).
template <typename Function, typename Record, typename Char>
bool ShellStart(const char* function_name, const Char* verb, const Char* program,
                const Char* parameters, HANDLE* process, DWORD* error) {
    Function shell_execute = FindShellFunction<Function>(function_name);
    if (shell_execute == nullptr) {
        *error = GetLastError();
        return false;
    }
    Record info;
    memset(&info, 0, sizeof info);
    FillRecord(&info);
    info.lpVerb = verb;
    info.lpFile = program;
    info.lpParameters = parameters;
    const bool started = shell_execute(&info) != 0;
    *error = started ? 0 : GetLastError();
    if (!started && *error == 0) {
        *error = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(info.hInstApp));
    }
    *process = info.hProcess;
    return started;
}
bool ShellStart(const char* program, const char* parameters, HANDLE* process, DWORD* error) {
    return ShellStart<ShellExecuteExAFunction, SHELLEXECUTEINFOA>(
        "ShellExecuteExA", "open", program, parameters, process, error);
}
bool ShellStart(const wchar_t* program, const wchar_t* parameters, HANDLE* process, DWORD* error) {
    return ShellStart<ShellExecuteExWFunction, SHELLEXECUTEINFOW>(
        "ShellExecuteExW", L"open", program, parameters, process, error);
}

// The stub's own command tail, for a caller that set none.
const char* OwnTail(const char*) {
    return SkipProgramName(GetCommandLineA());
}
const wchar_t* OwnTail(const wchar_t*) {
    GetCommandLineWFunction get_command_line =
        reinterpret_cast<GetCommandLineWFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetCommandLineW")));
    if (get_command_line == nullptr) return L"";
    return reinterpret_cast<const wchar_t*>(
        SkipProgramName(reinterpret_cast<const char16_t*>(get_command_line())));
}
const char* Arguments(const char*) {
    return g_launchSettings.arguments;
}
const wchar_t* Arguments(const wchar_t*) {
    return g_launchSettings.wide_arguments;
}

// Starts MSIExec with the parameters; 1 when started, 0 after telling the user.
template <typename Char>
int32_t StartInstaller(HWND window, const Char* package_path, const Char* transform_path) {
    const Char* tail = Arguments(package_path);
    if (tail == nullptr) tail = OwnTail(package_path);
    Char* parameters = static_cast<Char*>(
        malloc(ParametersSize(package_path, transform_path, tail) * sizeof(Char)));
    if (parameters == nullptr) {
        // Nothing started: that is a failure, also for a caller that waits on the installer.
        Note("Could not start MSIExec: no memory for its command line.");
        return 0;
    }
    Compose(parameters, package_path, transform_path, tail);

    Char program[MAX_PATH + sizeof MSIEXEC_NAME];
    int32_t result = 0;
    HANDLE process = nullptr;
    DWORD error = 0;
    if (!MsiexecPath(program, sizeof program / sizeof program[0])) {
        ShowStartFailure(window, GetLastError(), parameters);
    } else {
        Note("MSIExec: ", program, parameters);
        if (ShellStart(program, parameters, &process, &error)) {
            result = 1;
            if (g_launchSettings.wait) {
                if (g_installerProcess != nullptr) CloseHandle(g_installerProcess);
                g_installerProcess = process;
            }
        } else if (error != ERROR_CANCELLED) {
            ShowStartFailure(window, error, parameters);
        } else {
            Note("MSIExec was not started: the user declined.");
        }
    }
    free(parameters);
    return result;
}

// The branded names of the package and the transform and the paths they make in folder.
bool LoadName(UINT id, char* out) {
    return LoadBrandingTextA(id, out, BRANDING_CAPACITY);
}
bool LoadName(UINT id, wchar_t* out) {
    return LoadBrandingTextW(id, out, BRANDING_CAPACITY);
}

// The transform of language (an index of the installer's languages) in out: the vendor's own
// name from the list, else the stock button's branded one. False when a name cannot be read
// whole; *none when the language installs the package as it is.
template <typename Char>
bool LoadTransformName(int32_t language, Char* out, bool* none) {
    *none = false;
    if (g_languages.count == 0) {
        const UINT id = language == 1   ? IDS_BRAND_TRANSFORM_GERMAN
                        : language == 2 ? IDS_BRAND_TRANSFORM_JAPANESE
                                        : 0;
        *none = id == 0;
        return id == 0 || LoadName(id, out);
    }
    if (language < 0 || language >= g_languages.count) return false;
    const char16_t* name = g_languages.entries[language].transform;
    *none = name[0] == 0;
    // The packer allows ASCII names only, so the ANSI form is the same letters.
    size_t i = 0;
    for (; name[i] != 0 && i + 1 < BRANDING_CAPACITY; ++i) {
        if (sizeof(Char) == 1 && name[i] >= 0x80) return false;
        out[i] = static_cast<Char>(name[i]);
    }
    out[i] = 0;
    return name[i] == 0;
}

template <typename Char>
int32_t LaunchIn(HWND window, const Char* folder, int32_t language) {
    Char name[BRANDING_CAPACITY];
    Char package_path[INSTALLER_PATH_CAPACITY];
    Char transform_path[INSTALLER_PATH_CAPACITY];
    bool none = true;
    if (!LoadName(IDS_BRAND_PACKAGE, name) ||
        !Join(package_path, INSTALLER_PATH_CAPACITY, folder, name) ||
        !LoadTransformName(language, name, &none) ||
        (!none && !Join(transform_path, INSTALLER_PATH_CAPACITY, folder, name))) {
        // The folder is too long for the paths, or a name is missing: say so rather than start
        // something else.
        ShowStartFailure(window, ERROR_FILENAME_EXCED_RANGE, folder);
        return 0;
    }
    return StartInstaller(window, package_path, none ? nullptr : transform_path);
}

}  // namespace

LaunchSettings g_launchSettings;

size_t InstallerParametersSize(const char* package_path, const char* transform_path,
                               const char* tail) {
    return ParametersSize(package_path, transform_path, tail);
}
size_t InstallerParametersSize(const wchar_t* package_path, const wchar_t* transform_path,
                               const wchar_t* tail) {
    return ParametersSize(package_path, transform_path, tail);
}

void ComposeInstallerParameters(char* out, const char* package_path, const char* transform_path,
                                const char* tail) {
    Compose(out, package_path, transform_path, tail);
}
void ComposeInstallerParameters(wchar_t* out, const wchar_t* package_path,
                                const wchar_t* transform_path, const wchar_t* tail) {
    Compose(out, package_path, transform_path, tail);
}

bool JoinInstallerPath(char* out, size_t capacity, const char* folder, const char* name) {
    return Join(out, capacity, folder, name);
}
bool JoinInstallerPath(wchar_t* out, size_t capacity, const wchar_t* folder, const wchar_t* name) {
    return Join(out, capacity, folder, name);
}

HANDLE TakeInstallerProcess() {
    HANDLE process = g_installerProcess;
    g_installerProcess = nullptr;
    return process;
}

int32_t LaunchLanguage(HWND window, const char* folder, int32_t language) {
    if (IsWindows9x()) return LaunchIn(window, folder, language);
    // The folder's ANSI path names it exactly (the job made sure of that): in UTF-16 it joins
    // the names, which may hold any letter.
    char utf8[3 * INSTALLER_PATH_CAPACITY];
    wchar_t wide[INSTALLER_PATH_CAPACITY];
    if (CodePageToUtf8(0, GetACP(), folder, UTF8_NUL_TERMINATED, utf8, sizeof utf8, nullptr) !=
            RESULT_OK ||
        Utf8ToUtf16(utf8, UTF8_NUL_TERMINATED, reinterpret_cast<char16_t*>(wide),
                    INSTALLER_PATH_CAPACITY) != RESULT_OK) {
        ShowStartFailure(window, ERROR_FILENAME_EXCED_RANGE, folder);
        return 0;
    }
    return LaunchIn(window, static_cast<const wchar_t*>(wide), language);
}
