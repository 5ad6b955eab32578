#include "system/folder_security.h"

#include <stddef.h>
#include <string.h>

#include "system/system_library.h"
#include "system/windows_family.h"

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
typedef BOOL(WINAPI* SetSecurityDescriptorSaclFunction)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
typedef BOOL(WINAPI* GetVolumeInformationByHandleWFunction)(HANDLE, LPWSTR, DWORD, LPDWORD, LPDWORD,
                                                            LPDWORD, LPWSTR, DWORD);
typedef BOOL(WINAPI* GetVolumePathNameWFunction)(LPCWSTR, LPWSTR, DWORD);

typedef DWORD(WINAPI* GetSecurityInfoFunction)(HANDLE, int, SECURITY_INFORMATION, PSID*, PSID*,
                                               PACL*, PACL*, PSECURITY_DESCRIPTOR*);

constexpr WORD DACL_PROTECTED = 0x1000;    // SE_DACL_PROTECTED
constexpr int FILE_OBJECT = 1;             // SE_FILE_OBJECT
constexpr int TOKEN_ELEVATION_CLASS = 20;  // TokenElevation
constexpr BYTE LABEL_ACE_TYPE = 0x11;      // SYSTEM_MANDATORY_LABEL_ACE_TYPE
constexpr DWORD NO_WRITE_UP = 0x1;         // SYSTEM_MANDATORY_LABEL_NO_WRITE_UP
constexpr DWORD GROUP_ENABLED = 0x4;       // SE_GROUP_ENABLED
constexpr DWORD GROUP_DENY_ONLY = 0x10;    // SE_GROUP_USE_FOR_DENY_ONLY

// S-1-5-18 and S-1-5-32-544: revision, sub-authority count, the NT authority (5), then the
// sub-authorities as little-endian DWORDs.
const BYTE SYSTEM_SID[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
const BYTE ADMINISTRATORS_SID[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};
// S-1-5-11: every user who signed in, and every machine account of the domain.
const BYTE AUTHENTICATED_USERS_SID[] = {1, 1, 0, 0, 0, 0, 0, 5, 11, 0, 0, 0};
// S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464: the service that owns the
// system's own folders from Vista on.
const BYTE TRUSTED_INSTALLER_SID[] = {
    1,    6,    0,    0,    0,    0,    0,    5,    80,   0,    0,    0,    0xb5, 0x89, 0xfb, 0x38,
    0x19, 0x84, 0xc2, 0xcb, 0x5c, 0x6c, 0x23, 0x6d, 0x57, 0x00, 0x77, 0x6e, 0xc0, 0x02, 0x64, 0x87};
// S-1-16-12288: the high mandatory level, an elevated administrator's.
const BYTE HIGH_LABEL_SID[] = {1, 1, 0, 0, 0, 0, 0, 16, 0x00, 0x30, 0, 0};

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
void AppendEntry(BYTE* list, DWORD* used, const BYTE* sid, DWORD mask = FILE_ALL_ACCESS,
                 BYTE type = ACCESS_ALLOWED_ACE_TYPE) {
    const DWORD sid_bytes = SidBytes(sid);
    ACE_HEADER header;
    header.AceType = type;
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

// From Vista on, where mandatory labels exist.
bool SystemHasLabels() {
    return (GetVersion() & 0x80000000u) == 0 && LOBYTE(LOWORD(GetVersion())) >= 6;
}

// The system list of a high label with no-write-up, inherited, set on the descriptor.
bool SetHighLabel(HMODULE advapi, PrivateFolderSecurity* security) {
    InitializeAclFunction initialize_acl = Find<InitializeAclFunction>(advapi, "InitializeAcl");
    AddAceFunction add_ace = Find<AddAceFunction>(advapi, "AddAce");
    SetSecurityDescriptorSaclFunction set_sacl =
        Find<SetSecurityDescriptorSaclFunction>(advapi, "SetSecurityDescriptorSacl");
    DWORD entry[(LABEL_ACL_BYTES - sizeof(ACL)) / sizeof(DWORD)];
    BYTE* list = reinterpret_cast<BYTE*>(entry);
    DWORD used = 0;
    AppendEntry(list, &used, HIGH_LABEL_SID, NO_WRITE_UP, LABEL_ACE_TYPE);
    PACL acl = reinterpret_cast<PACL>(security->label);
    // ACL_REVISION: a label entry is no object entry and needs no later revision.
    return initialize_acl != nullptr && add_ace != nullptr && set_sacl != nullptr &&
           initialize_acl(acl, static_cast<DWORD>(sizeof(ACL)) + used, ACL_REVISION) &&
           add_ace(acl, ACL_REVISION, MAXDWORD, list, used) &&
           set_sacl(&security->descriptor, TRUE, acl, FALSE);
}

bool Build(HMODULE advapi, bool shared, bool elevated, PrivateFolderSecurity* security) {
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
    if (!elevated && !SameSid(user, SYSTEM_SID)) AppendEntry(list, &used, user);
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
    if (elevated && SystemHasLabels() && !SetHighLabel(advapi, security)) return false;
    security->attributes.nLength = sizeof security->attributes;
    security->attributes.lpSecurityDescriptor = &security->descriptor;
    security->attributes.bInheritHandle = FALSE;
    return true;
}

// The token's groups, read into a buffer that grows to the answer: a user of a large domain may
// hold hundreds. False when they cannot be read.
bool ReadAdministratorsEnabled(HMODULE advapi, bool* enabled) {
    DWORD stack[512];
    if (ReadOwnToken(advapi, TokenGroups, stack, sizeof stack)) {
        *enabled = IsAdministratorsEnabledIn(reinterpret_cast<const BYTE*>(stack), sizeof stack);
        return true;
    }
    for (DWORD size = 2 * sizeof stack; size <= 64 * sizeof stack; size *= 2) {
        BYTE* answer = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, size));
        if (answer == nullptr) return false;
        const bool read = ReadOwnToken(advapi, TokenGroups, answer, size);
        if (read) *enabled = IsAdministratorsEnabledIn(answer, size);
        LocalFree(answer);
        if (read) return true;
    }
    return false;
}

ElevationFacts ReadElevationFacts(HMODULE advapi) {
    ElevationFacts facts = {};
    BYTE user[MAX_SID_BYTES];
    facts.token_read = GetTokenUserSid(advapi, user);
    facts.user_is_system = facts.token_read && SameSid(user, SYSTEM_SID);
    DWORD elevated = 0;  // TOKEN_ELEVATION: one DWORD
    facts.elevation_known =
        ReadOwnToken(advapi, static_cast<TOKEN_INFORMATION_CLASS>(TOKEN_ELEVATION_CLASS), &elevated,
                     sizeof elevated);
    facts.token_elevated = elevated != 0;
    facts.groups_read = ReadAdministratorsEnabled(advapi, &facts.administrators_enabled);
    return facts;
}

// A file's rights in place of the generic ones an entry may hold.
DWORD MapGenericRights(DWORD mask) {
    if ((mask & GENERIC_ALL) != 0) mask |= FILE_ALL_ACCESS;
    if ((mask & GENERIC_WRITE) != 0) mask |= FILE_GENERIC_WRITE;
    if ((mask & GENERIC_READ) != 0) mask |= FILE_GENERIC_READ;
    if ((mask & GENERIC_EXECUTE) != 0) mask |= FILE_GENERIC_EXECUTE;
    return mask & ~(GENERIC_ALL | GENERIC_WRITE | GENERIC_READ | GENERIC_EXECUTE);
}

// SYSTEM, the Administrators and TrustedInstaller. The running user is one of them only when it
// is SYSTEM: any other user's SID is also held by its unelevated programs.
bool IsTrustedWhenElevated(const BYTE* sid) {
    return SameSid(sid, SYSTEM_SID) || SameSid(sid, ADMINISTRATORS_SID) ||
           SameSid(sid, TRUSTED_INSTALLER_SID);
}

// True when the volume that holds the object keeps no access lists (FAT, exFAT) or is another
// machine's share, whose owners and lists say nothing of this machine's users. The answer by
// handle is Vista's; XP asks by the volume's path.
bool HasNoAccessControl(HANDLE handle, const wchar_t* path) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    GetVolumeInformationByHandleWFunction by_handle =
        Find<GetVolumeInformationByHandleWFunction>(kernel, "GetVolumeInformationByHandleW");
    GetVolumePathNameWFunction volume_path =
        Find<GetVolumePathNameWFunction>(kernel, "GetVolumePathNameW");
    wchar_t root[MAX_PATH + 1];
    if (volume_path != nullptr && volume_path(path, root, MAX_PATH + 1) &&
        GetDriveTypeW(root) == DRIVE_REMOTE) {
        return true;
    }
    if (path[0] == L'\\' && path[1] == L'\\' && path[2] != L'?' && path[2] != L'.') return true;
    DWORD flags = 0;
    if (by_handle != nullptr) {
        if (!by_handle(handle, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) return false;
    } else if (volume_path == nullptr ||
               !GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
        return false;
    }
    return (flags & FILE_PERSISTENT_ACLS) == 0;
}

bool BuildSecurity(bool shared, PrivateFolderSecurity* security) {
    return BuildFolderSecurity(security, shared, IsProcessElevated());
}

}  // namespace

bool BuildFolderSecurity(PrivateFolderSecurity* security, bool shared, bool elevated) {
    memset(security, 0, sizeof *security);
    HMODULE advapi = LoadSystemLibrary("advapi32.dll");
    if (advapi == nullptr) return false;
    const bool built = Build(advapi, shared, elevated, security);
    FreeLibrary(advapi);
    return built;
}

bool BuildPrivateFolderSecurity(PrivateFolderSecurity* security) {
    return BuildSecurity(false, security);
}

bool BuildSharedFolderSecurity(PrivateFolderSecurity* security) {
    return BuildSecurity(true, security);
}

bool DecideElevated(const ElevationFacts& facts) {
    if (!facts.token_read || !facts.groups_read) return true;
    return facts.user_is_system || (facts.elevation_known && facts.token_elevated) ||
           facts.administrators_enabled;
}

bool IsAdministratorsEnabledIn(const BYTE* groups, DWORD size) {
    // TOKEN_GROUPS: a count, then records of a SID pointer and its attributes, each pointing
    // into the same answer.
    const TOKEN_GROUPS* list = reinterpret_cast<const TOKEN_GROUPS*>(groups);
    const size_t header = offsetof(TOKEN_GROUPS, Groups);
    if (size < header) return false;
    const DWORD count = list->GroupCount;
    if (count > (size - header) / sizeof(SID_AND_ATTRIBUTES)) return false;
    for (DWORD i = 0; i < count; ++i) {
        const SID_AND_ATTRIBUTES& group = list->Groups[i];
        const BYTE* sid = static_cast<const BYTE*>(group.Sid);
        if (sid < groups || sid + sizeof ADMINISTRATORS_SID > groups + size) continue;
        if (SameSid(sid, ADMINISTRATORS_SID)) {
            return (group.Attributes & GROUP_ENABLED) != 0 &&
                   (group.Attributes & GROUP_DENY_ONLY) == 0;
        }
    }
    return false;
}

bool IsProcessElevated() {
    if (IsWindows9x()) return false;
    HMODULE advapi = LoadSystemLibrary("advapi32.dll");
    // Without advapi32 nothing can be read: fail closed.
    if (advapi == nullptr) return true;
    const bool elevated = DecideElevated(ReadElevationFacts(advapi));
    FreeLibrary(advapi);
    return elevated;
}

bool IsDaclTrustedOnly(const ACL* dacl, DWORD dacl_bytes) {
    if (dacl == nullptr || dacl_bytes < sizeof(ACL)) return false;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(dacl);
    DWORD size = dacl->AclSize < dacl_bytes ? dacl->AclSize : dacl_bytes;
    constexpr DWORD CHANGES =
        FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;
    DWORD at = sizeof(ACL);
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        if (at + sizeof(ACE_HEADER) > size) return false;
        ACE_HEADER header;
        memcpy(&header, bytes + at, sizeof header);
        if (header.AceSize < sizeof header || at + header.AceSize > size) return false;
        const BYTE* entry = bytes + at;
        at += header.AceSize;
        if ((header.AceFlags & INHERIT_ONLY_ACE) != 0) continue;
        switch (header.AceType) {
            case ACCESS_DENIED_ACE_TYPE:
            case ACCESS_DENIED_OBJECT_ACE_TYPE:
            case ACCESS_DENIED_CALLBACK_ACE_TYPE:
            case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
                continue;  // it takes away; the judgement stands without it
            case ACCESS_ALLOWED_ACE_TYPE:
                break;
            default:
                return false;
        }
        // The header, the mask, then the SID.
        if (header.AceSize < 8 + 8) return false;
        DWORD mask;
        memcpy(&mask, entry + 4, sizeof mask);
        const BYTE* sid = entry + 8;
        if (sid[1] > 15 || 8 + SidBytes(sid) > header.AceSize) return false;
        if ((MapGenericRights(mask) & CHANGES) == 0) continue;
        if (!IsTrustedWhenElevated(sid)) return false;
    }
    return true;
}

bool IsOwnerTrustedWhenElevated(const BYTE* owner) {
    return IsTrustedWhenElevated(owner);
}

FolderTrust JudgeFolderForElevatedRun(HANDLE handle, const wchar_t* path) {
    if (HasNoAccessControl(handle, path)) return FOLDER_NO_SECURITY;
    HMODULE advapi = LoadSystemLibrary("advapi32.dll");
    if (advapi == nullptr) return FOLDER_OPEN;
    GetSecurityInfoFunction get_security_info =
        Find<GetSecurityInfoFunction>(advapi, "GetSecurityInfo");
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    FolderTrust trust = FOLDER_OPEN;
    if (get_security_info != nullptr &&
        get_security_info(handle, FILE_OBJECT,
                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                          &dacl, nullptr, &descriptor) == ERROR_SUCCESS &&
        owner != nullptr) {
        const BYTE* sid = static_cast<const BYTE*>(owner);
        // A null list (dacl null) refuses: it lets everyone in.
        if (sid[0] == 1 && sid[1] <= 15 && IsOwnerTrustedWhenElevated(sid) && dacl != nullptr &&
            IsDaclTrustedOnly(dacl, dacl->AclSize)) {
            trust = FOLDER_TRUSTED;
        }
    }
    if (descriptor != nullptr) LocalFree(descriptor);
    FreeLibrary(advapi);
    return trust;
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
