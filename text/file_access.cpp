#include "text/file_access.h"

#include "text/utf8.h"

#if defined(_WIN32)

#include <direct.h>
#include <windows.h>

#include "text/codepage_bridge.h"

namespace {

// Room for any path of up to 260 characters, in UTF-16 units, with its terminator.
constexpr uint32_t WIDE_PATH_CAPACITY = 520;

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the runtime's wide strings are UTF-16");

// Only a path decoded whole goes on: invalid UTF-8 would leave the part before it, which names
// another file (an entry \a.txt<FF> would overwrite \a.txt), and one too long for the
// buffer would arrive unterminated.
bool ToWide(const char* path, wchar_t* wide) {
    return Utf8ToUtf16(path, UTF8_NUL_TERMINATED, reinterpret_cast<char16_t*>(wide),
                       WIDE_PATH_CAPACITY) == RESULT_OK;
}

}  // namespace

bool IsWindows9x() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

FILE* OpenFileUtf8(const char* path, int for_writing) {
    if (IsWindows9x()) return OpenFileCodePage(path, for_writing);
    wchar_t wide[WIDE_PATH_CAPACITY];
    if (!ToWide(path, wide)) return nullptr;
    return _wfopen(wide, for_writing ? L"wb" : L"rb");
}

void CreateDirectoryUtf8(const char* path) {
    if (IsWindows9x()) {
        CreateDirectoryCodePage(path);
        return;
    }
    wchar_t wide[WIDE_PATH_CAPACITY];
    if (ToWide(path, wide)) _wmkdir(wide);
}

bool IsPathAccepted(const char* path) {
    return IsWindows9x() || IsValidUtf8(path);
}

#else  // POSIX: UTF-8 paths go to the system as they are.

#include <sys/stat.h>

// As on the NT family, so that host tests and tools see the stub's refusals.
bool IsPathAccepted(const char* path) {
    return IsValidUtf8(path);
}

FILE* OpenFileUtf8(const char* path, int for_writing) {
    return fopen(path, for_writing ? "wb" : "rb");
}

void CreateDirectoryUtf8(const char* path) {
    mkdir(path, 0777);
}

#endif
