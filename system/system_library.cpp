#include "system/system_library.h"

#include <string.h>

#include "system/windows_family.h"

namespace {

// Whether the ANSI text ends in a backslash of its own, not in the second byte of a character.
bool EndsInSeparator(const char* text) {
    bool separator = false;
    for (size_t i = 0; text[i] != 0;) {
        const size_t length = AnsiCharacterLength(text + i);
        separator = length == 1 && text[i] == '\\';
        i += length;
    }
    return separator;
}

}  // namespace

bool BuildSystemPath(const char* name, char* buffer, size_t capacity) {
    UINT length = GetSystemDirectoryA(buffer, static_cast<UINT>(capacity));
    if (length == 0 || length >= capacity) {
        // Too small a buffer is no error to the system: it answers with the size it needs.
        if (length != 0) SetLastError(ERROR_FILENAME_EXCED_RANGE);
        if (capacity > 0) buffer[0] = '\0';
        return false;
    }
    size_t separator = EndsInSeparator(buffer) ? 0 : 1;
    size_t name_size = strlen(name) + 1;
    if (length + separator + name_size > capacity) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        buffer[0] = '\0';
        return false;
    }
    if (separator != 0) buffer[length++] = '\\';
    memcpy(buffer + length, name, name_size);
    return true;
}

HMODULE LoadSystemLibrary(const char* name) {
    char path[MAX_PATH + 16];
    return BuildSystemPath(name, path, sizeof path) ? LoadLibraryA(path) : nullptr;
}
