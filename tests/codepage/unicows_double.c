/* Stands in for the 9x family's Unicode layer: exports the two conversion functions, forwards
   them to kernel32 and counts the calls, so that a test can tell which library a conversion
   really went through. Built twice: complete, and without WideCharToMultiByte (a layer that
   lacks one function must not be used). */
#include <windows.h>

static LONG g_calls;

/* The number of conversions that went through this copy of the library. */
LONG WINAPI DoubleCallCount(void) { return g_calls; }

int WINAPI DoubleMultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR source, int length,
                                     LPWSTR destination, int capacity) {
    InterlockedIncrement(&g_calls);
    return MultiByteToWideChar(code_page, flags, source, length, destination, capacity);
}

#ifndef DOUBLE_PARTIAL
int WINAPI DoubleWideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR source, int length,
                                     LPSTR destination, int capacity, LPCSTR default_char,
                                     LPBOOL used_default) {
    InterlockedIncrement(&g_calls);
    return WideCharToMultiByte(code_page, flags, source, length, destination, capacity,
                               default_char, used_default);
}
#endif
