/* Prints what the system's GetFileVersionInfo reads from a program: the fixed part's file and
   product versions, then each named text of its first translation, as "Key: value" lines in
   UTF-8 ("Key: <none>" when it is missing).

   Usage: version_info PROGRAM KEY... */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

static void PrintVersion(const char* label, DWORD high, DWORD low) {
    printf("%s: %lu.%lu.%lu.%lu\n", label, (unsigned long)HIWORD(high), (unsigned long)LOWORD(high),
           (unsigned long)HIWORD(low), (unsigned long)LOWORD(low));
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: version_info PROGRAM KEY...\n");
        return 2;
    }
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(argv[1], &ignored);
    void* data = size ? malloc(size) : NULL;
    if (data == NULL || !GetFileVersionInfoA(argv[1], 0, size, data)) {
        fprintf(stderr, "version_info: no version resource (error %lu)\n", GetLastError());
        return 1;
    }
    VS_FIXEDFILEINFO* fixed = NULL;
    UINT length = 0;
    if (!VerQueryValueA(data, "\\", (void**)&fixed, &length) || length < sizeof *fixed) {
        fprintf(stderr, "version_info: no fixed part\n");
        return 1;
    }
    PrintVersion("fixed file version", fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    PrintVersion("fixed product version", fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    WORD* translation = NULL;
    if (!VerQueryValueA(data, "\\VarFileInfo\\Translation", (void**)&translation, &length) ||
        length < 4) {
        fprintf(stderr, "version_info: no translation\n");
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        wchar_t path[128];
        wchar_t* text = NULL;
        _snwprintf(path, 128, L"\\StringFileInfo\\%04x%04x\\%hs", translation[0], translation[1],
                   argv[i]);
        path[127] = 0;
        char utf8[1024] = "<none>";
        if (VerQueryValueW(data, path, (void**)&text, &length) && text != NULL) {
            WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL);
        }
        printf("%s: %s\n", argv[i], utf8);
    }
    free(data);
    return 0;
}
