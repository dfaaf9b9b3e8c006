// The interface between the user core and the drivers that show it: Qt 6 Widgets (qt/) when a
// display can be opened, the terminal (terminal/) when not. The core owns every Win32 meaning
// (records, controls' state, dispatch, EndDialog, the calls from other threads and their
// waiting, message boxes disabling their owner); a driver only creates, draws and reads input,
// all on the dialog's thread except ShiftHeld, and hands the user's input back through the
// core's entry points below.
#pragma once

#include "records.h"
#include "start.h"

namespace platform {

struct UserDriver {
  // Makes itself ready on the calling thread, which becomes the dialog's; false, with the
  // reason for the one stderr line, when it cannot be used here. The termination signals are
  // already blocked.
  bool (*Open)(const char** why);
  // Makes the views of a dialog and its controls from the template and its records.
  void (*CreateDialog)(Dialog* dialog);
  // Shows the dialog; focus to its first tab stop when asked.
  void (*ShowDialog)(Dialog* dialog, bool focusFirstTabStop);
  void (*DestroyDialog)(Dialog* dialog);
  // Shows one window's state: a text, or the bar's range and position.
  void (*ShowWindow)(Window* window);
  // Calls ShowChanges(dialog) within a frame, at most about once a frame.
  void (*RequestFrame)(Dialog* dialog);
  // Shows a message box; the user's answer comes back through BoxAnswered. CloseBox removes it
  // after it was answered.
  void (*OpenBox)(Box* box);
  void (*CloseBox)(Box* box);
  // Runs the dialog's thread (input, frames, watched descriptors) until ExitLoop(loop); loops
  // nest, and every running one serves the watched descriptors.
  void (*RunLoop)(Loop* loop);
  void (*ExitLoop)(Loop* loop);
  // Calls ready(fd) on the dialog's thread whenever fd is readable.
  void (*WatchDescriptor)(int fd, void (*ready)(int fd));
  // Whether Shift is held now; any thread, a memory read.
  bool (*ShiftHeld)();
};

extern const UserDriver QtDriver;
extern const UserDriver TerminalDriver;
extern const UserDriver NoDialogDriver;

// The driver chosen at start-up. Dialog's thread, once EnsureUserSide succeeded; ShiftHeld any
// thread.
const UserDriver& Driver();

// The core's entry points for a driver's input and frames; dialog's thread only.
// A button clicked (WM_COMMAND with its identifier), Escape (IDCANCEL) and the close command
// (WM_CLOSE) of an open dialog; none reaches a dialog that a box of its own disables.
void CommandInput(Dialog* dialog, int id);
void CloseInput(Dialog* dialog);
// Whether the dialog takes no input now (a box it owns is open).
bool InputHeldBack(const Dialog* dialog);
// The box was answered (IDYES, IDNO or IDOK).
void BoxAnswered(Box* box, int answer);
// Shows every changed window of the dialog through ShowWindow.
void ShowChanges(Dialog* dialog);

}  // namespace platform
