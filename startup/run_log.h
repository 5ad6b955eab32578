// The log of an unattended run (/SeaLog): UTF-8 lines appended to a file the caller names.
// A log that cannot be opened or written is left out: it never stops the run (Win32).
#pragma once

#include <stdint.h>

// Opens the file at the UTF-8 path for appending, creating it if missing.
void OpenRunLog(const char* path);

// Appends the time, the printf-style text and a line end. Does nothing without an open log.
void LogLine(const char* format, ...);

// The log's name for a result code, e.g. "the temporary folder cannot be made".
const char* DescribeResult(int32_t result);
