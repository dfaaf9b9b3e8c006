// The X keyboard module's table, the one name it exports.
#include "keyboard_module.h"
#include "module_entry.h"
#include "x11_keyboard.h"

const void* VardelModuleTable() {
  static constexpr platform::X11Keyboard kKeyboard = {
      platform::X11DisplayReachable, platform::X11OpenKeyboard, platform::X11ShiftHeld};
  return &kKeyboard;
}
