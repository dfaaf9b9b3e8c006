// The X keyboard as its module hands it to the program: the calls of x11_keyboard.h in a table.
// The module alone links libX11; the program loads it only when a driver asks for a display.
#pragma once

namespace platform {

struct X11Keyboard {
  bool (*DisplayReachable)();
  void (*OpenKeyboard)();
  bool (*ShiftHeld)(bool* held);
};

}  // namespace platform
