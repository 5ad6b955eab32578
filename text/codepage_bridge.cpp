#include "text/codepage_bridge.h"
// placeholder
void LoadConversionLibrary() {}
ResultCode CodePageToUtf8(uint32_t, uint32_t, const char*, uint32_t, char*, uint32_t, uint32_t*) { return RESULT_CONVERSION_FAILED; }
ResultCode Utf8ToCodePage(uint32_t, uint32_t, const char*, uint32_t, char*, uint32_t, uint32_t*) { return RESULT_CONVERSION_FAILED; }
FILE* OpenFileCodePage(const char*, int) { return nullptr; }
void CreateDirectoryCodePage(const char*) {}
