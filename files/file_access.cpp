#include "files/file_access.h"

#include <string.h>

#include "text/utf8.h"

#if defined(_WIN32)

#include <fcntl.h>
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

// Largest piece handed to one WriteFile: its length is a DWORD.
constexpr size_t WRITE_PIECE_MAX = 0x40000000;

// The length of one character: see AnsiCharacterLength. UTF-16 units count one each; a
// separator is never half of a surrogate pair.
size_t CharacterLength(const char* text) {
    return AnsiCharacterLength(text);
}
size_t CharacterLength(const wchar_t*) {
    return 1;
}

// Drops a directory path's closing separators: with one, the system answers for what a link
// leads to rather than for the link itself. A drive's root keeps its own, and so does a path
// that is only a separator. ANSI text is walked a character at a time, never backwards by bytes.
template <typename Char>
void DropClosingSeparators(Char* path) {
    size_t kept = 0;  // the length up to the end of the last character that stays
    for (size_t i = 0; path[i] != 0;) {
        const size_t next = i + CharacterLength(path + i);
        const bool separator = next == i + 1 && (path[i] == '\\' || path[i] == '/');
        if (!separator || i == 0 || path[i - 1] == ':') kept = next;
        i = next;
    }
    path[kept] = 0;
}

// After a create failed: whether the name exists, as anything. CREATE_NEW answers "file exists"
// and CreateDirectory "already exists" for a name that is there; the attributes catch what the
// error code does not, such as a directory in the way of a file.
bool NameExists(DWORD error, DWORD attributes) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
           attributes != INVALID_FILE_ATTRIBUTES;
}

// The system's calls in the two forms a path takes, so that each operation is written once.
HANDLE SystemCreateFile(const char* path, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}
HANDLE SystemCreateFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}
DWORD SystemAttributes(const char* path) {
    return GetFileAttributesA(path);
}
DWORD SystemAttributes(const wchar_t* path) {
    return GetFileAttributesW(path);
}
BOOL SystemCreateDirectory(const char* path) {
    return CreateDirectoryA(path, nullptr);
}
BOOL SystemCreateDirectory(const wchar_t* path) {
    return CreateDirectoryW(path, nullptr);
}
BOOL SystemRemove(const char* path, bool directory) {
    return directory ? RemoveDirectoryA(path) : DeleteFileA(path);
}
BOOL SystemRemove(const wchar_t* path, bool directory) {
    return directory ? RemoveDirectoryW(path) : DeleteFileW(path);
}
FILE* SystemOpenStream(const char* path, bool for_writing) {
    return fopen(path, for_writing ? "wb" : "rb");
}
FILE* SystemOpenStream(const wchar_t* path, bool for_writing) {
    return _wfopen(path, for_writing ? L"wb" : L"rb");
}

// Hands the path to operation in the system's own form: ANSI on the 9x family, UTF-16 elsewhere.
// A path that does not convert whole never reaches the system: the answer is refused.
template <typename Result, typename Operation>
Result WithSystemPath(const char* path, Result refused, Operation operation) {
    if (IsWindows9x()) {
        char ansi[ANSI_PATH_CAPACITY];
        ToAnsi(path, ansi);
        return operation(ansi);
    }
    wchar_t wide[WIDE_PATH_CAPACITY];
    if (!ToWide(path, wide)) return refused;
    return operation(wide);
}

}  // namespace

FILE* OpenFileUtf8(const char* path, int for_writing) {
    return WithSystemPath(path, static_cast<FILE*>(nullptr), [&](auto* system_path) {
        return SystemOpenStream(system_path, for_writing != 0);
    });
}

FILE* OpenProgramFileUtf8(const char* path) {
    HANDLE handle = WithSystemPath(path, INVALID_HANDLE_VALUE, [&](auto* system_path) {
        HANDLE opened = SystemCreateFile(system_path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        // The 9x family may hold its running program open for writing itself; it has no users
        // to keep apart, so there the file is shared as the runtime's open shares it.
        if (opened == INVALID_HANDLE_VALUE && IsWindows9x() &&
            GetLastError() == ERROR_SHARING_VIOLATION) {
            opened = SystemCreateFile(system_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      OPEN_EXISTING);
        }
        return opened;
    });
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    const int descriptor =
        _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE* file = _fdopen(descriptor, "rb");
    if (file == nullptr) _close(descriptor);  // closes the handle too
    return file;
}

void* SystemHandleOf(FILE* file) {
    return reinterpret_cast<void*>(_get_osfhandle(_fileno(file)));
}

ResultCode CreateOutputFileUtf8(const char* path, ExistingPolicy policy, OutputFile* file) {
    file->handle = INVALID_HANDLE_VALUE;
    // CREATE_NEW fails for any name that exists, a reparse point included, without following it.
    const DWORD disposition = policy == EXISTING_REPLACED ? CREATE_ALWAYS : CREATE_NEW;
    return WithSystemPath(path, RESULT_CANT_CREATE_FILE, [&](auto* system_path) {
        HANDLE handle = SystemCreateFile(system_path, GENERIC_WRITE, FILE_SHARE_READ, disposition);
        if (handle == INVALID_HANDLE_VALUE) {
            // The error first: asking for the attributes sets it anew. It stays the caller's
            // to read, as the system's reason.
            const DWORD error = GetLastError();
            const bool exists =
                disposition == CREATE_NEW && NameExists(error, SystemAttributes(system_path));
            SetLastError(error);
            return exists ? RESULT_ALREADY_EXISTS : RESULT_CANT_CREATE_FILE;
        }
        file->handle = handle;
        return RESULT_OK;
    });
}

ResultCode OpenAppendFileUtf8(const char* path, OutputFile* file) {
    // Where the system has it, every write goes to the end, also after another program's.
    const DWORD access = IsWindows9x() ? GENERIC_WRITE : FILE_APPEND_DATA;
    file->handle = WithSystemPath(path, INVALID_HANDLE_VALUE, [&](auto* system_path) {
        return SystemCreateFile(system_path, access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                OPEN_ALWAYS);
    });
    if (file->handle == INVALID_HANDLE_VALUE) return RESULT_CANT_CREATE_FILE;
    SetFilePointer(file->handle, 0, nullptr, FILE_END);
    return RESULT_OK;
}

bool WriteOutputFile(OutputFile* file, const void* data, size_t length) {
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const DWORD piece = static_cast<DWORD>(length < WRITE_PIECE_MAX ? length : WRITE_PIECE_MAX);
        DWORD written = 0;
        if (!WriteFile(file->handle, bytes, piece, &written, nullptr) || written == 0) return false;
        bytes += written;
        length -= written;
    }
    return true;
}

bool CloseOutputFile(OutputFile* file) {
    const bool closed = CloseHandle(file->handle) != 0;
    file->handle = INVALID_HANDLE_VALUE;
    return closed;
}

ResultCode CreateDirectoryUtf8(const char* path, ExistingPolicy policy) {
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    const ResultCode made = WithSystemPath(path, RESULT_CANT_CREATE_FILE, [&](auto* system_path) {
        DropClosingSeparators(system_path);
        if (SystemCreateDirectory(system_path)) return RESULT_OK;
        const DWORD error = GetLastError();
        attributes = SystemAttributes(system_path);
        SetLastError(error);
        return NameExists(error, attributes) ? RESULT_ALREADY_EXISTS : RESULT_CANT_CREATE_FILE;
    });
    if (made != RESULT_ALREADY_EXISTS) return made;
    // A name that exists but cannot be examined is taken for what it may be: not ours.
    if (policy == EXISTING_REFUSED || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return RESULT_ALREADY_EXISTS;
    }
    // A junction or a symbolic link (Wine shows a Unix symbolic link so) leads elsewhere.
    if (policy == EXISTING_FOLDER_KEPT && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return RESULT_ALREADY_EXISTS;
    }
    return RESULT_OK;
}

PathKind ExaminePathUtf8(const char* path) {
    const DWORD attributes =
        WithSystemPath(path, static_cast<DWORD>(INVALID_FILE_ATTRIBUTES), [&](auto* system_path) {
            DropClosingSeparators(system_path);
            return SystemAttributes(system_path);
        });
    if (attributes == INVALID_FILE_ATTRIBUTES) return PATH_MISSING;
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? PATH_LINK : PATH_PLAIN;
}

bool RemovePathUtf8(const char* path, bool directory) {
    return WithSystemPath(path, FALSE, [&](auto* system_path) {
               return SystemRemove(system_path, directory);
           }) != 0;
}

bool IsPathAccepted(const char* path) {
    // The 9x family takes names in the ANSI code page: one that best-fit mapping changes there
    // (fullwidth dots becoming "..") would name another file than the one checked.
    return IsWindows9x() ? IsFaithfulInCodePage(GetACP(), path) : IsValidUtf8(path);
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

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// As on the NT family, so that host tests and tools see the stub's refusals.
bool IsPathAccepted(const char* path) {
    return IsValidUtf8(path);
}

FILE* OpenFileUtf8(const char* path, int for_writing) {
    return fopen(path, for_writing ? "wb" : "rb");
}

FILE* OpenProgramFileUtf8(const char* path) {
    return fopen(path, "rb");
}

ResultCode CreateOutputFileUtf8(const char* path, ExistingPolicy policy, OutputFile* file) {
    // O_EXCL fails for any name that exists, a symbolic link included, without following it.
    const int flags =
        O_WRONLY | O_CREAT | O_CLOEXEC | (policy == EXISTING_REPLACED ? O_TRUNC : O_EXCL);
    file->descriptor = open(path, flags, 0666);
    if (file->descriptor >= 0) return RESULT_OK;
    return errno == EEXIST ? RESULT_ALREADY_EXISTS : RESULT_CANT_CREATE_FILE;
}

ResultCode OpenAppendFileUtf8(const char* path, OutputFile* file) {
    file->descriptor = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    return file->descriptor >= 0 ? RESULT_OK : RESULT_CANT_CREATE_FILE;
}

bool WriteOutputFile(OutputFile* file, const void* data, size_t length) {
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t written = write(file->descriptor, bytes, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

bool CloseOutputFile(OutputFile* file) {
    const bool closed = close(file->descriptor) == 0;
    file->descriptor = -1;
    return closed;
}

ResultCode CreateDirectoryUtf8(const char* path, ExistingPolicy policy) {
    // Without its closing '/': lstat would otherwise answer for what a link leads to.
    char own[4096];
    size_t length = strlen(path);
    if (length >= sizeof own) return RESULT_CANT_CREATE_FILE;
    memcpy(own, path, length + 1);
    while (length > 1 && own[length - 1] == '/') own[--length] = 0;
    if (mkdir(own, 0777) == 0) return RESULT_OK;
    if (errno != EEXIST) return RESULT_CANT_CREATE_FILE;
    struct stat status;
    if (policy == EXISTING_REFUSED || lstat(own, &status) != 0) return RESULT_ALREADY_EXISTS;
    // A symbolic link leads elsewhere; overwriting follows it, as the system would.
    if (S_ISDIR(status.st_mode)) return RESULT_OK;
    if (S_ISLNK(status.st_mode) && policy == EXISTING_REPLACED) {
        return stat(own, &status) == 0 && S_ISDIR(status.st_mode) ? RESULT_OK
                                                                  : RESULT_ALREADY_EXISTS;
    }
    return RESULT_ALREADY_EXISTS;
}

PathKind ExaminePathUtf8(const char* path) {
    char own[4096];
    size_t length = strlen(path);
    if (length >= sizeof own) return PATH_MISSING;
    memcpy(own, path, length + 1);
    while (length > 1 && own[length - 1] == '/') own[--length] = 0;
    struct stat status;
    if (lstat(own, &status) != 0) return PATH_MISSING;
    return S_ISLNK(status.st_mode) ? PATH_LINK : PATH_PLAIN;
}

bool RemovePathUtf8(const char* path, bool directory) {
    return (directory ? rmdir(path) : unlink(path)) == 0;
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
