// The log of an unattended run (/SeaLog): UTF-8 lines appended to a file the caller names.
// A log that cannot be made or written is left out: that never stops the run. One that exists
// but may not be used does (Win32).
#pragma once

#include <stdint.h>

#include "common/result_code.h"

// Opens the file at the UTF-8 path for appending, creating it and its folders if missing
// (OpenCallerLog). RESULT_LOG_REFUSED for an existing file the run may not write to; any other
// failure leaves the run without a log.
ResultCode OpenRunLog(const char* path);

// Appends the time, the printf-style text and a line end. Does nothing without an open log.
void LogLine(const char* format, ...);
