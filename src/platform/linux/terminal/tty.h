// The controlling terminal: opened once, switched to reading keys one by one with no echo and
// to its alternate screen with the cursor hidden, and put back as it was on every way out the
// process can catch: the dialog's end, exit, and a fatal signal.
#pragma once

#include <string_view>

namespace platform::terminal {

// Opens the controlling terminal and takes it over; false, with the reason, when there is none
// usable (no controlling terminal, or one that cannot draw).
bool TakeTerminal(const char** why);
// Puts the terminal back as it was; takes it over again with TakeTerminalAgain (after the
// process was stopped and continued, the shell may have changed its modes).
void RestoreTerminal();
void TakeTerminalAgain();

// The terminal's descriptor, for reading keys; -1 once it hung up.
int TerminalFd();
void TerminalHungUp();

// Writes all of text; output to a terminal that hung up is dropped.
void WriteTerminal(std::string_view text);

struct TerminalSize {
  int columns;
  int rows;
};
TerminalSize SizeOfTerminal();

}  // namespace platform::terminal
