// The terminal's picture of a dialog and its open boxes, composed from their records.
#pragma once

#include <string>
#include <vector>

#include "records.h"
#include "tty.h"

namespace platform::terminal {

// The whole screen from its top-left corner: the caption, each control on a line of its own in
// the template's order from top to bottom (a centred text centred, the bar across the width,
// the buttons at the right with the key that presses them), then each open box, the newest
// last, with the keys that answer it. Every line is cut at the right edge and the picture at
// the bottom one.
void ComposeScreen(std::string& out, const Dialog& dialog, const std::vector<Box*>& boxes,
                   TerminalSize size);

}  // namespace platform::terminal
