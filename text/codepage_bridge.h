// Code-page text <-> UTF-8 through the system's conversion functions, taken by name from a
// library chosen once per process (Win32 only).
#pragma once

#include <stdint.h>

#include "common/result_code.h"

void LoadConversionLibrary();

// flags: 0. source_length: bytes, or UTF8_NUL_TERMINATED. A null destination or a capacity of
// 0 counts only. length_out (optional): bytes in the destination, without the terminator.
// Text goes through the system in pieces of 256 bytes or units, cut between characters. Output
// that does not fit ends on a character boundary, at the first piece that does not fit.
// Utf8ToCodePage passes text that is not valid UTF-8 through unchanged, as code-page text.
ResultCode CodePageToUtf8(uint32_t flags, uint32_t code_page, const char* source,
                          uint32_t source_length, char* destination, uint32_t capacity,
                          uint32_t* length_out);
ResultCode Utf8ToCodePage(uint32_t flags, uint32_t code_page, const char* source,
                          uint32_t source_length, char* destination, uint32_t capacity,
                          uint32_t* length_out);

// True when text reaches the system in code_page as itself: valid UTF-8 that converts to the
// code page and back to the same bytes, or text that is not UTF-8 (which passes through as
// code-page text). False when a character has no form there, or best-fit mapping would put a
// look-alike in its place (a fullwidth dot or backslash becoming '.' or '\').
bool IsFaithfulInCodePage(uint32_t code_page, const char* text);

// Forgets the chosen library, so that a test can make the choice again under another set-up.
void ResetConversionLibraryForTests();
