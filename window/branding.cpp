#include "window/branding.h"

#include "common/globals.h"
#include "resources/resource_ids.h"
#include "system/windows_family.h"

// LoadString copies what fits and cuts the rest without a word: a text that fills the buffer
// to its last unit may have been cut, and is refused.
bool LoadBrandingTextW(UINT id, wchar_t* out, int capacity) {
    const int length = LoadStringW(g_hinstance, id, out, capacity);
    if (length > 0 && length < capacity - 1) return true;
    out[0] = 0;
    return false;
}

bool LoadBrandingTextA(UINT id, char* out, int capacity) {
    const int length = LoadStringA(g_hinstance, id, out, capacity);
    if (length > 0 && length < capacity - 1) return true;
    out[0] = 0;
    return false;
}

void SetBrandedTitle(HWND window) {
    if (IsWindows9x()) {
        char title[BRANDING_CAPACITY];
        if (LoadBrandingTextA(IDS_BRAND_TITLE, title, BRANDING_CAPACITY)) {
            SetWindowTextA(window, title);
        }
        return;
    }
    wchar_t title[BRANDING_CAPACITY];
    if (LoadBrandingTextW(IDS_BRAND_TITLE, title, BRANDING_CAPACITY)) SetWindowTextW(window, title);
}
