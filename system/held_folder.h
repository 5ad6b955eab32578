// Folders and names handled through handles rather than paths (Win32, NT family): a folder made
// and opened in one step, held so that nobody can rename or delete it while the run uses it, and
// names removed only when the object opened is the one expected.
#pragma once

#include <windows.h>

// The access a held folder is opened with: enough to read its security and attributes, to list
// it, and to delete it through the handle at the end.
constexpr DWORD HELD_FOLDER_ACCESS =
    FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | DELETE | SYNCHRONIZE;

// Creates the folder path names (UTF-16) with security and answers a handle to the very folder it
// made, opened with HELD_FOLDER_ACCESS and shared for reading and writing but not for deleting:
// while it is open nobody can rename, delete or replace it. Made and opened in one step, so that
// nothing can be swapped in between. INVALID_HANDLE_VALUE when it cannot be made, with the last
// error set (ERROR_ALREADY_EXISTS when the name exists, whatever it is).
HANDLE CreateHeldFolder(const wchar_t* path, SECURITY_ATTRIBUTES* security);

// Marks the object behind handle (opened with DELETE) to go when the last handle on it closes:
// SetFileInformationByHandle from Vista on, NtSetInformationFile before. False when the system
// refuses (a folder that is not empty, say).
bool DeleteThroughHandle(HANDLE handle);

enum NameRemoval {
    NAME_REMOVED,
    NAME_MISSING,  // gone already
    NAME_REFUSED,  // a link, a junction, or not of the kind expected: left alone
    NAME_FAILED,   // it could not be opened for deletion, or the system refused
};

// Opens the name itself (never what a link leads to) with delete access, checks through that
// handle that it is a plain file or folder as expected, and deletes it through the handle.
NameRemoval RemoveNameThroughHandle(const wchar_t* path, bool directory);
