// Process-wide values shared between the entry, the extraction job and the window (Win32 only).
#pragma once

#include <windows.h>

#include "text/language_list.h"

// Module handle kept by the entry; every resource is loaded through it.
extern HINSTANCE g_hinstance;

// The folder the extraction job created, ANSI code page, ending in a backslash; empty until then.
// Written once by the worker before it reveals the language buttons, read by the UI thread after.
constexpr int TEMP_FOLDER_CAPACITY = 260;
extern char g_tempFolder[TEMP_FOLDER_CAPACITY];

// The installer's languages, read by the entry from its resources before any window or worker
// runs, and only read after that. Count 0: the stock three.
extern LanguageList g_languages;
