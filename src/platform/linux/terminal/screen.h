// The terminal's picture of a dialog and its open boxes, composed from the driver's views of
// them: what the core last handed the driver to show.
#pragma once

#include <string>
#include <vector>

#include "terminal_driver.h"
#include "tty.h"

namespace platform::terminal {

struct ControlView {
  const DialogControl* control = nullptr;
  ControlClass kind = ControlClass::kStatic;
  std::string text;
  int low = 0, high = 100, position = 0;  // the bar's, Win32's initial range
};

struct DialogView {
  Dialog* dialog = nullptr;
  std::string caption;
  ControlView controls[kMaxControls];
  int controlCount = 0;
};

struct BoxView {
  Box* box = nullptr;
  std::string text;
  std::string caption;
  UINT type = 0;
};

// The whole screen from its top-left corner: the caption, each control on a line of its own,
// ordered by its place in the template from top to bottom and left to right (a centred text
// centred, the bar across the width,
// the buttons at the right with the key that presses them), then each open box, the newest
// last, with the keys that answer it. Every line is cut at the right edge and the picture at
// the bottom one.
void ComposeScreen(std::string& out, const DialogView& dialog, const std::vector<BoxView>& boxes,
                   TerminalSize size);

}  // namespace platform::terminal
