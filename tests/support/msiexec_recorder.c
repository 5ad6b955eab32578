/* Stands in for msiexec.exe in the test prefix: appends its full command line, byte for byte,
   and a line feed to C:\msiexec_record.txt, and its own program file's path to
   C:\msiexec_record_program.txt (the command line need not say which file was started). */
#include <stdio.h>
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
    return ok ? 0 : 1;
}
