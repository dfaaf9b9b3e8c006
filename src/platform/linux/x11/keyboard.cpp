#include "x11_keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <unistd.h>

#include <atomic>
#include <system_error>
#include <thread>

namespace platform {
namespace {

// The Shift state as the X server last reported it on our own connection.
std::atomic<bool> KeyboardFollowed{false};
std::atomic<bool> ShiftDown{false};

// The X server went away (it ended, or an ssh -X session dropped). Xlib's default, and a
// toolkit's handler that calls it, would end the whole process from this thread, perhaps in the
// middle of a file's change; instead Shift counts as never held from now on and this thread,
// which nothing waits for, stops here for good. The connection is ours alone, so nothing else
// waits on its lock.
Display* KeyboardDisplay = nullptr;
XIOErrorHandler OthersHandler = nullptr;  // the toolkit's, for its own connections

void KeyboardLost(Display*, void*) {
  KeyboardFollowed = false;
  ShiftDown = false;
  for (;;) pause();
}

// The handler is one for the whole process: ours returns for our connection, so that its exit
// handler above runs, and leaves every other one to the handler that was there before.
int OnConnectionLost(Display* display) {
  if (display != KeyboardDisplay && OthersHandler != nullptr) return OthersHandler(display);
  return 0;
}

// XKB notifies every client that asks whenever the modifier keys held down change, whichever
// window has the focus; this thread alone reads our connection and keeps the Shift state.
void FollowKeyboard(Display* display, int xkbEventBase) {
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type != xkbEventBase) continue;
    const auto& xkb = reinterpret_cast<const XkbEvent&>(event);
    if (xkb.any.xkb_type == XkbStateNotify) ShiftDown = (xkb.state.base_mods & ShiftMask) != 0;
  }
}

}  // namespace

bool X11DisplayReachable() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  XCloseDisplay(display);
  return true;
}

void X11OpenKeyboard() {
  if (KeyboardFollowed.load()) return;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return;
  int opcode = 0, eventBase = 0, errorBase = 0;
  int major = XkbMajorVersion, minor = XkbMinorVersion;
  if (!XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor)) {
    XCloseDisplay(display);
    return;
  }
  // Asked for before the state is read, so that no change after the reading is missed.
  XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbModifierBaseMask,
                        XkbModifierBaseMask);
  KeyboardDisplay = display;
  XSetIOErrorExitHandler(display, KeyboardLost, nullptr);
  OthersHandler = XSetIOErrorHandler(OnConnectionLost);
  XkbStateRec state;
  XkbGetState(display, XkbUseCoreKbd, &state);
  ShiftDown = (state.base_mods & ShiftMask) != 0;
  KeyboardFollowed = true;
  try {
    std::thread(FollowKeyboard, display, eventBase).detach();
  } catch (const std::system_error&) {
    KeyboardFollowed = false;  // no thread to follow it: Shift counts as never held
    XCloseDisplay(display);
  }
}

bool X11ShiftHeld(bool* held) {
  if (!KeyboardFollowed.load()) return false;
  *held = ShiftDown.load();
  return true;
}

}  // namespace platform
