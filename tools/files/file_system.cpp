#include "tools/files/file_system.h"

#include <errno.h>

#include <algorithm>

#if defined(_WIN32)
#include <windows.h>
// After windows.h, which it needs.
#include <io.h>
#include <shellapi.h>

#include "system/signature_check.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qjxpack {

#if defined(_WIN32)

namespace {

std::wstring Widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    int units =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], units);
    return wide;
}

std::string Narrow(const wchar_t* text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return std::string();
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &narrow[0], bytes, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(bytes - 1));
    return narrow;
}

bool MakeOneDirectory(const std::string& path) {
    return CreateDirectoryW(Widen(path).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

FileInfo GetFileInfo(const std::string& path) {
    FileInfo info;
    // A link that leads nowhere is still a link.
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    info.is_link =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    // Backup semantics open folders too; reparse points are followed.
    HANDLE handle =
        CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return info;
    BY_HANDLE_FILE_INFORMATION data;
    if (GetFileInformationByHandle(handle, &data)) {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            info.kind = FileKind::kDirectory;
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) {
            info.kind = FileKind::kOther;
        } else {
            info.kind = FileKind::kRegular;
        }
        info.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        info.device = data.dwVolumeSerialNumber;
        info.index = (static_cast<uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    }
    CloseHandle(handle);
    return info;
}

std::string ResolvedPath(const std::string& path) {
    HANDLE handle =
        CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::string();
    // Vista and later; the packer itself runs on older systems too, which know no links.
    using FinalPathName = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    const auto final_path_name = reinterpret_cast<FinalPathName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
    std::wstring resolved(32768, L'\0');
    DWORD length = 0;
    if (final_path_name != nullptr) {
        length = final_path_name(handle, &resolved[0], static_cast<DWORD>(resolved.size()), 0);
    } else {
        length = GetFullPathNameW(Widen(path).c_str(), static_cast<DWORD>(resolved.size()),
                                  &resolved[0], nullptr);
    }
    CloseHandle(handle);
    if (length == 0 || length >= resolved.size()) return std::string();
    resolved.resize(length);
    return Narrow(resolved.c_str());
}

bool ListDirectory(const std::string& path, std::vector<std::string>* names) {
    names->clear();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Widen(JoinPath(path, "*")).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        std::string name = Narrow(data.cFileName);
        if (name != "." && name != "..") names->push_back(name);
    } while (FindNextFileW(find, &data));
    bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(find);
    std::sort(names->begin(), names->end());
    return complete;
}

FILE* OpenPath(const std::string& path, const char* mode) {
    return _wfopen(Widen(path).c_str(), Widen(mode).c_str());
}

bool RemoveFile(const std::string& path) {
    return DeleteFileW(Widen(path).c_str()) != 0;
}

bool RemoveEmptyFolder(const std::string& path) {
    return RemoveDirectoryW(Widen(path).c_str()) != 0;
}

FILE* CreateTempFileNextTo(const std::string& path, std::string* temp_path) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::string candidate =
            path + ".tmp" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(attempt);
        HANDLE handle = CreateFileW(Widen(candidate).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            if (code == ERROR_FILE_EXISTS) continue;
            // Callers report errno, as after a failed open.
            errno = code == ERROR_PATH_NOT_FOUND  ? ENOENT
                    : code == ERROR_ACCESS_DENIED ? EACCES
                                                  : EIO;
            return nullptr;
        }
        int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), 0);
        FILE* file = descriptor < 0 ? nullptr : _fdopen(descriptor, "wb");
        if (file == nullptr) {
            if (descriptor < 0) CloseHandle(handle);
            DeleteFileW(Widen(candidate).c_str());
            return nullptr;
        }
        *temp_path = candidate;
        return file;
    }
    return nullptr;
}

bool MoveIntoPlace(const std::string& from, const std::string& to) {
    return MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

char PathSeparator() {
    return '\\';
}
bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string ProgramFolder() {
    wchar_t path[32768];
    DWORD length = GetModuleFileNameW(nullptr, path, 32768);
    if (length == 0 || length >= 32768) return std::string();
    std::string narrow = Narrow(path);
    size_t slash = narrow.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : narrow.substr(0, slash + 1);
}

bool IsTerminal(FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

bool AskSystemSignatureCheck(const std::string& path, int32_t* status, bool* damaged) {
    SignatureAnswer answer = CheckSignatureDigest(Widen(path).c_str(), status);
    *damaged = answer == SIGNATURE_DAMAGED;
    return answer != SIGNATURE_NOT_ASKED;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        for (int i = 0; i < argc; ++i) arguments.push_back(argv[i]);
        return arguments;
    }
    for (int i = 0; i < count; ++i) arguments.push_back(Narrow(wide[i]));
    LocalFree(wide);
    return arguments;
}

#else

FileInfo GetFileInfo(const std::string& path) {
    FileInfo info;
    struct stat data;
    // A link that leads nowhere is still a link.
    info.is_link = lstat(path.c_str(), &data) == 0 && S_ISLNK(data.st_mode);
    if (stat(path.c_str(), &data) != 0) return info;
    if (S_ISDIR(data.st_mode)) {
        info.kind = FileKind::kDirectory;
    } else if (S_ISREG(data.st_mode)) {
        info.kind = FileKind::kRegular;
    } else {
        info.kind = FileKind::kOther;
    }
    info.size = static_cast<uint64_t>(data.st_size);
    info.device = static_cast<uint64_t>(data.st_dev);
    info.index = static_cast<uint64_t>(data.st_ino);
    return info;
}

std::string ResolvedPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return std::string();
    std::string text = resolved;
    free(resolved);
    return text;
}

bool ListDirectory(const std::string& path, std::vector<std::string>* names) {
    names->clear();
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) return false;
    errno = 0;
    while (struct dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names->push_back(name);
    }
    bool complete = errno == 0;
    closedir(dir);
    std::sort(names->begin(), names->end());
    return complete;
}

FILE* OpenPath(const std::string& path, const char* mode) {
    return fopen(path.c_str(), mode);
}

bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

bool RemoveEmptyFolder(const std::string& path) {
    return rmdir(path.c_str()) == 0;
}

namespace {

bool MakeOneDirectory(const std::string& path) {
    return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

}  // namespace

FILE* CreateTempFileNextTo(const std::string& path, std::string* temp_path) {
    std::string pattern = path + ".tmpXXXXXX";
    int descriptor = mkstemp(&pattern[0]);
    if (descriptor < 0) return nullptr;
    // mkstemp makes the file private; an installer gets the usual permissions.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, 0666 & ~mask);
    FILE* file = fdopen(descriptor, "wb");
    if (file == nullptr) {
        close(descriptor);
        unlink(pattern.c_str());
        return nullptr;
    }
    *temp_path = pattern;
    return file;
}

bool MoveIntoPlace(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

char PathSeparator() {
    return '/';
}
bool IsPathSeparator(char c) {
    return c == '/';
}

std::string ProgramFolder() {
    std::string path(4096, '\0');
    ssize_t length = readlink("/proc/self/exe", &path[0], path.size());
    if (length <= 0 || static_cast<size_t>(length) >= path.size()) return std::string();
    path.resize(static_cast<size_t>(length));
    return path.substr(0, path.find_last_of('/') + 1);
}

bool IsTerminal(FILE* stream) {
    return isatty(fileno(stream)) != 0;
}

bool AskSystemSignatureCheck(const std::string&, int32_t*, bool*) {
    return false;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

#endif

bool SameFile(const FileInfo& a, const FileInfo& b) {
    return a.kind != FileKind::kMissing && b.kind != FileKind::kMissing && a.device == b.device &&
           a.index == b.index;
}

bool MakeDirectories(const std::string& path) {
    if (path.empty()) return false;
    for (size_t i = 1; i < path.size(); ++i) {
        // Leave out a drive's root ("C:\") and the separators themselves.
        if (IsPathSeparator(path[i]) && path[i - 1] != ':' && !IsPathSeparator(path[i - 1])) {
            if (!MakeOneDirectory(path.substr(0, i))) return false;
        }
    }
    return MakeOneDirectory(path) && GetFileInfo(path).kind == FileKind::kDirectory;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (IsPathSeparator(folder.back())) return folder + name;
    return folder + PathSeparator() + name;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes, uint64_t limit) {
    const FileInfo info = GetFileInfo(path);
    if (info.kind != FileKind::kRegular || info.size > limit) return false;
    FILE* file = OpenPath(path, "rb");
    if (file == nullptr) return false;
    bytes->resize(static_cast<size_t>(info.size));
    const bool read =
        fread(bytes->data(), 1, bytes->size(), file) == bytes->size() && fgetc(file) == EOF;
    fclose(file);
    return read;
}

}  // namespace qjxpack
