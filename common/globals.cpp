#include "common/globals.h"

HINSTANCE g_hinstance;
char g_tempFolder[TEMP_FOLDER_CAPACITY];
LanguageList g_languages;
