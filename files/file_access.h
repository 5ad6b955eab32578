// The one file layer: the only place where a UTF-8 path reaches the file system, and where
// files are measured and positioned with 64-bit offsets. One implementation per platform.
#pragma once

#include <stddef.h>
#include <stdint.h>
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

// Moves the stream to a 64-bit offset from the start of the file. False when that fails.
bool SeekFile(FILE* file, uint64_t offset);

// The file's length in bytes, for files beyond 4 GiB too. False when it cannot be read. Data
// still buffered for writing is flushed first.
bool GetFileLength(FILE* file, uint64_t* length);

// Reads length bytes at a 64-bit offset. False on a seek error or a short read.
bool ReadFileAt(FILE* file, uint64_t offset, void* buffer, size_t length);
