// The hidden owner window of the stub's message boxes and progress window (Win32).
#pragma once

#include <windows.h>

// The one hidden owner window, created on the first call (on the main thread), centred on the
// screen and never shown.
HWND GetHiddenOwnerWindow();
