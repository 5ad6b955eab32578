#include "text/file_access.h"
// placeholder
FILE* OpenFileUtf8(const char* path, int for_writing) { return fopen(path, for_writing ? "wb" : "rb"); }
void CreateDirectoryUtf8(const char*) {}
