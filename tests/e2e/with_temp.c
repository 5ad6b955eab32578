/* Runs a command line with TEMP and TMP pointing at a given folder, waits for it and exits with
   its exit code. Wine takes no TEMP from the Linux environment, so tests set it here.

   Usage: with_temp TEMPDIR COMMAND_LINE [LOCKED_FILE]
   COMMAND_LINE is one argument, used byte for byte. With LOCKED_FILE, that file is held open
   without any sharing from the program's start on, so the program cannot open it. The exit code
   also goes, whole, to the file QJX_EXIT_CODE_FILE names: Wine hands Linux only its low byte. */
// windows.h first: the other system headers build on its types.
// clang-format off
#include <windows.h>
// clang-format on
#include <shellapi.h>
#include <stdio.h>

int main(void) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == NULL || argc < 3 || argc > 4) {
        fprintf(stderr, "usage: with_temp TEMPDIR COMMAND_LINE [LOCKED_FILE]\n");
        return 2;
    }
    SetEnvironmentVariableW(L"TEMP", argv[1]);
    SetEnvironmentVariableW(L"TMP", argv[1]);
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    if (!CreateProcessW(NULL, argv[2], NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, NULL, &startup,
                        &process)) {
        fprintf(stderr, "with_temp: cannot start (error %lu)\n", GetLastError());
        return 2;
    }
    if (argc == 4 && CreateFileW(argv[3], GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL) ==
                         INVALID_HANDLE_VALUE) {
        fprintf(stderr, "with_temp: cannot lock (error %lu)\n", GetLastError());
        TerminateProcess(process.hProcess, 2);
        return 2;
    }
    ResumeThread(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 2;
    GetExitCodeProcess(process.hProcess, &code);
    char code_file[MAX_PATH];
    if (GetEnvironmentVariableA("QJX_EXIT_CODE_FILE", code_file, sizeof code_file) != 0) {
        FILE* out = fopen(code_file, "w");
        if (out != NULL) {
            fprintf(out, "%lu\n", code);
            fclose(out);
        }
    }
    return (int)code;
}
