#include "system/held_folder.h"

#include <string.h>

namespace {

// The native layer's own records, as ntdll takes them on every NT.
struct NativeString {
    USHORT length;
    USHORT capacity;
    wchar_t* buffer;
};
struct NativeObjectAttributes {
    ULONG size;
    HANDLE root;
    NativeString* name;
    ULONG attributes;
    void* descriptor;
    void* quality_of_service;
};
struct NativeIoStatus {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};

// UNICODE_STRING, OBJECT_ATTRIBUTES and IO_STATUS_BLOCK as the x86 and x64 headers lay them out.
static_assert(sizeof(NativeString) == 2 * sizeof(void*), "UNICODE_STRING");
static_assert(sizeof(NativeObjectAttributes) == 6 * sizeof(void*), "OBJECT_ATTRIBUTES");
static_assert(sizeof(NativeIoStatus) == 2 * sizeof(void*), "IO_STATUS_BLOCK");

typedef BOOLEAN(WINAPI* DosPathToNtPathFunction)(const wchar_t*, NativeString*, wchar_t**, void*);
typedef void(WINAPI* FreeNativeStringFunction)(NativeString*);
typedef LONG(WINAPI* NtCreateFileFunction)(HANDLE*, ACCESS_MASK, NativeObjectAttributes*,
                                           NativeIoStatus*, LARGE_INTEGER*, ULONG, ULONG, ULONG,
                                           ULONG, void*, ULONG);
typedef LONG(WINAPI* NtSetInformationFileFunction)(HANDLE, NativeIoStatus*, void*, ULONG, int);
typedef ULONG(WINAPI* NtStatusToErrorFunction)(LONG);
typedef BOOL(WINAPI* SetFileInformationByHandleFunction)(HANDLE, int, void*, DWORD);

constexpr ULONG OBJECT_CASE_INSENSITIVE = 0x40;    // OBJ_CASE_INSENSITIVE
constexpr ULONG CREATE_ONLY = 2;                   // FILE_CREATE
constexpr ULONG DIRECTORY_ONLY = 0x1;              // FILE_DIRECTORY_FILE
constexpr ULONG SYNCHRONOUS = 0x20;                // FILE_SYNCHRONOUS_IO_NONALERT
constexpr int DISPOSITION_INFO_CLASS = 4;          // FileDispositionInfo
constexpr int DISPOSITION_INFORMATION_CLASS = 13;  // FileDispositionInformation
constexpr LONG STATUS_NAME_COLLISION = static_cast<LONG>(0xC0000035);

template <typename Function>
Function Find(HMODULE module, const char* name) {
    return module == nullptr
               ? nullptr
               : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Where the native calls are missing: made, then opened, by path. A moment lies between the two
// in which the name could be swapped; every NT has the native calls, so this stays a fallback.
HANDLE CreateThenOpen(const wchar_t* path, SECURITY_ATTRIBUTES* security) {
    if (!CreateDirectoryW(path, security)) return INVALID_HANDLE_VALUE;
    return CreateFileW(path, HELD_FOLDER_ACCESS, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                       nullptr);
}

}  // namespace

HANDLE CreateHeldFolder(const wchar_t* path, SECURITY_ATTRIBUTES* security) {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    DosPathToNtPathFunction to_native =
        Find<DosPathToNtPathFunction>(ntdll, "RtlDosPathNameToNtPathName_U");
    FreeNativeStringFunction free_string =
        Find<FreeNativeStringFunction>(ntdll, "RtlFreeUnicodeString");
    NtCreateFileFunction create = Find<NtCreateFileFunction>(ntdll, "NtCreateFile");
    NtStatusToErrorFunction to_error =
        Find<NtStatusToErrorFunction>(ntdll, "RtlNtStatusToDosError");
    if (to_native == nullptr || free_string == nullptr || create == nullptr ||
        to_error == nullptr) {
        return CreateThenOpen(path, security);
    }
    NativeString name = {0, 0, nullptr};
    if (!to_native(path, &name, nullptr, nullptr)) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    NativeObjectAttributes attributes = {
        sizeof attributes,
        nullptr,
        &name,
        OBJECT_CASE_INSENSITIVE,
        security != nullptr ? security->lpSecurityDescriptor : nullptr,
        nullptr};
    NativeIoStatus io;
    memset(&io, 0, sizeof io);
    HANDLE handle = nullptr;
    const LONG status = create(&handle, HELD_FOLDER_ACCESS, &attributes, &io, nullptr,
                               FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               CREATE_ONLY, DIRECTORY_ONLY | SYNCHRONOUS, nullptr, 0);
    free_string(&name);
    if (status < 0) {
        SetLastError(status == STATUS_NAME_COLLISION ? ERROR_ALREADY_EXISTS : to_error(status));
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

bool DeleteThroughHandle(HANDLE handle) {
    BOOLEAN remove = TRUE;  // FILE_DISPOSITION_INFO and FILE_DISPOSITION_INFORMATION alike
    SetFileInformationByHandleFunction set_information = Find<SetFileInformationByHandleFunction>(
        GetModuleHandleA("kernel32.dll"), "SetFileInformationByHandle");
    if (set_information != nullptr) {
        return set_information(handle, DISPOSITION_INFO_CLASS, &remove, sizeof remove) != 0;
    }
    NtSetInformationFileFunction set_native =
        Find<NtSetInformationFileFunction>(GetModuleHandleA("ntdll.dll"), "NtSetInformationFile");
    NativeIoStatus io;
    memset(&io, 0, sizeof io);
    return set_native != nullptr &&
           set_native(handle, &io, &remove, sizeof remove, DISPOSITION_INFORMATION_CLASS) >= 0;
}

NameRemoval RemoveNameThroughHandle(const wchar_t* path, bool directory) {
    HANDLE handle = CreateFileW(
        path, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? NAME_MISSING
                                                                              : NAME_FAILED;
    }
    // A link shows as a reparse point through the handle on Windows; Wine shows a link to a folder
    // through the path only, so both are asked.
    BY_HANDLE_FILE_INFORMATION information;
    const DWORD path_attributes = GetFileAttributesW(path);
    NameRemoval result = NAME_REFUSED;
    if (GetFileInformationByHandle(handle, &information) &&
        path_attributes != INVALID_FILE_ATTRIBUTES) {
        const DWORD attributes = information.dwFileAttributes | path_attributes;
        const bool is_directory = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && is_directory == directory) {
            result = DeleteThroughHandle(handle) ? NAME_REMOVED : NAME_FAILED;
        }
    }
    CloseHandle(handle);
    return result;
}
