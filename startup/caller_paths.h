// The paths a caller names for an unattended run: the folder /SeaExtract extracts into and the
// file /SeaLog appends to. Deployment tools run the stub elevated or as SYSTEM and often name
// places that every user can write (C:\, %WINDIR%\Temp): what the stub creates there gets an
// access list of its own rather than its parent's, and what exists there already is taken only
// when it cannot lead the run elsewhere or let another user read along (Win32).
#pragma once

#include <windows.h>

#include "common/result_code.h"
#include "files/file_access.h"

// What is known of a file or folder that exists already: from its path, and from a handle
// opened on the name itself (FILE_FLAG_OPEN_REPARSE_POINT). A link shows through the one or the
// other: Wine shows a link to a folder only through the path, Windows through both.
struct ExistingObjectFacts {
    DWORD path_attributes;  // INVALID_FILE_ATTRIBUTES when the path cannot be examined
    DWORD handle_attributes;
    DWORD links;         // the file's names (hard links); a second one may be another user's
    bool owner_trusted;  // owned by SYSTEM, the Administrators or the process user
};

// True when the run may use the object: of the kind wanted, no reparse point (junction,
// symbolic link, mount point) through either view, a file with one name only, and in an elevated
// run owned by a trusted owner.
bool MayUseExisting(const ExistingObjectFacts& facts, bool directory, bool elevated);

// The folder /SeaExtract names (UTF-8; a closing separator may follow). Missing parents and the
// folder itself are created with the shared protected access list (BuildSharedFolderSecurity);
// the folder itself is made and opened in one step (CreateHeldFolder). An existing folder is used
// only as MayUseExisting allows, and in an elevated run only when nobody but SYSTEM, the
// Administrators and TrustedInstaller may change it (JudgeFolderForElevatedRun). On RESULT_OK,
// *held is a handle that keeps the folder from being renamed or deleted until the caller closes
// it. RESULT_FOLDER_REFUSED for a folder that may not be used, RESULT_FOLDER_NO_SECURITY for an
// existing one an elevated run cannot judge (FAT, exFAT, a share), RESULT_CANT_CREATE_FILE when
// it cannot be made or opened.
// *existed, when given, tells whether the folder was there before (on the 9x family always true).
ResultCode PrepareExtractFolder(const char* folder, HANDLE* held, bool* existed = nullptr);

// For an elevated /SeaExtract into a folder that existed: every folder on path (UTF-8) below its
// first root_length bytes that exists already must pass the checks PrepareExtractFolder makes of
// the folder itself, on a handle; it may have been made by anyone who could write there before.
// RESULT_OK when each does or none exists, else RESULT_FOLDER_REFUSED or
// RESULT_FOLDER_NO_SECURITY.
ResultCode CheckExistingSubfolders(const char* path, size_t root_length);

// The file /SeaLog names (UTF-8), open for appending. A missing log is created new with the
// private access list, and its missing parent folders as PrepareExtractFolder makes them; an
// existing one is appended to only as MayUseExisting allows. RESULT_LOG_REFUSED for a log that
// may not be used (nothing is written to it), RESULT_CANT_CREATE_FILE when it cannot be made.
ResultCode OpenCallerLog(const char* path, OutputFile* log);
