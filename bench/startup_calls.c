/* The start-up a quiet run of the stub has to make, and nothing else: the DLL search restricted
   to the system folder, then its own file's trailer read (the module path in UTF-16, the file
   opened through the runtime, its length, the PE headers for a certificate table, the last 32
   bytes). A quiet run loads no rich-edit library, initialises no common controls and creates
   no hidden window. Built with the stub's manifest and link options, but importing only what
   these calls need, so that the time the Wine benchmark gives it is the floor for the stub's
   own quiet start-up, and DLLs the stub loads without using them count against the stub. Keep
   it in step with the quiet path of startup/main.cpp. Exit code 1, as the stub's. */
// windows.h first: the other system headers build on its types.
// clang-format off
#include <windows.h>
// clang-format on
#include <io.h>
#include <stdio.h>

enum { TRAILER_SIZE = 32, PE_HEADER_BYTES = 4 + 20 + 240 };

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);

static int ReadAt(FILE* file, unsigned long long offset, void* buffer, size_t length) {
    fpos_t position = (fpos_t)offset;
    return fsetpos(file, &position) == 0 && fread(buffer, 1, length, file) == length;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetDefaultDllDirectoriesFunction restrict_search =
        (SetDefaultDllDirectoriesFunction)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories");
    wchar_t path[MAX_PATH];
    DWORD length;
    FILE* file;
    (void)instance;
    (void)previous;
    (void)command_line;
    (void)show;
    if (restrict_search != NULL) restrict_search(0x00000800); /* LOAD_LIBRARY_SEARCH_SYSTEM32 */

    length = GetModuleFileNameW(NULL, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    file = _wfopen(path, L"rb");
    if (file != NULL) {
        unsigned char header[PE_HEADER_BYTES];
        unsigned char trailer[TRAILER_SIZE];
        DWORD high = 0;
        DWORD low = GetFileSize((HANDLE)_get_osfhandle(_fileno(file)), &high);
        unsigned long long size = ((unsigned long long)high << 32) | low;
        if (ReadAt(file, 0, header, 64)) {
            unsigned long pe = header[60] | header[61] << 8 | (unsigned long)header[62] << 16 |
                               (unsigned long)header[63] << 24;
            ReadAt(file, pe, header, sizeof header);
        }
        if (size >= TRAILER_SIZE) ReadAt(file, size - TRAILER_SIZE, trailer, sizeof trailer);
        fclose(file);
    }
    return 1;
}
