// What a run with switches answers its caller: every result code's exit code, in the Windows
// Installer's terms, so that deployment tools read the stub's failures as they read the
// installer's own, and its text for the log. Pure, built on every platform.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/result_code.h"

enum : int {
    EXIT_PLAIN = 1,  // every run without switches, as always
    EXIT_SUCCESS_CODE = 0,
    EXIT_FILE_EXISTS = 80,
    EXIT_USER_CANCEL = 1602,
    EXIT_INSTALL_FAILURE = 1603,
    EXIT_OPEN_FAILED = 1619,
    EXIT_PACKAGE_INVALID = 1620,
    EXIT_TEMP_FOLDER = 1632,
    EXIT_BAD_SWITCH = 1639,
};

struct ResultDescription {
    ResultCode code;
    int exit_code;          // for every run with switches
    int extract_exit_code;  // for /SeaExtract, where an existing file has a code of its own
    const char* text;       // for the log
};

// One row per result code. A code missing here is a defect that the unit test finds.
extern const ResultDescription RESULT_DESCRIPTIONS[];
extern const size_t RESULT_DESCRIPTION_COUNT;

// The exit code of a run with switches that did not end in a waited-for installer. A code not in
// the table (none should be) counts as a failure of the installation, never as success.
int ExitCodeOf(ResultCode result, bool extract_only);

// The log's text for a result code, e.g. "the temporary folder cannot be made".
const char* DescribeResult(ResultCode result);
