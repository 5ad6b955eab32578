// Result codes shared by every layer. 0 is success, failures are negative.
#pragma once

#include <stdint.h>

typedef int32_t ResultCode;

enum : int32_t {
    RESULT_OK = 0,
    RESULT_OUT_OF_MEMORY = -11999,     // the progress window's state record could not be allocated
    RESULT_BUFFER_TOO_SMALL = -11998,  // converted text does not fit; an entry path is too long
    RESULT_ALREADY_EXISTS = -11992,    // a file or folder to be created new exists already
    RESULT_CANT_CREATE_FILE = -11991,  // an output file or folder could not be created
    RESULT_CANT_OPEN_FILE = -11990,    // the program file could not be opened for reading
    RESULT_WRITE_FAILED = -11989,      // writing or closing an output file failed (disk full, ...)
    RESULT_USER_CANCEL = -11987,       // cancelled, or stopped after the job showed its own message
    RESULT_TEMP_FOLDER = -11980,       // finding or creating the temporary folder failed
    RESULT_INVALID_INSTALLER = -11971,  // no sound trailer, or a signed file damaged after signing
    RESULT_BAD_PAYLOAD =
        -11970,  // the payload is damaged: truncated, cut inside an entry, or too large
    RESULT_UNSAFE_NAME = -11960,        // an entry name would escape the destination folder
    RESULT_BAD_UTF8 = -11952,           // a byte string is not valid UTF-8
    RESULT_CONVERSION_FAILED = -11937,  // the system failed to convert code-page text
    RESULT_LAUNCH_FAILED = -11930,      // the installer could not be started
    RESULT_WINDOW_FAILED = -11929,      // the progress window could not be created
    RESULT_WAIT_FAILED = -11928,        // waiting for the installer failed; it may still run
    RESULT_FOLDER_REFUSED = -11927,     // a folder to extract into is a link or not trusted
    RESULT_LOG_REFUSED = -11926,        // the log file exists but may not be written to
    RESULT_BAD_SWITCH = -11925,         // an unknown switch of the stub's, or a bad value
    RESULT_FOLDER_NO_SECURITY =
        -11924,  // an elevated run's folder is on a volume without access lists
};
