#include "x11_keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform {
namespace {

// The Shift state as the X server last reported it on our own connection.
std::atomic<bool> KeyboardFollowed{false};
// Set while the keyboard's thread opens its connection and reads the state a first time.
std::atomic<bool> KeyboardOpening{false};
// How long a caller asking for Shift waits for that first reading, at most.
constexpr auto kFirstReadingWait = std::chrono::seconds(1);
constexpr auto kFirstReadingPoll = std::chrono::milliseconds(1);
std::atomic<bool> ShiftDown{false};

// The X server went away (it ended, or an ssh -X session dropped). Xlib's default, and a
// toolkit's handler that calls it, would end the whole process from the thread that met the
// loss, perhaps in the middle of a file's change. Our connection is used by the keyboard's own
// thread alone, from its opening on, so that is where its loss is met: Shift counts as never
// held from then on and that thread, which nothing waits for, stops there for good.
std::atomic<Display*> KeyboardDisplay{nullptr};
XIOErrorHandler OthersHandler = nullptr;  // the toolkit's, for its own connections

void KeyboardLost(Display*, void*) {
  KeyboardFollowed = false;
  ShiftDown = false;
  for (;;) pause();
}

// The handler is one for the whole process: ours returns for our connection, so that its exit
// handler above runs, and leaves every other one to the handler that was there before.
int OnConnectionLost(Display* display) {
  if (display != KeyboardDisplay.load() && OthersHandler != nullptr) return OthersHandler(display);
  return 0;
}

// Opens our connection, asks XKB for every change of the modifier keys held down (whichever
// window has the focus), then the state as it is, which settles the opening; returns the XKB
// event base, or -1 when there is no keyboard to follow.
int OpenConnection(Display** opened) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return -1;
  KeyboardDisplay = display;
  XSetIOErrorExitHandler(display, KeyboardLost, nullptr);
  int opcode = 0, eventBase = 0, errorBase = 0;
  int major = XkbMajorVersion, minor = XkbMinorVersion;
  if (!XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor)) {
    KeyboardDisplay = nullptr;
    XCloseDisplay(display);
    return -1;
  }
  // Asked for before the state is read, so that no change after the reading is missed.
  XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbModifierBaseMask,
                        XkbModifierBaseMask);
  XkbStateRec state;
  XkbGetState(display, XkbUseCoreKbd, &state);
  ShiftDown = (state.base_mods & ShiftMask) != 0;
  *opened = display;
  return eventBase;
}

void FollowKeyboard() {
  Display* display = nullptr;
  int xkbEventBase = OpenConnection(&display);
  KeyboardFollowed = xkbEventBase >= 0;
  KeyboardOpening = false;
  while (display != nullptr) {
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

// Once per process: a keyboard whose display went away is not followed again. The opening
// does not wait for the first reading, which would hold back the dialog's first frame; the
// first caller that asks for Shift (the worker, before its first file) waits for it instead.
void X11OpenKeyboard() {
  static std::once_flag opened;
  std::call_once(opened, [] {
    OthersHandler = XSetIOErrorHandler(OnConnectionLost);
    KeyboardOpening = true;
    try {
      std::thread(FollowKeyboard).detach();
    } catch (const std::system_error&) {
      KeyboardOpening = false;  // no thread to follow it: the state stays unknown
    }
  });
}

bool X11ShiftHeld(bool* held) {
  auto until = std::chrono::steady_clock::now() + kFirstReadingWait;
  while (KeyboardOpening.load() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(kFirstReadingPoll);
  }
  if (!KeyboardFollowed.load()) return false;
  *held = ShiftDown.load();
  return true;
}

}  // namespace platform
