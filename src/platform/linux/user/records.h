// The user side's records, free of any toolkit: windows and the controls' state, dialogs, the
// message boxes and the modal loops of the dialog's thread, and the calls other threads make to
// it. A window handle points to a Window record; the dialog and its controls live in one Dialog,
// made by DialogBoxParamA and freed when it returns. A driver shows them from what the core
// hands it through user_driver.h, and never sees these records.
#pragma once

#include <atomic>
#include <string>

#include "platform.h"
#include "templates.h"

namespace platform {

enum class WindowKind { Dialog, Button, Progress, Static };

// A window's state as the program set it. The driver shows it at the next frame (see
// ShowNextFrame), so a run of updates costs no drawing and no allocation each.
struct Window {
  WindowKind kind = WindowKind::Static;
  int id = 0;
  Dialog* dialog = nullptr;
  int index = kCaptionIndex;  // the driver's name for it: the control's place in the template
  std::string text;           // reserved at creation: setting a path reuses the buffer
  int low = 0;                // the progress bar's range, step and position
  int high = 100;
  int step = 10;
  int position = 0;
  bool changed = false;  // since the driver last showed the state
};

struct Dialog {
  Window self;
  Window controls[kMaxControls];
  int controlCount = 0;
  DLGPROC procedure = nullptr;
  Loop loop;
  bool framePending = false;  // the driver will show the changed windows within a frame
  bool ended = false;
  INT_PTR result = 0;
  // A termination signal came while it was open: its boxes answer as Yes would.
  bool stopSignalled = false;
  // Message boxes it owns that are open; it takes no input meanwhile.
  int boxesOpen = 0;
};

inline HWND HandleOf(Window* window) { return reinterpret_cast<HWND>(window); }

// The record behind a window handle of a dialog that is still open, or nullptr (the dialog has
// ended, or the handle was never one of ours). Dialog's thread only.
Window* RecordOf(HWND handle);

// The control with this identifier; any thread, since a dialog's records do not change.
Window* FindControl(HWND dialog, int id);

// Hands a message to the dialog's procedure. Dialog's thread only.
LRESULT DeliverToDialog(Dialog* dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Handles a message or a new text for a window. Dialog's thread only.
LRESULT HandleMessage(Window* window, UINT message, WPARAM wParam, LPARAM lParam);
void ApplyText(Window* window, LPCSTR text);

// Marks the window's state changed; the driver shows it within a frame.
void ShowNextFrame(Window* window);

// The driver the entry point chose. Dialog's thread, once EnsureUserSide succeeded; ShiftHeld
// any thread.
const UserDriver& Driver();

// Whether the user side is ready on this thread (a driver chosen and open), and whether this
// is the dialog's thread.
bool EnsureUserSide();
bool OnDialogThread();

struct Box;

// A call made on the dialog's thread on behalf of another thread, which waits until Complete.
struct Call {
  void (*work)(Call& call);
  HWND window = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  LPCSTR text = nullptr;
  LPCSTR caption = nullptr;
  UINT type = 0;
  Box* box = nullptr;
  LRESULT result = 0;
  std::atomic<bool> done{false};
};

// Runs call.work on the dialog's thread: at once when already on it, otherwise queued for it
// while this thread waits (AwaitAnswer) until the work has called Complete.
LRESULT RunOnDialogThread(Call& call);
void Complete(Call& call, LRESULT result);

// Queues a message for the dialog's thread without waiting; false when there is no dialog.
bool QueuePosted(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Makes the descriptor that wakes the dialog's thread for queued calls (nullptr), or says why
// it cannot be had; starts serving them (the driver just opened); drops the calls left when a
// dialog ends: their threads have ended or been abandoned.
const char* MakeCallsWake();
void StartServingCalls();
void DropQueuedCalls();

// A message box: opened on the dialog's thread in a loop of its own, or for another thread,
// which waits in call until it is answered.
struct Box {
  Dialog* owner = nullptr;  // the open dialog that owns it, or nullptr
  LPCSTR text = nullptr;
  LPCSTR caption = nullptr;
  UINT type = 0;
  int answer = 0;
  Loop* loop = nullptr;
  Call* call = nullptr;
};

// Closes the boxes the dialog's procedure did not open and that are still open when it ends:
// their callers have been ended or abandoned.
void CloseCallersBoxes(Dialog* dialog);

// Termination signals (SIGTERM, SIGHUP, SIGINT) as a confirmed stop: blocked in the calling
// thread and every thread it starts afterwards, with a descriptor to read them from (nullptr,
// or why it cannot be had), then read on the dialog's thread.
const char* BlockTerminationSignals();
void WatchTerminationSignals();
// Answers the boxes open on the dialog's thread (the stop question) as Yes, or OK, would;
// false when none was open. Dialog's thread only.
bool AnswerOwnBoxes();
// A termination signal's confirmed stop for every open dialog that has not ended: from now on
// its boxes answer as Yes would; an open one is answered, or else the dialog gets WM_CLOSE.
// Dialog's thread only.
void StopOpenDialogs();

}  // namespace platform
