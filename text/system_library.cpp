#include "text/system_library.h"

#include <string.h>

HMODULE LoadSystemLibrary(const char* name) {
    char path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    size_t name_size = strlen(name) + 1;
    if (length == 0 || length >= MAX_PATH || length + 1 + name_size > sizeof path) return nullptr;
    if (path[length - 1] != '\\') path[length++] = '\\';
    memcpy(path + length, name, name_size);
    return LoadLibraryA(path);
}
