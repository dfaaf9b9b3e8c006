// The user interface shell: the progress dialog's procedure and the program's entry.
#pragma once

#include "platform.h"

// How long the finish handling waits for the worker before ending it forcibly.
inline constexpr DWORD GRACE_PERIOD_MS = 1000;

// The progress dialog's procedure: starts the worker on WM_INITDIALOG (lParam: the path list),
// turns Cancel, Escape and the close command into a confirmed stop, ends on the finish message.
INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Opens the progress dialog on the path list (a null-terminated array of paths that stays
// valid for the life of the process) and returns its result: 0 when the run ended by itself,
// 1 when the worker could not start or had to be ended forcibly, -1 when there is no dialog.
int ProgramMain(HINSTANCE instance, const char* const* paths);
