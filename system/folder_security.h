// A security descriptor for a folder that only SYSTEM, the Administrators and the user the
// program runs as may open (Win32, NT family only: the 9x family has no access lists).
#pragma once

#include <windows.h>

// The list's header and four entries, each with a SID of the most sub-authorities (15).
constexpr DWORD PRIVATE_ACL_BYTES = 8 + 4 * (8 + 68);
// Room for any SID.
constexpr DWORD MAX_SID_BYTES = 8 + 15 * 4;

struct PrivateFolderSecurity {
    SECURITY_ATTRIBUTES attributes;  // for CreateDirectory; points at descriptor
    SECURITY_DESCRIPTOR descriptor;  // points at acl
    DWORD acl[PRIVATE_ACL_BYTES / sizeof(DWORD)];
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

// True when the process runs as SYSTEM or its token says it is elevated (TokenElevation, Vista
// and later): then a file or folder that an ordinary user may have made in advance is not taken.
bool IsProcessElevated();

// True when sid is SYSTEM, the Administrators or user: owners whose objects no ordinary user made.
bool IsTrustedOwnerSid(const BYTE* sid, const BYTE* user);

// True when the object behind handle (opened with READ_CONTROL) is owned by SYSTEM, the
// Administrators or the process user. False when the owner cannot be read.
bool IsOwnedByTrustedOwner(HANDLE handle);
