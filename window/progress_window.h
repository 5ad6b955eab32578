// The modal progress window: runs a worker function on its own thread, shows its progress,
// takes Cancel, then offers the three languages and starts the installer (Win32).
#pragma once

#include <stdint.h>
#include <windows.h>

#include "common/result_code.h"

// The work the window runs on its worker thread; window is the progress dialog.
typedef ResultCode (*WorkerFunction)(HWND window, void* argument);

// Runs the modal window and returns the worker's result.
ResultCode RunProgressWindow(HWND owner, WorkerFunction worker, void* worker_argument);

// Called from the worker thread. Stores the percentage for the window's next timer tick
// (immediate: also moves the bar now). Returns RESULT_USER_CANCEL once Cancel was pressed, else 0.
// A window without a progress record (the hidden owner of quiet mode) does nothing and returns 0.
ResultCode SetProgress(HWND window, int32_t percent, bool immediate);

// 1 once Cancel was pressed, else 0 (also for a window without a progress record).
int32_t IsCancelRequested(HWND window);
