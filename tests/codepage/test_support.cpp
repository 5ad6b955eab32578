#include "tests/codepage/test_support.h"

#include <string.h>

namespace {

constexpr const char* PRODUCT_KEY = "Software\\Dravik\\QJX";
constexpr REGSAM KEY_ACCESS = KEY_ALL_ACCESS | KEY_WOW64_32KEY;

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(folder + name + L"\\");
            } else {
                DeleteFileW((folder + name).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

DWORD PlatformId() {
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    return version.dwPlatformId;
}

std::string WideToUtf8(const std::wstring& text) {
    char buffer[2048];
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), buffer,
                                sizeof(buffer), nullptr, nullptr);
    return std::string(buffer, n > 0 ? n : 0);
}

std::string WideToAnsi(const std::wstring& text) {
    char buffer[2048];
    int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), buffer,
                                sizeof(buffer), nullptr, nullptr);
    return std::string(buffer, n > 0 ? n : 0);
}

ScratchFolder::ScratchFolder() {
    static int serial;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[64];
    wsprintfW(name, L"qjxcp%lu_%d\\", GetCurrentProcessId(), ++serial);
    path_ = std::wstring(temp) + name;
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    RemoveTree(path_);
}

void InstallPathValue::Open() {
    HKEY parent;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Dravik", 0, KEY_ACCESS, &parent) ==
        ERROR_SUCCESS) {
        RegCloseKey(parent);
    } else {
        parent_created_ = true;
    }
    DWORD disposition = 0;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, PRODUCT_KEY, 0, nullptr, 0, KEY_ACCESS, nullptr, &key_,
                    &disposition);
    created_ = disposition == REG_CREATED_NEW_KEY;
    char old[512];
    DWORD size = sizeof(old);
    if (RegQueryValueExA(key_, "InstallPath", nullptr, &old_type_, reinterpret_cast<BYTE*>(old),
                         &size) == ERROR_SUCCESS) {
        had_value_ = true;
        old_value_.assign(old, size);
    }
    RegDeleteValueA(key_, "InstallPath");
}

InstallPathValue::InstallPathValue() {
    Open();
}

InstallPathValue::InstallPathValue(const std::string& value, DWORD type) {
    Open();
    // Stored with its terminator, as an installer writes a string value.
    RegSetValueExA(key_, "InstallPath", 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + (type == REG_SZ ? 1 : 0)));
}

InstallPathValue::~InstallPathValue() {
    if (had_value_) {
        RegSetValueExA(key_, "InstallPath", 0, old_type_,
                       reinterpret_cast<const BYTE*>(old_value_.data()),
                       static_cast<DWORD>(old_value_.size()));
    } else {
        RegDeleteValueA(key_, "InstallPath");
    }
    RegCloseKey(key_);
    if (created_) {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, PRODUCT_KEY);
    }
    if (parent_created_) {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Dravik");
    }
}

std::wstring DoublePath(const wchar_t* variant) {
    return ProgramFolder() + variant + L"\\unicows.dll";
}

bool PlantDouble(const wchar_t* variant, const std::wstring& to) {
    return CopyFileW(DoublePath(variant).c_str(), to.c_str(), FALSE) != 0;
}

long DoubleCallsAt(const std::wstring& path) {
    HMODULE module = GetModuleHandleW(path.c_str());
    if (module == nullptr) return -1;
    auto count = reinterpret_cast<LONG(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(module, "DoubleCallCount")));
    return count == nullptr ? -1 : count();
}
