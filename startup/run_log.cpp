#include "startup/run_log.h"

#include <stdarg.h>
#include <stdio.h>
#include <windows.h>

#include "common/result_code.h"
#include "system/windows_family.h"
#include "text/codepage_bridge.h"
#include "text/utf8.h"

namespace {

constexpr int LOG_PATH_CAPACITY = 520;
constexpr int LOG_LINE_CAPACITY = 1200;

HANDLE g_log = INVALID_HANDLE_VALUE;

}  // namespace

void OpenRunLog(const char* path) {
    if (IsWindows9x()) {
        char ansi[LOG_PATH_CAPACITY];
        if (Utf8ToCodePage(0, GetACP(), path, UTF8_NUL_TERMINATED, ansi, LOG_PATH_CAPACITY,
                           nullptr) != RESULT_OK) {
            return;
        }
        g_log = CreateFileA(ansi, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        return;
    }
    wchar_t wide[LOG_PATH_CAPACITY];
    if (Utf8ToUtf16(path, UTF8_NUL_TERMINATED, reinterpret_cast<char16_t*>(wide),
                    LOG_PATH_CAPACITY) != RESULT_OK) {
        return;
    }
    g_log = CreateFileW(wide, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void LogLine(const char* format, ...) {
    if (g_log == INVALID_HANDLE_VALUE) return;
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
    // Another run may append to the same file: always write at its current end.
    SetFilePointer(g_log, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(g_log, line, static_cast<DWORD>(length), &written, nullptr);
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
