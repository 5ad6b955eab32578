// Which family of Windows the program runs on, and the reading of its ANSI text (Win32 only).
#pragma once

#include <stddef.h>

// True on the 9x family (platform id 1), where paths reach the system in the ANSI code page and
// the Unicode layer may stand in for the conversion functions. Asked on every call: a program
// started under a changed compatibility setting must not keep a stale answer.
bool IsWindows9x();

// The bytes (1 or 2) of the ANSI character that starts at text. In a double-byte code page (932,
// 936, 949, 950) a character's second byte may be a backslash (表 is 0x95 0x5C in 932), so ANSI
// text is walked forwards a character at a time and never scanned byte by byte for separators.
size_t AnsiCharacterLength(const char* text);
