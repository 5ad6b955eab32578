#include "startup/run_log.h"

#include <stdarg.h>
#include <stdio.h>
#include <windows.h>

#include "common/result_code.h"
#include "files/file_access.h"
#include "startup/caller_paths.h"

namespace {

constexpr int LOG_LINE_CAPACITY = 1200;

OutputFile g_log;
bool g_logOpen;

}  // namespace

ResultCode OpenRunLog(const char* path) {
    const ResultCode opened = OpenCallerLog(path, &g_log);
    g_logOpen = opened == RESULT_OK;
    return opened;
}

void LogLine(const char* format, ...) {
    if (!g_logOpen) return;
    char line[LOG_LINE_CAPACITY];
    SYSTEMTIME now;
    GetLocalTime(&now);
    int length = snprintf(line, sizeof line, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear,
                          now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    va_list arguments;
    va_start(arguments, format);
    // msvcrt's vsnprintf leaves a cut text unterminated and answers -1: end it by hand.
    int text =
        _vsnprintf(line + length, sizeof line - 2 - static_cast<size_t>(length), format, arguments);
    va_end(arguments);
    length =
        text < 0 || length + text > LOG_LINE_CAPACITY - 3 ? LOG_LINE_CAPACITY - 3 : length + text;
    line[length++] = '\r';
    line[length++] = '\n';
    WriteOutputFile(&g_log, line, static_cast<size_t>(length));
}
