#include "startup/caller_paths.h"

#include <string.h>

#include "system/folder_security.h"
#include "system/held_folder.h"
#include "system/windows_family.h"
#include "text/utf8.h"

namespace {

constexpr uint32_t WIDE_PATH_CAPACITY = 520;

// The path in UTF-16 without its closing separators (a drive's root keeps its own). False for
// a path that does not convert whole.
bool ToWidePath(const char* path, wchar_t* wide) {
    if (Utf8ToUtf16(path, UTF8_NUL_TERMINATED, reinterpret_cast<char16_t*>(wide),
                    WIDE_PATH_CAPACITY) != RESULT_OK) {
        return false;
    }
    size_t length = wcslen(wide);
    while (length > 1 && (wide[length - 1] == L'\\' || wide[length - 1] == L'/') &&
           wide[length - 2] != L':') {
        wide[--length] = 0;
    }
    return length > 0;
}

template <typename Char>
bool IsSeparator(Char c) {
    return c == '\\' || c == '/';
}

// Calls create with path cut at each folder above its last component, from the top down (UTF-16,
// or the 9x family's UTF-8). A drive's root and a server's share exist or cannot be made, and
// are skipped; so is a closing separator.
template <typename Char, typename Create>
void ForEachParent(Char* path, Create create) {
    Char* p = path;
    if (IsSeparator(p[0]) && IsSeparator(p[1])) {
        // \\server\share\: past the share's name.
        int separators = 0;
        for (p += 2; *p != 0 && separators < 2; ++p) separators += IsSeparator(*p) ? 1 : 0;
    }
    for (; *p != 0; ++p) {
        if (IsSeparator(*p) && p != path && p[-1] != ':' && !IsSeparator(p[-1]) && p[1] != 0) {
            const Char separator = *p;
            *p = 0;
            create(path);
            *p = separator;
        }
    }
}

// Creates every missing folder above the last component of path, each with security.
void CreateParents(wchar_t* path, SECURITY_ATTRIBUTES* security) {
    ForEachParent(path, [security](wchar_t* parent) { CreateDirectoryW(parent, security); });
}

// The 9x family: no access lists and no links to lead elsewhere, so the folders above path are
// made plainly. False when path does not fit the copy made for it.
bool CreateParentsPlainly(const char* path) {
    char own[WIDE_PATH_CAPACITY];
    const size_t length = strlen(path);
    if (length >= sizeof own) return false;
    memcpy(own, path, length + 1);
    ForEachParent(own, [](char* parent) { CreateDirectoryUtf8(parent, EXISTING_REPLACED); });
    return true;
}

// Opens the name itself, never what a link leads to, and reads what MayUseExisting needs.
HANDLE OpenAndExamine(const wchar_t* path, DWORD access, DWORD flags, ExistingObjectFacts* facts) {
    HANDLE handle = CreateFileW(path, access | READ_CONTROL | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return handle;
    facts->path_attributes = GetFileAttributesW(path);
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(handle, &information)) {
        facts->handle_attributes = information.dwFileAttributes;
        facts->links = information.nNumberOfLinks;
    } else {
        facts->handle_attributes = INVALID_FILE_ATTRIBUTES;
    }
    facts->owner_trusted = IsOwnedByTrustedOwner(handle);
    return handle;
}

}  // namespace

bool MayUseExisting(const ExistingObjectFacts& facts, bool directory, bool elevated) {
    const DWORD views[] = {facts.path_attributes, facts.handle_attributes};
    for (DWORD attributes : views) {
        if (attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
            ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != directory) {
            return false;
        }
    }
    if (!directory && facts.links != 1) return false;
    return facts.owner_trusted || !elevated;
}

ResultCode PrepareExtractFolder(const char* folder, HANDLE* held, bool* existed) {
    *held = INVALID_HANDLE_VALUE;
    if (existed != nullptr) *existed = true;
    if (IsWindows9x()) {
        return CreateParentsPlainly(folder) ? CreateDirectoryUtf8(folder, EXISTING_FOLDER_KEPT)
                                            : RESULT_BUFFER_TOO_SMALL;
    }
    wchar_t wide[WIDE_PATH_CAPACITY];
    PrivateFolderSecurity security;
    if (!ToWidePath(folder, wide)) return RESULT_BUFFER_TOO_SMALL;
    const bool elevated = IsProcessElevated();
    if (!BuildFolderSecurity(&security, true, elevated)) return RESULT_CANT_CREATE_FILE;
    CreateParents(wide, &security.attributes);
    // Made and opened in one step, the folder is the run's own, with its own access list.
    HANDLE handle = CreateHeldFolder(wide, &security.attributes);
    if (handle != INVALID_HANDLE_VALUE) {
        if (existed != nullptr) *existed = false;
        *held = handle;
        return RESULT_OK;
    }
    // A drive's root is never created, and may fail otherwise: what exists is examined below.
    if (GetLastError() != ERROR_ALREADY_EXISTS &&
        GetFileAttributesW(wide) == INVALID_FILE_ATTRIBUTES) {
        return RESULT_CANT_CREATE_FILE;
    }
    ExistingObjectFacts facts = {};
    handle = OpenAndExamine(wide, 0, FILE_FLAG_BACKUP_SEMANTICS, &facts);
    if (handle == INVALID_HANDLE_VALUE) {
        return GetFileAttributesW(wide) == INVALID_FILE_ATTRIBUTES ? RESULT_CANT_CREATE_FILE
                                                                   : RESULT_FOLDER_REFUSED;
    }
    ResultCode result = RESULT_OK;
    if (!MayUseExisting(facts, true, false)) {
        result = RESULT_FOLDER_REFUSED;
    } else if (elevated) {
        // Its owner alone says little: a folder an administrator made in C:\ is owned by the
        // Administrators and still lets every user change what is inside.
        const FolderTrust trust = JudgeFolderForElevatedRun(handle, wide);
        if (trust != FOLDER_TRUSTED) {
            result =
                trust == FOLDER_NO_SECURITY ? RESULT_FOLDER_NO_SECURITY : RESULT_FOLDER_REFUSED;
        }
    }
    if (result != RESULT_OK) {
        CloseHandle(handle);
        return result;
    }
    *held = handle;
    return RESULT_OK;
}

ResultCode CheckExistingSubfolders(const char* path, size_t root_length) {
    char own[WIDE_PATH_CAPACITY];
    const size_t length = strlen(path);
    if (length >= sizeof own || root_length > length) return RESULT_FOLDER_REFUSED;
    memcpy(own, path, length + 1);
    ResultCode result = RESULT_OK;
    // Each folder below the root, from the top down, and the path itself when it is a folder.
    for (size_t end = root_length; result == RESULT_OK && end <= length; ++end) {
        if (end < length && !IsSeparator(own[end])) continue;
        if (end == root_length || IsSeparator(own[end - 1])) continue;  // empty component
        const char kept = own[end];
        own[end] = 0;
        wchar_t wide[WIDE_PATH_CAPACITY];
        if (!ToWidePath(own, wide)) {
            result = RESULT_FOLDER_REFUSED;
        } else if (const DWORD attributes = GetFileAttributesW(wide);
                   attributes != INVALID_FILE_ATTRIBUTES &&
                   (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            ExistingObjectFacts facts = {};
            HANDLE handle = OpenAndExamine(wide, 0, FILE_FLAG_BACKUP_SEMANTICS, &facts);
            if (handle == INVALID_HANDLE_VALUE || !MayUseExisting(facts, true, false)) {
                result = RESULT_FOLDER_REFUSED;
            } else {
                const FolderTrust trust = JudgeFolderForElevatedRun(handle, wide);
                if (trust != FOLDER_TRUSTED) {
                    result = trust == FOLDER_NO_SECURITY ? RESULT_FOLDER_NO_SECURITY
                                                         : RESULT_FOLDER_REFUSED;
                }
            }
            if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        }
        own[end] = kept;
    }
    return result;
}

ResultCode OpenCallerLog(const char* path, OutputFile* log) {
    log->handle = INVALID_HANDLE_VALUE;
    if (IsWindows9x()) {
        return CreateParentsPlainly(path) ? OpenAppendFileUtf8(path, log) : RESULT_CANT_CREATE_FILE;
    }
    wchar_t wide[WIDE_PATH_CAPACITY];
    PrivateFolderSecurity security;
    if (!ToWidePath(path, wide) || !BuildPrivateFolderSecurity(&security)) {
        return RESULT_CANT_CREATE_FILE;
    }
    // New, it is ours alone; CREATE_NEW takes no name that exists, a link included.
    for (int attempt = 0; attempt < 2; ++attempt) {
        HANDLE handle = CreateFileW(wide, FILE_APPEND_DATA, FILE_SHARE_READ, &security.attributes,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            log->handle = handle;
            return RESULT_OK;
        }
        if (GetLastError() != ERROR_PATH_NOT_FOUND || attempt > 0) break;
        PrivateFolderSecurity folders;
        if (!BuildSharedFolderSecurity(&folders)) return RESULT_CANT_CREATE_FILE;
        CreateParents(wide, &folders.attributes);
    }
    if (GetFileAttributesW(wide) == INVALID_FILE_ATTRIBUTES) return RESULT_CANT_CREATE_FILE;
    ExistingObjectFacts facts = {};
    HANDLE handle = OpenAndExamine(wide, FILE_APPEND_DATA, FILE_ATTRIBUTE_NORMAL, &facts);
    if (handle == INVALID_HANDLE_VALUE || !MayUseExisting(facts, false, IsProcessElevated())) {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        return RESULT_LOG_REFUSED;
    }
    SetFilePointer(handle, 0, nullptr, FILE_END);
    log->handle = handle;
    return RESULT_OK;
}
