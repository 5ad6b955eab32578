// The one place where a UTF-8 path reaches the file system.
#pragma once

#include <stdio.h>

// Opens a file for binary reading (for_writing == 0, "rb") or writing (any other value, "wb").
// Returns null when the file cannot be opened. The caller closes the stream.
FILE* OpenFileUtf8(const char* path, int for_writing);

// Creates one directory (not its parents). Failure, or an existing directory, is not reported.
void CreateDirectoryUtf8(const char* path);

// False for a path that would not reach the file system whole: one that is not valid UTF-8,
// except on the 9x family, where such bytes pass through as ANSI code-page text. Both calls
// above refuse such a path; callers ask first to report it.
bool IsPathAccepted(const char* path);

#if defined(_WIN32)
// True on the 9x family (platform id 1), where paths reach the system in the ANSI code page.
// Asked on every call: a program started under a changed compatibility setting must not keep a
// stale answer.
bool IsWindows9x();
#endif
