#include "text/utf8.h"
// placeholder
ResultCode Utf8ToUtf16(const char*, uint32_t, char16_t*, uint32_t, uint32_t*, uint32_t*) { return RESULT_BAD_UTF8; }
ResultCode Utf16ToUtf8(const char16_t*, uint32_t, char*, uint32_t, uint32_t*) { return RESULT_BAD_UTF8; }
