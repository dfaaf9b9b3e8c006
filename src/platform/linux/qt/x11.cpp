#include "x11.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <mutex>

namespace platform {
namespace {

// Our own connection to the X server, so that any thread can ask the keyboard's state.
struct X11Keyboard {
  std::mutex lock;
  Display* display = nullptr;
  KeyCode left = 0, right = 0;
};
X11Keyboard Keyboard;

}  // namespace

bool X11DisplayReachable() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  XCloseDisplay(display);
  return true;
}

void X11OpenKeyboard() {
  std::lock_guard<std::mutex> guard(Keyboard.lock);
  if (Keyboard.display != nullptr) return;
  Keyboard.display = XOpenDisplay(nullptr);
  if (Keyboard.display == nullptr) return;
  Keyboard.left = XKeysymToKeycode(Keyboard.display, XK_Shift_L);
  Keyboard.right = XKeysymToKeycode(Keyboard.display, XK_Shift_R);
}

bool X11ShiftHeld(bool* held) {
  std::lock_guard<std::mutex> guard(Keyboard.lock);
  if (Keyboard.display == nullptr) return false;
  char keys[32];
  XQueryKeymap(Keyboard.display, keys);
  auto down = [&keys](KeyCode code) { return code != 0 && (keys[code / 8] & (1 << (code % 8))); };
  *held = down(Keyboard.left) || down(Keyboard.right);
  return true;
}

}  // namespace platform
