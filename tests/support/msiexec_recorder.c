/* Stands in for msiexec.exe in the test prefix: appends its full command line, byte for byte,
   and a line feed to C:\msiexec_record.txt, and its own program file's path to
   C:\msiexec_record_program.txt (the command line need not say which file was started).
   Like an installer at work it then pauses QJX_MSIEXEC_PAUSE_MS milliseconds, writes
   C:\msiexec_record_done.txt and exits with QJX_MSIEXEC_EXIT (default 0). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static int Append(const char* path, const char* text) {
    FILE* out = fopen(path, "ab");
    if (out == NULL) return 0;
    fwrite(text, 1, strlen(text), out);
    fputc('\n', out);
    return fclose(out) == 0;
}

int main(void) {
    char program[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, program, sizeof program);
    if (length == 0 || length >= sizeof program) return 1;
    int ok = Append("C:\\msiexec_record.txt", GetCommandLineA());
    ok = Append("C:\\msiexec_record_program.txt", program) && ok;
    char value[32];
    if (GetEnvironmentVariableA("QJX_MSIEXEC_PAUSE_MS", value, sizeof value) != 0) {
        Sleep((DWORD)atoi(value));
    }
    ok = Append("C:\\msiexec_record_done.txt", "done") && ok;
    if (!ok) return 1;
    return GetEnvironmentVariableA("QJX_MSIEXEC_EXIT", value, sizeof value) != 0 ? atoi(value) : 0;
}
