// Windows of the Qt user side. A window handle points to a Window record; the dialog and its
// controls live in one Dialog, made by DialogBoxParamA and freed when it returns.
#pragma once

#include <QtCore/QEventLoop>
#include <QtCore/QTimer>
#include <QtWidgets/QDialog>
#include <atomic>
#include <string>

#include "platform.h"
#include "template.h"

namespace platform {

enum class WindowKind { Dialog, Button, Progress, Static };

struct Dialog;

// A window's state as the program set it. The widget shows it at the next frame (see
// ShowNextFrame), so a run of updates costs no widget work and no allocation each.
struct Window {
  WindowKind kind;
  int id;
  QWidget* widget;
  Dialog* dialog;
  std::string text;  // reserved at creation: setting a path reuses the buffer
  int low = 0;       // the progress bar's range, step and position
  int high = 100;
  int step = 10;
  int position = 0;
  bool changed = false;  // since the widget last showed the state
};

inline constexpr int MaxControls = 16;

struct Dialog {
  Window self;
  Window controls[MaxControls];
  int controlCount = 0;
  DLGPROC procedure = nullptr;
  QDialog* widget = nullptr;
  QEventLoop* loop = nullptr;
  QTimer* frame = nullptr;  // single shot: shows the changed controls once per display frame
  bool ended = false;
  INT_PTR result = 0;
  // A termination signal came while it was open: its boxes answer as Yes would.
  bool stopSignalled = false;
  // Message boxes it owns that are open; its input is held back meanwhile.
  int boxesOpen = 0;
};

inline HWND HandleOf(Window* window) { return reinterpret_cast<HWND>(window); }

// The record behind a window handle of a dialog that is still open, or nullptr (the dialog has
// ended, or the handle was never one of ours). Dialog's thread only.
Window* RecordOf(HWND handle);

// The control with this identifier; any thread, since a dialog's records do not change.
Window* FindControl(HWND dialog, int id);

// True when the top-level widget is an open dialog whose input is held back by a message box it
// owns. Dialog's thread only.
bool InputHeldBack(QWidget* window);

// Hands a message to the dialog's procedure. Dialog's thread only.
LRESULT DeliverToDialog(Dialog* dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Handles a message or a new text for a window. Dialog's thread only.
LRESULT HandleMessage(Window* window, UINT message, WPARAM wParam, LPARAM lParam);
void ApplyText(Window* window, LPCSTR text);

// How often the widgets show the controls' state at most: one display frame.
inline constexpr int kFrameMs = 16;

// Marks the window's state changed; its dialog's widgets show it within a frame.
void ShowNextFrame(Window* window);
// Shows every changed control of the dialog in its widget now. Dialog's thread only.
void ShowChanges(Dialog* dialog);

// The application, made on first use; false (and one line on stderr) when there is no display.
bool EnsureApplication();
bool OnDialogThread();

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
  LRESULT result = 0;
  std::atomic<bool> done{false};
};

// Runs call.work on the dialog's thread: at once when already on it, otherwise queued for it
// while this thread waits until the work has called Complete: first spinning for a round trip's
// time, then asleep on the kernel side's rendezvous. A thread abandoned meanwhile stops for good
// instead of returning.
LRESULT RunOnDialogThread(Call& call);
void Complete(Call& call, LRESULT result);

// Queues a message for the dialog's thread without waiting; false when there is no dialog.
bool QueuePosted(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Starts serving queued calls (the application just made) and drops the calls left when a
// dialog ends: their threads have ended or been abandoned.
void StartServingCalls();
void DropQueuedCalls();

// Installs the input filter: the Shift state the application last saw, and input held back
// from a dialog while a box it owns is open.
void WatchInput();

// Termination signals (SIGTERM, SIGHUP, SIGINT) as a confirmed stop: blocked in the calling
// thread and every thread it starts afterwards, then read on the dialog's thread.
void BlockTerminationSignals();
void WatchTerminationSignals();
// Answers the boxes open on the dialog's thread (the stop question) as Yes, or OK, would;
// false when none was open. Dialog's thread only.
bool AnswerOwnBoxes();
// A termination signal's confirmed stop for every open dialog that has not ended: from now on
// its boxes answer as Yes would; an open one is answered, or else the dialog gets WM_CLOSE.
// Dialog's thread only.
void StopOpenDialogs();

}  // namespace platform
