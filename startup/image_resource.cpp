#include "startup/image_resource.h"

#include <windows.h>

#include "common/globals.h"

bool FindImageResource(int id, const uint8_t** data, size_t* size) {
    *data = nullptr;
    *size = 0;
    HRSRC found =
        FindResourceA(g_hinstance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (found == nullptr) return false;
    HGLOBAL loaded = LoadResource(g_hinstance, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) return true;
    *data = static_cast<const uint8_t*>(bytes);
    *size = SizeofResource(g_hinstance, found);
    return true;
}
