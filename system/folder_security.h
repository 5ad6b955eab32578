// A security descriptor for a folder that only SYSTEM, the Administrators and the user the
// program runs as may open (Win32, NT family only: the 9x family has no access lists).
#pragma once

#include <windows.h>

// The list's header and four entries, each with a SID of the most sub-authorities (15).
constexpr DWORD PRIVATE_ACL_BYTES = 8 + 4 * (8 + 68);
// Room for any SID.
constexpr DWORD MAX_SID_BYTES = 8 + 15 * 4;
// The system list's header and one mandatory label entry (a SID of one sub-authority).
constexpr DWORD LABEL_ACL_BYTES = 8 + 8 + 12;

struct PrivateFolderSecurity {
    SECURITY_ATTRIBUTES attributes;  // for CreateDirectory; points at descriptor
    SECURITY_DESCRIPTOR descriptor;  // points at acl, and at label when it carries one
    DWORD acl[PRIVATE_ACL_BYTES / sizeof(DWORD)];
    DWORD label[LABEL_ACL_BYTES / sizeof(DWORD)];
};

// Builds, in place, an access list of full control for SYSTEM, the Administrators and the
// process token's user (SYSTEM once when that is the user), each entry inherited by the files
// and folders inside, and protected so that the parent's entries are not inherited. The
// protection is set where the system has the call for it (Windows 2000 and later); NT4 lacks it,
// but does not merge inherited entries into an explicit list at creation either. The record
// points into itself: build it where it is used. False when a call is missing or the token
// cannot be read; the caller then creates nothing rather than an open folder.
bool BuildPrivateFolderSecurity(PrivateFolderSecurity* security);

// The same list plus read and execute for Authenticated Users, also inherited: for a folder the
// caller names to extract into, from which other machines may install over a share, but which
// no ordinary user may change.
bool BuildSharedFolderSecurity(PrivateFolderSecurity* security);

// The two above for an elevated run or not, whatever the process is. Elevated, the user's own
// entry is left out: the same user's unelevated programs hold that SID too. Only SYSTEM and the
// Administrators may then change what is inside, and from Vista on a high mandatory label with
// no-write-up, inherited by files and folders, keeps medium-integrity code from writing even
// where it holds the right (the owner's implied WRITE_DAC, say). XP has no labels, and a system
// list there needs a privilege the program does not ask for.
bool BuildFolderSecurity(PrivateFolderSecurity* security, bool shared, bool elevated);

// What the elevation decision reads from the process token.
struct ElevationFacts {
    bool token_read;              // the token opened and its user read
    bool user_is_system;          // the token user is S-1-5-18
    bool elevation_known;         // the system answered TokenElevation (Vista and later)
    bool token_elevated;          // its answer
    bool groups_read;             // the token's groups read
    bool administrators_enabled;  // Administrators among them, enabled (not deny-only)
};

// Whether a run with these facts is elevated: SYSTEM, an elevated token, or one whose
// Administrators membership is enabled (every administrator before Vista, or with UAC off). It
// fails closed: a token that cannot be read counts as elevated. A UAC-filtered token holds
// Administrators for deny only, which does not count.
bool DecideElevated(const ElevationFacts& facts);

// True when groups (size bytes, as GetTokenInformation answered TokenGroups) holds the
// Administrators enabled and not for deny only. False for an answer that does not hold together.
bool IsAdministratorsEnabledIn(const BYTE* groups, DWORD size);

// DecideElevated on the process token's facts. Never on the 9x family, which has no users to keep
// apart: there false.
bool IsProcessElevated();

// How an existing folder's security looks to an elevated run.
enum FolderTrust {
    FOLDER_TRUSTED,      // only SYSTEM, the Administrators and TrustedInstaller may change it
    FOLDER_OPEN,         // someone else may change it, or it cannot be read
    FOLDER_NO_SECURITY,  // its volume keeps no access lists (FAT, exFAT) or is a share
};

// True when dacl lets nobody but SYSTEM, the Administrators and TrustedInstaller write, append,
// delete, delete children, change the list or take the owner. Generic rights are mapped to a
// file's; inherit-only entries (CREATOR OWNER's, say) do not apply to the folder itself and are
// passed over; an allowing entry of a kind not read here refuses. A null list grants everyone
// everything and refuses. dacl_bytes bounds the walk. The running user is one of them only when it
// is SYSTEM: any other user's SID is also held by its unelevated programs.
bool IsDaclTrustedOnly(const ACL* dacl, DWORD dacl_bytes);

// True when owner is SYSTEM, the Administrators or TrustedInstaller: the owner may always change
// the list, whatever it says.
bool IsOwnerTrustedWhenElevated(const BYTE* owner);

// The owner and the list of the object behind handle (opened with READ_CONTROL), judged as above.
// path names it, for the volume's answer: FOLDER_NO_SECURITY where the volume keeps no lists.
FolderTrust JudgeFolderForElevatedRun(HANDLE handle, const wchar_t* path);

// True when sid is SYSTEM, the Administrators or user: owners whose objects no ordinary user made.
bool IsTrustedOwnerSid(const BYTE* sid, const BYTE* user);

// True when the object behind handle (opened with READ_CONTROL) is owned by SYSTEM, the
// Administrators or the process user. False when the owner cannot be read.
bool IsOwnedByTrustedOwner(HANDLE handle);
