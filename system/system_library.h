// Loading system libraries and programs by full path (Win32 only).
#pragma once

#include <stddef.h>
#include <windows.h>

// Writes the system folder's path, a backslash unless the folder ends in one, and name into
// buffer (capacity bytes, NUL included). False when the system does not tell its folder or the
// path does not fit; the last error then says why (ERROR_FILENAME_EXCED_RANGE for a path too
// long), and buffer holds an empty string where it has room for one.
bool BuildSystemPath(const char* name, char* buffer, size_t capacity);

// Loads a library from the system folder by its full path, never by bare name: a program run
// from a downloads folder would otherwise load whatever DLL of that name lies beside it. Null
// when the library is missing or the system folder's path is too long.
HMODULE LoadSystemLibrary(const char* name);
