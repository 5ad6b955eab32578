// The installer's own names, read from the stub's resources at run time, so that the packer can
// brand a released stub without a compiler: the window's title and the package and transforms
// that the language buttons start (Win32).
#pragma once

#include <windows.h>

// Longest branding text, in UTF-16 units or ANSI bytes, its terminator included.
constexpr int BRANDING_CAPACITY = 260;

// The text of string resource id (IDS_BRAND_*) in UTF-16. False, with out empty, when it is
// missing or would not fit: a cut name would start another file.
bool LoadBrandingTextW(UINT id, wchar_t* out, int capacity);
// The same in the ANSI code page, for the 9x family, whose LoadStringW answers nothing.
bool LoadBrandingTextA(UINT id, char* out, int capacity);

// Sets the window's title to the branded one: in UTF-16 on the NT family, so that a name outside
// the ANSI code page shows as it is. The title from the dialog template stays when none is found.
void SetBrandedTitle(HWND window);
