#include "system/windows_family.h"

#include <windows.h>

bool IsWindows9x() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

size_t AnsiCharacterLength(const char* text) {
    return IsDBCSLeadByteEx(GetACP(), static_cast<BYTE>(text[0])) && text[1] != 0 ? 2 : 1;
}
