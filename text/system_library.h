// Loading system libraries at run time (Win32 only).
#pragma once

#include <windows.h>

// Loads a library from the system folder by its full path, never by bare name: a program run
// from a downloads folder would otherwise load whatever DLL of that name lies beside it. Null
// when the library is missing or the system folder's path is too long.
HMODULE LoadSystemLibrary(const char* name);
