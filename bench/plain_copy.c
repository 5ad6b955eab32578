/* The copy the Wine benchmark holds the stub's extraction to: creates a new folder under the
   temporary folder, as the stub does, and copies the named files into it with fread/fwrite in
   64 KiB pieces. Usage: plain_copy SOURCE_FOLDER NAME...; exit code 0 when all were copied. */
// windows.h first: the other system headers build on its types.
// clang-format off
#include <windows.h>
// clang-format on
#include <stdio.h>
#include <string.h>

static char piece[64 * 1024];

static int CopyFileContents(const char* from, const char* to) {
    FILE* in = fopen(from, "rb");
    FILE* out = in != NULL ? fopen(to, "wb") : NULL;
    size_t n;
    int ok = out != NULL;
    while (ok && (n = fread(piece, 1, sizeof piece, in)) > 0) ok = fwrite(piece, 1, n, out) == n;
    ok = ok && !ferror(in);
    if (out != NULL && fclose(out) != 0) ok = 0;
    if (in != NULL) fclose(in);
    return ok;
}

int main(int argc, char** argv) {
    char folder[MAX_PATH];
    char from[2 * MAX_PATH];
    char to[2 * MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, folder);
    int i;
    if (argc < 3 || length == 0 || length >= MAX_PATH - 24) return 2;
    sprintf(folder + length, "QJXcopy%lu\\", (unsigned long)GetCurrentProcessId());
    if (!CreateDirectoryA(folder, NULL)) return 1;
    for (i = 2; i < argc; ++i) {
        snprintf(from, sizeof from, "%s\\%s", argv[1], argv[i]);
        snprintf(to, sizeof to, "%s%s", folder, argv[i]);
        if (!CopyFileContents(from, to)) {
            fprintf(stderr, "plain_copy: copying %s to %s failed\n", from, to);
            return 1;
        }
    }
    return 0;
}
