// Which family of Windows the program runs on (Win32 only).
#pragma once

// True on the 9x family (platform id 1), where paths reach the system in the ANSI code page and
// the Unicode layer may stand in for the conversion functions. Asked on every call: a program
// started under a changed compatibility setting must not keep a stale answer.
bool IsWindows9x();
