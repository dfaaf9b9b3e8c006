// The run's process-wide state: the dialog, the stop event, the worker thread, and the message
// that finishes a run.
#pragma once

#include "platform.h"
#include "common/identifiers.h"

// The worker posts this to DialogWindow when its list is used up; a confirmed stop sends it.
inline constexpr UINT kFinishMessage = WM_USER;

// The progress dialog; set on the dialog's thread before the worker starts.
extern HWND DialogWindow;
// Manual-reset event, set once when the user confirms a stop; never reset.
extern HANDLE StopEvent;
// The worker thread; used by the dialog's thread only.
extern HANDLE WorkerThread;

// True when a stop has been requested (a zero-timeout wait on StopEvent succeeds).
bool StopRequested();
