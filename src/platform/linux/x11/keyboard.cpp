#include "x11_keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <atomic>
#include <thread>

namespace platform {
namespace {

// The Shift state as the X server last reported it on our own connection.
std::atomic<bool> KeyboardFollowed{false};
std::atomic<bool> ShiftDown{false};

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
  XkbStateRec state;
  XkbGetState(display, XkbUseCoreKbd, &state);
  ShiftDown = (state.base_mods & ShiftMask) != 0;
  KeyboardFollowed = true;
  std::thread(FollowKeyboard, display, eventBase).detach();
}

bool X11ShiftHeld(bool* held) {
  if (!KeyboardFollowed.load()) return false;
  *held = ShiftDown.load();
  return true;
}

}  // namespace platform
