#include "system/folder_security.h"

#include <string.h>

#include "system/system_library.h"

namespace {

// All looked up at run time: the stub must start on the 9x family, whose advapi32 may lack
// them, and SetSecurityDescriptorControl is missing from NT4.
typedef BOOL(WINAPI* OpenProcessTokenFunction)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI* GetTokenInformationFunction)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD,
                                                  PDWORD);
typedef BOOL(WINAPI* InitializeAclFunction)(PACL, DWORD, DWORD);
typedef BOOL(WINAPI* AddAceFunction)(PACL, DWORD, DWORD, LPVOID, DWORD);
typedef BOOL(WINAPI* InitializeSecurityDescriptorFunction)(PSECURITY_DESCRIPTOR, DWORD);
typedef BOOL(WINAPI* SetSecurityDescriptorDaclFunction)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
typedef BOOL(WINAPI* SetSecurityDescriptorControlFunction)(PSECURITY_DESCRIPTOR, WORD, WORD);

typedef DWORD(WINAPI* GetSecurityInfoFunction)(HANDLE, int, SECURITY_INFORMATION, PSID*, PSID*,
                                               PACL*, PACL*, PSECURITY_DESCRIPTOR*);

constexpr WORD DACL_PROTECTED = 0x1000;    // SE_DACL_PROTECTED
constexpr int FILE_OBJECT = 1;             // SE_FILE_OBJECT
constexpr int TOKEN_ELEVATION_CLASS = 20;  // TokenElevation

// S-1-5-18 and S-1-5-32-544: revision, sub-authority count, the NT authority (5), then the
// sub-authorities as little-endian DWORDs.
const BYTE SYSTEM_SID[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
const BYTE ADMINISTRATORS_SID[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};
// S-1-5-11: every user who signed in, and every machine account of the domain.
const BYTE AUTHENTICATED_USERS_SID[] = {1, 1, 0, 0, 0, 0, 0, 5, 11, 0, 0, 0};

template <typename Function>
Function Find(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

DWORD SidBytes(const BYTE* sid) {
    return 8 + 4 * static_cast<DWORD>(sid[1]);
}

bool SameSid(const BYTE* a, const BYTE* b) {
    return a[1] == b[1] && memcmp(a, b, SidBytes(a)) == 0;
}

// Appends an allowed entry with the rights in mask for sid, inherited by files (OI) and folders
// (CI), to the entry list at list + *used.
void AppendEntry(BYTE* list, DWORD* used, const BYTE* sid, DWORD mask = FILE_ALL_ACCESS) {
    const DWORD sid_bytes = SidBytes(sid);
    ACE_HEADER header;
    header.AceType = ACCESS_ALLOWED_ACE_TYPE;
    header.AceFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    header.AceSize = static_cast<WORD>(sizeof header + sizeof(DWORD) + sid_bytes);
    BYTE* out = list + *used;
    memcpy(out, &header, sizeof header);
    memcpy(out + sizeof header, &mask, sizeof mask);
    memcpy(out + sizeof header + sizeof mask, sid, sid_bytes);
    *used += header.AceSize;
}

// One class of information about the process token into answer (size bytes). False when the
// calls are missing or the system cannot answer that class.
bool ReadOwnToken(HMODULE advapi, TOKEN_INFORMATION_CLASS kind, void* answer, DWORD size) {
    OpenProcessTokenFunction open_token =
        Find<OpenProcessTokenFunction>(advapi, "OpenProcessToken");
    GetTokenInformationFunction get_information =
        Find<GetTokenInformationFunction>(advapi, "GetTokenInformation");
    HANDLE token = nullptr;
    if (open_token == nullptr || get_information == nullptr ||
        !open_token(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    DWORD used = 0;
    const bool read = get_information(token, kind, answer, size, &used) != 0;
    CloseHandle(token);
    return read;
}

// The process token's user SID into sid (MAX_SID_BYTES). False when it cannot be read.
bool GetTokenUserSid(HMODULE advapi, BYTE* sid) {
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + MAX_SID_BYTES];
    } answer;
    if (!ReadOwnToken(advapi, TokenUser, &answer, sizeof answer)) return false;
    const BYTE* user = static_cast<const BYTE*>(answer.user.User.Sid);
    // Only a well-formed SID that lies inside the answer is copied.
    if (user < answer.bytes || user + 8 > answer.bytes + sizeof answer || user[0] != 1 ||
        user[1] > 15 || user + SidBytes(user) > answer.bytes + sizeof answer) {
        return false;
    }
    memcpy(sid, user, SidBytes(user));
    return true;
}

bool Build(HMODULE advapi, bool shared, PrivateFolderSecurity* security) {
    InitializeAclFunction initialize_acl = Find<InitializeAclFunction>(advapi, "InitializeAcl");
    AddAceFunction add_ace = Find<AddAceFunction>(advapi, "AddAce");
    InitializeSecurityDescriptorFunction initialize_descriptor =
        Find<InitializeSecurityDescriptorFunction>(advapi, "InitializeSecurityDescriptor");
    SetSecurityDescriptorDaclFunction set_dacl =
        Find<SetSecurityDescriptorDaclFunction>(advapi, "SetSecurityDescriptorDacl");
    SetSecurityDescriptorControlFunction set_control =
        Find<SetSecurityDescriptorControlFunction>(advapi, "SetSecurityDescriptorControl");
    BYTE user[MAX_SID_BYTES];
    if (initialize_acl == nullptr || add_ace == nullptr || initialize_descriptor == nullptr ||
        set_dacl == nullptr || !GetTokenUserSid(advapi, user)) {
        return false;
    }

    DWORD entries[(PRIVATE_ACL_BYTES - sizeof(ACL)) / sizeof(DWORD)];
    BYTE* list = reinterpret_cast<BYTE*>(entries);
    DWORD used = 0;
    AppendEntry(list, &used, SYSTEM_SID);
    AppendEntry(list, &used, ADMINISTRATORS_SID);
    if (!SameSid(user, SYSTEM_SID)) AppendEntry(list, &used, user);
    if (shared) {
        AppendEntry(list, &used, AUTHENTICATED_USERS_SID, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);
    }
    PACL acl = reinterpret_cast<PACL>(security->acl);
    if (!initialize_acl(acl, static_cast<DWORD>(sizeof(ACL)) + used, ACL_REVISION) ||
        !add_ace(acl, ACL_REVISION, MAXDWORD, list, used) ||
        !initialize_descriptor(&security->descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !set_dacl(&security->descriptor, TRUE, acl, FALSE)) {
        return false;
    }
    if (set_control != nullptr &&
        !set_control(&security->descriptor, DACL_PROTECTED, DACL_PROTECTED)) {
        return false;
    }
    security->attributes.nLength = sizeof security->attributes;
    security->attributes.lpSecurityDescriptor = &security->descriptor;
    security->attributes.bInheritHandle = FALSE;
    return true;
}

bool BuildSecurity(bool shared, PrivateFolderSecurity* security) {
    memset(security, 0, sizeof *security);
    HMODULE advapi = LoadSystemLibrary("advapi32.dll");
    if (advapi == nullptr) return false;
    const bool built = Build(advapi, shared, security);
    FreeLibrary(advapi);
    return built;
}

// TokenElevation's answer, false where the system has no such class (before Vista).
bool TokenSaysElevated(HMODULE advapi) {
    DWORD elevated = 0;  // TOKEN_ELEVATION: one DWORD
    return ReadOwnToken(advapi, static_cast<TOKEN_INFORMATION_CLASS>(TOKEN_ELEVATION_CLASS),
                        &elevated, sizeof elevated) &&
           elevated != 0;
}

}  // namespace

bool BuildPrivateFolderSecurity(PrivateFolderSecurity* security) {
    return BuildSecurity(false, security);
}

bool BuildSharedFolderSecurity(PrivateFolderSecurity* security) {
    return BuildSecurity(true, security);
}

bool IsProcessElevated() {
    HMODULE advapi = LoadSystemLibrary("advapi32.dll");
    if (advapi == nullptr) return false;
    BYTE user[MAX_SID_BYTES];
    const bool elevated =
        (GetTokenUserSid(advapi, user) && SameSid(user, SYSTEM_SID)) || TokenSaysElevated(advapi);
    FreeLibrary(advapi);
    return elevated;
}

bool IsTrustedOwnerSid(const BYTE* sid, const BYTE* user) {
    return SameSid(sid, SYSTEM_SID) || SameSid(sid, ADMINISTRATORS_SID) || SameSid(sid, user);
}

bool IsOwnedByTrustedOwner(HANDLE handle) {
    HMODULE advapi = LoadSystemLibrary("advapi32.dll");
    if (advapi == nullptr) return false;
    GetSecurityInfoFunction get_security_info =
        Find<GetSecurityInfoFunction>(advapi, "GetSecurityInfo");
    BYTE user[MAX_SID_BYTES];
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    bool trusted = false;
    if (get_security_info != nullptr && GetTokenUserSid(advapi, user) &&
        get_security_info(handle, FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                          nullptr, &descriptor) == ERROR_SUCCESS &&
        owner != nullptr) {
        const BYTE* sid = static_cast<const BYTE*>(owner);
        trusted = sid[0] == 1 && sid[1] <= 15 && IsTrustedOwnerSid(sid, user);
    }
    if (descriptor != nullptr) LocalFree(descriptor);
    FreeLibrary(advapi);
    return trusted;
}
