// The user side's drivers, and the order the program tries them in at its first dialog: the
// table the entry point owns. A new driver is a folder of its own and a line in drivers.cpp;
// the user core does not change.
#pragma once

namespace platform {

enum class DriverOrder {
  kDisplayFirst,   // a display, else the terminal
  kTerminalFirst,  // the terminal, else a display (--terminal)
  kNoDialog,       // nothing shown, nothing asked (--no-dialog)
};

// Hands the core the choice by this order; when no driver opens, one line on stderr says why.
void UseDrivers(DriverOrder order);

}  // namespace platform
