// The user core's interface to the drivers that show it, and all a driver sees of the core.
// The core owns every Win32 meaning (window records and the controls' state, dispatch,
// EndDialog, the calls from other threads and their waiting, message boxes disabling their
// owner); a driver makes views, shows states the core hands it, reads input and hands it back
// through the entry points below, all on the dialog's thread except ShiftHeld. A dialog, a box
// and a loop are the core's: a driver only keeps their addresses to hand them back. The core
// also lends a driver the null driver, for the slots it leaves out, and its poll loop. Which
// drivers there are, and in what order they are tried, is the program's entry point's to say.
#pragma once

#include <strings.h>

#include "platform.h"

// The window and control styles the templates use, with Win32's values.
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_VISIBLE 0x10000000u
#define WS_CAPTION 0x00C00000u
#define WS_SYSMENU 0x00080000u
#define WS_MINIMIZEBOX 0x00020000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define DS_SETFONT 0x40u
#define BS_PUSHBUTTON 0x0u
#define SS_CENTER 0x1u
#define SS_LEFTNOWORDWRAP 0xCu
#define SS_TYPEMASK 0x1Fu
#define SS_NOPREFIX 0x80u

namespace platform {

// A rectangle in dialog units.
struct DialogRect {
  int x, y, width, height;
};

// One control of a dialog template, as the resource script gives it.
struct DialogControl {
  int id;
  const char* className;
  const char* text;
  DWORD style;
  DialogRect rect;
};

// What a control is, from its class name in the template (compared without case, as Win32
// does): a button, the progress bar, or else a static text.
enum class ControlClass { kButton, kProgress, kStatic };

inline ControlClass ClassOf(const DialogControl& control) {
  auto is = [&control](const char* name) { return strcasecmp(control.className, name) == 0; };
  if (is("Button")) return ControlClass::kButton;
  if (is("msctls_progress32")) return ControlClass::kProgress;
  return ControlClass::kStatic;
}

// The most controls a dialog holds; a template with more fails the build.
inline constexpr int kMaxControls = 16;

struct DialogTemplate {
  int id;
  const char* caption;
  int pointSize;
  const char* fontName;
  DWORD style;
  DialogRect rect;
  const DialogControl* controls;
  int controlCount;
};

// How often a driver shows the controls' state at most: one display frame.
inline constexpr int kFrameMs = 16;

struct Dialog;
struct Box;

// A modal loop of the dialog's thread, run by the driver until ExitLoop.
struct Loop {
  bool ended = false;
  void* driverLoop = nullptr;  // the driver's own loop while it runs
};

// What one control shows: its text, or the bar's range and position.
struct ShownState {
  const char* text;
  int low, high, position;
};

// What a message box shows, and the dialog that owns it (nullptr: none).
struct BoxContent {
  const char* text;
  const char* caption;
  UINT type;
  Dialog* owner;
};

// The index ShowState gives the dialog's own caption; its controls count from 0 in the
// template's order.
inline constexpr int kCaptionIndex = -1;

// The null driver: what a slot does in a driver's table that leaves it out. It makes no views
// and shows nothing, answers a box at once as one that is not shown (UnshownAnswer), serves
// only the watched descriptors in its loops (ServeWatched), and never holds Shift.
namespace nulldriver {
bool Open(const char** why);
void MakeViews(Dialog* dialog, const DialogTemplate& layout);
void Reveal(Dialog* dialog, bool focusFirstTabStop);
void DropViews(Dialog* dialog);
void ShowState(Dialog* dialog, int index, const ShownState& state);
void RequestFrame(Dialog* dialog);
void OpenBox(Box* box, const BoxContent& content);
void CloseBox(Box* box);
void KeepReport(const BoxContent& content, bool shown);
void RunLoop(Loop* loop);
void ExitLoop(Loop* loop);
void WatchDescriptor(int fd, void (*ready)(int fd));
bool ShiftHeld();
}  // namespace nulldriver

// A driver's table names the slots the driver fills, by designated initializers; every other
// slot is the null driver's.
struct UserDriver {
  // Makes itself ready on the calling thread, which becomes the dialog's; false, with the
  // reason for the one stderr line, when it cannot be used here. The termination signals are
  // already blocked.
  bool (*Open)(const char** why) = nulldriver::Open;
  // Makes the views of a dialog and its controls from the template, with its texts.
  void (*MakeViews)(Dialog* dialog, const DialogTemplate& layout) = nulldriver::MakeViews;
  // Puts the views on the screen; the focus to the first tab stop when asked.
  void (*Reveal)(Dialog* dialog, bool focusFirstTabStop) = nulldriver::Reveal;
  void (*DropViews)(Dialog* dialog) = nulldriver::DropViews;
  // Shows one control's state (or, at kCaptionIndex, the caption's text) from now on.
  void (*ShowState)(Dialog* dialog, int index, const ShownState& state) = nulldriver::ShowState;
  // Calls ShowChanges(dialog) within a frame, at most about once a frame.
  void (*RequestFrame)(Dialog* dialog) = nulldriver::RequestFrame;
  // Shows a message box; the user's answer comes back through BoxAnswered, which may be
  // called before OpenBox returns. CloseBox removes it after it was answered.
  void (*OpenBox)(Box* box, const BoxContent& content) = nulldriver::OpenBox;
  void (*CloseBox)(Box* box) = nulldriver::CloseBox;
  // A box that reports (IsReport) and that a termination signal answered, before anyone could
  // have read it or while it was on screen: what it says is kept where it outlasts the run.
  // The null driver writes its lines to stderr at once.
  void (*KeepReport)(const BoxContent& content, bool shown) = nulldriver::KeepReport;
  // Runs the dialog's thread (input, frames, watched descriptors) until ExitLoop(loop); loops
  // nest, and every running one serves the watched descriptors.
  void (*RunLoop)(Loop* loop) = nulldriver::RunLoop;
  void (*ExitLoop)(Loop* loop) = nulldriver::ExitLoop;
  // Calls ready(fd) on the dialog's thread whenever fd is readable.
  void (*WatchDescriptor)(int fd, void (*ready)(int fd)) = nulldriver::WatchDescriptor;
  // Whether Shift is held now; any thread, a memory read.
  bool (*ShiftHeld)() = nulldriver::ShiftHeld;
};

// How the entry point chooses the driver: called once, on the thread that opens the first
// dialog; returns an opened driver, or nullptr after saying why on stderr.
void SetDriverChoice(const UserDriver* (*choose)());
// What the user side needs before any dialog, had on the thread that will open them, before
// any other thread starts: the termination signals blocked, and the descriptors that bring
// them and the calls of other threads. nullptr, or why one of them cannot be had.
const char* PrepareUserSide();

// The core's entry points for a driver's input and frames; dialog's thread only.
// A button clicked (WM_COMMAND with its identifier), Escape (IDCANCEL) and the close command
// (WM_CLOSE) of an open dialog; none reaches a dialog that a box of its own disables.
void CommandInput(Dialog* dialog, int id);
void CloseInput(Dialog* dialog);
// Whether the dialog takes no input now (a box it owns is open).
bool InputHeldBack(const Dialog* dialog);
// The box was answered (IDYES, IDNO or IDOK).
void BoxAnswered(Box* box, int answer);
// What a box of this type answers when it is not shown: once a termination signal came, or
// where nobody can be asked. Any thread.
int UnshownAnswer(UINT type);
// Whether a box of this type reports (an error, or what could not be changed) rather than asks.
inline bool IsReport(UINT type) {
  UINT icon = type & MB_ICONMASK;
  return icon == MB_ICONERROR || icon == MB_ICONWARNING;
}
// Shows every changed control of the dialog through ShowState.
void ShowChanges(Dialog* dialog);

// The poll loops' descriptors, for a driver whose loops are poll loops; dialog's thread only.
// Each watched descriptor is read by its ready(fd) when it is readable, in the order watched,
// until DropWatched(fd) (a descriptor that hung up).
void AddWatched(int fd, void (*ready)(int fd));
void DropWatched(int fd);
// A wait with no limit: until a watched descriptor is ready.
inline constexpr int kWaitUntilReady = -1;
// Serves the watched descriptors until the loop has ended (ExitLoop), or until poll fails other
// than by a signal's interruption. Each wait lasts at most waitMs() milliseconds (none given: no
// limit), and waited() runs after each.
void ServeWatched(Loop* loop, int (*waitMs)() = nullptr, void (*waited)() = nullptr);

}  // namespace platform
