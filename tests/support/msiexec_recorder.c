/* Stands in for msiexec.exe in the test prefix: appends its full command line as the system
   has it, in UTF-16, written as UTF-8 (every character as given, whatever the ANSI code page
   holds), and a line feed to C:\msiexec_record.txt, and its own program file's path to
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

/* The wide command line in UTF-8; "" when it cannot be had. */
static char* WideCommandLine(void) {
    const wchar_t* line = GetCommandLineW();
    int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, NULL, 0, NULL, NULL);
    char* text = size > 0 ? (char*)malloc((size_t)size) : NULL;
    if (text == NULL || WideCharToMultiByte(CP_UTF8, 0, line, -1, text, size, NULL, NULL) == 0) {
        free(text);
        return NULL;
    }
    return text;
}

int main(void) {
    char program[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, program, sizeof program);
    if (length == 0 || length >= sizeof program) return 1;
    char* line = WideCommandLine();
    int ok = line != NULL && Append("C:\\msiexec_record.txt", line);
    free(line);
    ok = Append("C:\\msiexec_record_program.txt", program) && ok;
    char value[32];
    if (GetEnvironmentVariableA("QJX_MSIEXEC_PAUSE_MS", value, sizeof value) != 0) {
        Sleep((DWORD)atoi(value));
    }
    ok = Append("C:\\msiexec_record_done.txt", "done") && ok;
    if (!ok) return 1;
    return GetEnvironmentVariableA("QJX_MSIEXEC_EXIT", value, sizeof value) != 0 ? atoi(value) : 0;
}
