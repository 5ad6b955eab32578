#include "startup/run_log.h"

#include <stdarg.h>
#include <stdio.h>
#include <windows.h>

#include "common/result_code.h"
#include "files/file_access.h"

namespace {

constexpr int LOG_LINE_CAPACITY = 1200;

OutputFile g_log;
bool g_logOpen;

}  // namespace

void OpenRunLog(const char* path) {
    g_logOpen = OpenAppendFileUtf8(path, &g_log) == RESULT_OK;
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

const char* DescribeResult(int32_t result) {
    switch (result) {
        case RESULT_OK:
            return "success";
        case RESULT_USER_CANCEL:
            return "cancelled";
        case RESULT_CANT_OPEN_FILE:
            return "the program file cannot be opened";
        case RESULT_INVALID_INSTALLER:
            return "the installer is not valid or is damaged";
        case RESULT_TEMP_FOLDER:
            return "the temporary folder cannot be made";
        case RESULT_BAD_PAYLOAD:
            return "the payload is damaged";
        case RESULT_BUFFER_TOO_SMALL:
            return "a path is too long";
        case RESULT_UNSAFE_NAME:
            return "an entry name is unsafe";
        case RESULT_BAD_UTF8:
            return "an entry name is not valid UTF-8";
        case RESULT_CANT_CREATE_FILE:
            return "a file or folder cannot be created";
        case RESULT_ALREADY_EXISTS:
            return "a file or folder exists already";
        case RESULT_WRITE_FAILED:
            return "writing a file failed";
        case RESULT_LAUNCH_FAILED:
            return "MSIExec could not be started";
        default:
            return "failure";
    }
}
