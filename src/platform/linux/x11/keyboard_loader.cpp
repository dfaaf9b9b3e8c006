// The X keyboard's calls in the program: its module, which links libX11, is loaded at the first
// call that needs the display, so that a run that never asks for one loads no X library. A
// module that cannot be loaded leaves the display unreachable and Shift unknown.
#include <atomic>

#include "keyboard_module.h"
#include "module_loader.h"
#include "x11_keyboard.h"

namespace platform {
namespace {

std::atomic<const X11Keyboard*> Keyboard{nullptr};

const X11Keyboard* Loaded() {
  if (Keyboard.load() == nullptr) {
    const char* why = nullptr;
    Keyboard = static_cast<const X11Keyboard*>(LoadModule(VARDEL_X11_MODULE, &why));
  }
  return Keyboard.load();
}

}  // namespace

bool X11DisplayReachable() {
  const X11Keyboard* keyboard = Loaded();
  return keyboard != nullptr && keyboard->DisplayReachable();
}

void X11OpenKeyboard() {
  if (const X11Keyboard* keyboard = Loaded()) keyboard->OpenKeyboard();
}

// Any thread: never loads the module, which only X11OpenKeyboard can make useful.
bool X11ShiftHeld(bool* held) {
  const X11Keyboard* keyboard = Keyboard.load();
  return keyboard != nullptr && keyboard->ShiftHeld(held);
}

}  // namespace platform
