// Starting the Windows Installer on the extracted package (Win32).
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <windows.h>

#include "command_line/stub_switches.h"

// Size of the package and transform path buffers, in units.
constexpr size_t INSTALLER_PATH_CAPACITY = 264;

// How the installer is started. Set once by the entry, before any window or worker runs; zeroed,
// it gives the plain start: the stub's own command tail, no waiting, failures shown.
struct LaunchSettings {
    // The tail passed on after the parameters, as the entry read it: in UTF-16 on the NT family,
    // in the ANSI code page on the 9x family. Null: the stub's own command tail.
    const wchar_t* wide_arguments;
    const char* arguments;
    bool wait;                       // keep the started process for the caller to wait on
    bool silent;                     // no message box and no error UI of the shell's
    void (*note)(const char* text);  // told the command line and every failure (UTF-8); may be null
};
extern LaunchSettings g_launchSettings;

// Starts MSIExec on folder (ANSI, ending in a backslash) + the branded package name, with the
// transform of language: an index of the installer's languages (g_languages), or of the stock
// three (0 English, which starts the package without one, 1 German, 2 Japanese) when it has
// none. On the NT family the paths and the command line are UTF-16 throughout, so that every
// argument reaches the installer as given. Returns 1 when started, 0 after telling the user (a
// path that does not fit, a name that cannot be read, a refused start).
int32_t LaunchLanguage(HWND window, const char* folder, int32_t language);

// The process of the last start made with waiting, once; null when there is none. The caller
// closes it.
HANDLE TakeInstallerProcess();

// --- pure pieces, exposed for the tests: the same in the ANSI and the UTF-16 form --------------

// Units the parameters need, terminating NUL included.
size_t InstallerParametersSize(const char* package_path, const char* transform_path,
                               const char* tail);
size_t InstallerParametersSize(const wchar_t* package_path, const wchar_t* transform_path,
                               const wchar_t* tail);

// Writes "/I package [transforms="transform"] " and the tail into out, which holds
// InstallerParametersSize(...) units. A package path with a blank in it is put in double quotes.
void ComposeInstallerParameters(char* out, const char* package_path, const char* transform_path,
                                const char* tail);
void ComposeInstallerParameters(wchar_t* out, const wchar_t* package_path,
                                const wchar_t* transform_path, const wchar_t* tail);

// out = folder + name when it fits capacity (NUL included); false and out empty otherwise.
bool JoinInstallerPath(char* out, size_t capacity, const char* folder, const char* name);
bool JoinInstallerPath(wchar_t* out, size_t capacity, const wchar_t* folder, const wchar_t* name);
