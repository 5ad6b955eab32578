// Starting the Windows Installer on the extracted package (Win32).
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <windows.h>

#include "command_line/stub_switches.h"

// Size of the package and transform path buffers.
constexpr size_t INSTALLER_PATH_CAPACITY = 264;

// How the installer is started. Set once by the entry, before any window or worker runs; zeroed,
// it gives the plain start: the stub's own command tail, no waiting, failures shown.
struct LaunchSettings {
    const char* arguments;  // the tail passed on after the parameters; null: the stub's own
    bool wait;              // keep the started process for the caller to wait on
    bool silent;            // no message box and no error UI of the shell's
    void (*note)(const char* text);  // told the command line and every failure; may be null
};
extern LaunchSettings g_launchSettings;

// The transform file name of a language button (IDC_ENGLISH, ...): null for English.
const char* TransformForButton(int button_id);

// Starts MSIExec on folder + the package name of the build's branding, with folder + transform_name
// as the transform when transform_name is not null. Returns StartInstaller's result, or 0 after
// telling the user when a path does not fit its buffer.
int32_t LaunchPackage(HWND window, const char* folder, const char* transform_name);

// Starts the system's msiexec.exe with "/I package [transforms="transform"] " and the arguments of
// g_launchSettings. A package path with a blank in it is put in double quotes. Returns 1 when
// started, 0 when the command line could not be built or the start was refused; window owns the
// error message. With g_launchSettings.wait, a started process is left for TakeInstallerProcess.
int32_t StartInstaller(HWND window, const char* package_path, const char* transform_path);

// The process of the last start made with waiting, once; null when there is none. The caller
// closes it.
HANDLE TakeInstallerProcess();

// --- pure pieces, exposed for the tests --------------------------------------------------------

// Bytes the parameters need, terminating NUL included.
size_t InstallerParametersSize(const char* package_path, const char* transform_path,
                               const char* tail);

// Writes the parameters into out, which holds InstallerParametersSize(...) bytes.
void ComposeInstallerParameters(char* out, const char* package_path, const char* transform_path,
                                const char* tail);

// out = folder + name when it fits capacity (NUL included); false and out empty otherwise.
bool JoinInstallerPath(char* out, size_t capacity, const char* folder, const char* name);
