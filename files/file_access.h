// The one file layer: the only place where a UTF-8 path reaches the file system, and where
// files are measured and positioned with 64-bit offsets. One implementation per platform.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "common/result_code.h"

// Opens a file for binary reading (for_writing == 0, "rb") or writing (any other value, "wb").
// Returns null when the file cannot be opened. The caller closes the stream.
FILE* OpenFileUtf8(const char* path, int for_writing);

// Opens the program's own file for reading, so that nobody can write, rename or delete it while
// the stream stays open (Windows: no write or delete sharing): every later look at the program
// goes through this one stream, and the file that was checked is the file that is read. Null
// when it cannot be opened.
FILE* OpenProgramFileUtf8(const char* path);

#if defined(_WIN32)
// The system's handle behind a stream, for the system's own checks of the same file.
void* SystemHandleOf(FILE* file);
#endif

// What a name that exists already means to the calls below that create files and directories.
typedef int32_t ExistingPolicy;
enum : int32_t {
    // Everything is created new: an existing name of any kind is refused. For a folder this run
    // made itself, where anything already there was put there by someone else.
    EXISTING_REFUSED = 0,
    // Files are created new; an existing plain directory is used, but not one that is a reparse
    // point (a junction or symbolic link, which would lead the writes elsewhere).
    EXISTING_FOLDER_KEPT = 1,
    // Files are replaced (truncated), directories used as they are.
    EXISTING_REPLACED = 2,
};

// A file open for writing: the system's own handle, so that each write goes straight to the
// system without a runtime buffer in between.
struct OutputFile {
#if defined(_WIN32)
    void* handle;  // HANDLE
#else
    int descriptor;
#endif
};

// Creates a file for writing under policy: RESULT_ALREADY_EXISTS when the file must be new and
// anything of that name exists (nothing is opened then), RESULT_CANT_CREATE_FILE on any other
// failure.
ResultCode CreateOutputFileUtf8(const char* path, ExistingPolicy policy, OutputFile* file);
// Opens a file for appending, creating it if missing: every write goes to its end.
ResultCode OpenAppendFileUtf8(const char* path, OutputFile* file);
// Writes all length bytes. False when the system takes fewer (a full disk).
bool WriteOutputFile(OutputFile* file, const void* data, size_t length);
// False when closing fails: on a network drive, say, the last data can be lost only then.
bool CloseOutputFile(OutputFile* file);

// Creates one directory (not its parents) under policy: RESULT_OK when it was created, or when
// the policy takes the directory that exists; RESULT_ALREADY_EXISTS when the name exists and the
// policy refuses it (under EXISTING_REPLACED too, for a name held by a file);
// RESULT_CANT_CREATE_FILE on any other failure (a missing parent, say).
ResultCode CreateDirectoryUtf8(const char* path, ExistingPolicy policy);

// What a path names, without following a link: nothing, a plain file or directory, or a link
// (a junction or symbolic link, which leads elsewhere).
typedef int32_t PathKind;
enum : int32_t { PATH_MISSING = 0, PATH_PLAIN = 1, PATH_LINK = 2 };
PathKind ExaminePathUtf8(const char* path);

// Deletes a file, or a directory when it is empty. False when the name stays.
bool RemovePathUtf8(const char* path, bool directory);

// False for a path that would not reach the file system whole: one that is not valid UTF-8,
// except on the 9x family, where such bytes pass through as ANSI code-page text. The calls
// above refuse such a path; callers ask first to report it.
bool IsPathAccepted(const char* path);

// Moves the stream to a 64-bit offset from the start of the file. False when that fails.
bool SeekFile(FILE* file, uint64_t offset);

// The file's length in bytes, for files beyond 4 GiB too. False when it cannot be read. Data
// still buffered for writing is flushed first.
bool GetFileLength(FILE* file, uint64_t* length);

// Reads length bytes at a 64-bit offset. False on a seek error or a short read.
bool ReadFileAt(FILE* file, uint64_t offset, void* buffer, size_t length);
