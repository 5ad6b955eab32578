#include "startup/run_log.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "common/result_code.h"
#include "files/file_access.h"
#include "startup/caller_paths.h"
#include "text/utf8.h"

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
    char text[LOG_LINE_CAPACITY];
    va_list arguments;
    va_start(arguments, format);
    // msvcrt's vsnprintf leaves a cut text unterminated and answers -1: end it by hand.
    _vsnprintf(text, sizeof text - 1, format, arguments);
    va_end(arguments);
    text[sizeof text - 1] = 0;
    // Names and paths come from the payload and the caller: a line break in one must not start
    // a line of its own.
    EscapeControlCharacters(text, line + length, sizeof line - 2 - static_cast<size_t>(length));
    length += static_cast<int>(strlen(line + length));
    line[length++] = '\r';
    line[length++] = '\n';
    WriteOutputFile(&g_log, line, static_cast<size_t>(length));
}
