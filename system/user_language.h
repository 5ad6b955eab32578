// The user's UI language as a language tag ("de-DE", "zh-TW"), to match against the languages
// an installer carries (Win32 only). Under Wine it follows the Unix locale (LC_ALL, LANG).
#pragma once

#include <stddef.h>

// Writes the tag of the user's UI language into out (capacity bytes, NUL included): the
// system's own locale name from Vista on, else the built-in table's tag for the language id.
// False, with out empty, when neither names it.
bool UserLanguageTag(char* out, size_t capacity);
