#include "files/file_access.h"

#include "text/utf8.h"

#if defined(_WIN32)

#include <direct.h>
#include <io.h>
#include <windows.h>

#include "system/windows_family.h"
#include "text/codepage_bridge.h"

namespace {

// Room for any path of up to 260 characters, in UTF-16 units, with its terminator; and for its
// ANSI form on the 9x family.
constexpr uint32_t WIDE_PATH_CAPACITY = 520;
constexpr uint32_t ANSI_PATH_CAPACITY = 520;

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the runtime's wide strings are UTF-16");

// Only a path decoded whole goes on: invalid UTF-8 would leave the part before it, which names
// another file (an entry \a.txt<FF> would overwrite \a.txt), and one too long for the
// buffer would arrive unterminated.
bool ToWide(const char* path, wchar_t* wide) {
    return Utf8ToUtf16(path, UTF8_NUL_TERMINATED, reinterpret_cast<char16_t*>(wide),
                       WIDE_PATH_CAPACITY) == RESULT_OK;
}

// The 9x family takes paths in the ANSI code page; text that is not UTF-8 passes through as
// code-page text.
void ToAnsi(const char* path, char* ansi) {
    Utf8ToCodePage(0, GetACP(), path, UTF8_NUL_TERMINATED, ansi, ANSI_PATH_CAPACITY, nullptr);
}

}  // namespace

FILE* OpenFileUtf8(const char* path, int for_writing) {
    if (IsWindows9x()) {
        char ansi[ANSI_PATH_CAPACITY];
        ToAnsi(path, ansi);
        return fopen(ansi, for_writing ? "wb" : "rb");
    }
    wchar_t wide[WIDE_PATH_CAPACITY];
    if (!ToWide(path, wide)) return nullptr;
    return _wfopen(wide, for_writing ? L"wb" : L"rb");
}

void CreateDirectoryUtf8(const char* path) {
    if (IsWindows9x()) {
        char ansi[ANSI_PATH_CAPACITY];
        ToAnsi(path, ansi);
        _mkdir(ansi);
        return;
    }
    wchar_t wide[WIDE_PATH_CAPACITY];
    if (ToWide(path, wide)) _wmkdir(wide);
}

bool IsPathAccepted(const char* path) {
    return IsWindows9x() || IsValidUtf8(path);
}

bool SeekFile(FILE* file, uint64_t offset) {
    // msvcrt's fpos_t is a 64-bit byte offset, and fsetpos is in every msvcrt.dll; fseek stops
    // at 2 GiB and _fseeki64 is missing from old system runtimes.
    fpos_t position = static_cast<fpos_t>(offset);
    return fsetpos(file, &position) == 0;
}

bool GetFileLength(FILE* file, uint64_t* length) {
    // The system's size of the handle: msvcrt's ftell stops at 2 GiB, and GetFileSize is there
    // on every Windows the stub runs on.
    if (fflush(file) != 0) return false;
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    DWORD high = 0;
    DWORD low = GetFileSize(handle, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    *length = (static_cast<uint64_t>(high) << 32) | low;
    return true;
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

bool SeekFile(FILE* file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(INT64_MAX)) return false;
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool GetFileLength(FILE* file, uint64_t* length) {
    if (fseeko(file, 0, SEEK_END) != 0) return false;
    const off_t size = ftello(file);
    if (size < 0) return false;
    *length = static_cast<uint64_t>(size);
    return true;
}

#endif

bool ReadFileAt(FILE* file, uint64_t offset, void* buffer, size_t length) {
    return SeekFile(file, offset) && fread(buffer, 1, length, file) == length;
}
