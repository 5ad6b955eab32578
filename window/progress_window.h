// The modal progress window: runs a worker function on its own thread, shows its progress,
// takes Cancel, then offers the languages and starts the installer (Win32).
#pragma once

#include <stdint.h>
#include <windows.h>

#include "common/result_code.h"

// The work the window runs on its worker thread; window is the progress dialog.
typedef ResultCode (*WorkerFunction)(HWND window, void* argument);

// Runs the modal window. Languages are indexes as for LaunchLanguage: into g_languages, or the
// stock three (English, German, Japanese) when it has none. chosen_language is taken as soon as
// the worker succeeds; -1 lets the user pick with the buttons, and focus_language's button then
// takes the focus and the default. Returns the worker's failure; RESULT_WINDOW_FAILED when the
// dialog could not be created at all; otherwise RESULT_USER_CANCEL when the window closed
// without a language, else RESULT_OK when the installer was started and RESULT_LAUNCH_FAILED
// when it was not.
ResultCode RunProgressWindow(HWND owner, WorkerFunction worker, void* worker_argument,
                             int32_t chosen_language, int32_t focus_language);

// Called from the worker thread. Stores the percentage for the window's next timer tick
// (immediate: also moves the bar now). Returns RESULT_USER_CANCEL once Cancel was pressed, else 0.
// A window without a progress record (the hidden owner of quiet mode) does nothing and returns 0.
ResultCode SetProgress(HWND window, int32_t percent, bool immediate);

// 1 once Cancel was pressed, else 0 (also for a window without a progress record).
int32_t IsCancelRequested(HWND window);

// Whether high contrast is on: the window then draws in the system's colours, without its
// pictures. Asked when the window opens and at every change of settings or colours.
typedef bool (*HighContrastQuery)();
// The system's answer, and the query the window uses (a test may answer for it: Wine can switch
// the mode neither on nor off).
bool IsSystemHighContrastOn();
extern HighContrastQuery g_highContrastQuery;
