// What the Linux start-up may choose of the user side before the first dialog opens.
#pragma once

namespace platform {

// Makes the terminal the first choice, before a display (the program's --terminal).
void PreferTerminal();
// Runs with no dialog at all: nothing drawn, nothing asked (the program's --no-dialog).
void RunWithoutDialog();

}  // namespace platform
