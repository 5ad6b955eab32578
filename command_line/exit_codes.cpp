#include "command_line/exit_codes.h"

const ResultDescription RESULT_DESCRIPTIONS[] = {
    {RESULT_OK, EXIT_SUCCESS_CODE, EXIT_SUCCESS_CODE, "success"},
    {RESULT_OUT_OF_MEMORY, EXIT_INSTALL_FAILURE, EXIT_INSTALL_FAILURE, "out of memory"},
    {RESULT_BUFFER_TOO_SMALL, EXIT_INSTALL_FAILURE, EXIT_INSTALL_FAILURE, "a path is too long"},
    {RESULT_ALREADY_EXISTS, EXIT_INSTALL_FAILURE, EXIT_FILE_EXISTS,
     "a file or folder exists already"},
    {RESULT_CANT_CREATE_FILE, EXIT_INSTALL_FAILURE, EXIT_INSTALL_FAILURE,
     "a file or folder cannot be created"},
    {RESULT_CANT_OPEN_FILE, EXIT_OPEN_FAILED, EXIT_OPEN_FAILED,
     "the program file cannot be opened"},
    {RESULT_WRITE_FAILED, EXIT_INSTALL_FAILURE, EXIT_INSTALL_FAILURE, "writing a file failed"},
    {RESULT_USER_CANCEL, EXIT_USER_CANCEL, EXIT_USER_CANCEL, "cancelled"},
    {RESULT_TEMP_FOLDER, EXIT_TEMP_FOLDER, EXIT_TEMP_FOLDER, "the temporary folder cannot be made"},
    // A damaged payload is a damaged installer, whatever part of it shows the damage.
    {RESULT_INVALID_INSTALLER, EXIT_PACKAGE_INVALID, EXIT_PACKAGE_INVALID,
     "the installer is not valid or is damaged"},
    {RESULT_BAD_PAYLOAD, EXIT_PACKAGE_INVALID, EXIT_PACKAGE_INVALID, "the payload is damaged"},
    {RESULT_UNSAFE_NAME, EXIT_PACKAGE_INVALID, EXIT_PACKAGE_INVALID, "an entry name is unsafe"},
    {RESULT_BAD_UTF8, EXIT_PACKAGE_INVALID, EXIT_PACKAGE_INVALID,
     "an entry name is not valid UTF-8"},
    {RESULT_CONVERSION_FAILED, EXIT_INSTALL_FAILURE, EXIT_INSTALL_FAILURE,
     "a text could not be converted"},
    {RESULT_LAUNCH_FAILED, EXIT_INSTALL_FAILURE, EXIT_INSTALL_FAILURE,
     "MSIExec could not be started"},
    // Not the user's cancel: nobody saw a window to cancel.
    {RESULT_WINDOW_FAILED, EXIT_INSTALL_FAILURE, EXIT_INSTALL_FAILURE,
     "the window cannot be created"},
    {RESULT_WAIT_FAILED, EXIT_INSTALL_FAILURE, EXIT_INSTALL_FAILURE,
     "waiting for MSIExec failed; it may still be running"},
    {RESULT_FOLDER_REFUSED, EXIT_INSTALL_FAILURE, EXIT_INSTALL_FAILURE,
     "the folder is a link, a junction or a mount point, or others than SYSTEM and the "
     "Administrators may change it"},
    {RESULT_FOLDER_NO_SECURITY, EXIT_INSTALL_FAILURE, EXIT_INSTALL_FAILURE,
     "the folder has no access control; name a folder on NTFS or run without elevation"},
    {RESULT_LOG_REFUSED, EXIT_BAD_SWITCH, EXIT_BAD_SWITCH,
     "the log file is a link, has other names, or is owned by another user"},
    {RESULT_BAD_SWITCH, EXIT_BAD_SWITCH, EXIT_BAD_SWITCH, "unknown switch or bad value"},
};
const size_t RESULT_DESCRIPTION_COUNT = sizeof RESULT_DESCRIPTIONS / sizeof RESULT_DESCRIPTIONS[0];

namespace {

const ResultDescription* Find(ResultCode result) {
    for (size_t i = 0; i < RESULT_DESCRIPTION_COUNT; ++i) {
        if (RESULT_DESCRIPTIONS[i].code == result) return &RESULT_DESCRIPTIONS[i];
    }
    return nullptr;
}

}  // namespace

int ExitCodeOf(ResultCode result, bool extract_only) {
    const ResultDescription* row = Find(result);
    if (row == nullptr) return EXIT_INSTALL_FAILURE;
    return extract_only ? row->extract_exit_code : row->exit_code;
}

const char* DescribeResult(ResultCode result) {
    const ResultDescription* row = Find(result);
    return row != nullptr ? row->text : "failure";
}
