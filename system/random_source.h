// Numbers from the system's random generator (Win32 only).
#pragma once

#include <stdint.h>

// Fills buffer with length bytes from RtlGenRandom (advapi32's SystemFunction036, Windows XP
// and later), else from CryptGenRandom (NT4, and the 9x family with the CryptoAPI). Both are
// looked up at run time. False where neither answers (the first 9x releases).
bool DrawSystemRandom(void* buffer, uint32_t length);
