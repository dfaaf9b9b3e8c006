// The user side's start on the thread that opens the first dialog: the driver chosen once, the
// Qt dialog where a display can be opened, else the terminal, else nothing; the terminal first
// when the user asked for it.
#include <atomic>
#include <cstdio>
#include <thread>

#include "driver.h"

namespace platform {
namespace {

std::atomic<std::thread::id> DialogThread;
const UserDriver* Chosen = nullptr;
bool TerminalFirst = false;
bool NoDialog = false;

// The first driver that opens, or nullptr after one line on stderr naming why neither could.
const UserDriver* ChooseDriver() {
  const char* noDisplay = "";
  const char* noTerminal = "";
  if (NoDialog && NoDialogDriver.Open(&noDisplay)) return &NoDialogDriver;
  if (TerminalFirst && TerminalDriver.Open(&noTerminal)) return &TerminalDriver;
  if (QtDriver.Open(&noDisplay)) return &QtDriver;
  if (!TerminalFirst && TerminalDriver.Open(&noTerminal)) return &TerminalDriver;
  std::fprintf(stderr,
               "vardel: cannot open the dialog: %s, and %s; vardel --no-dialog runs without one\n",
               noDisplay, noTerminal);
  return nullptr;
}

}  // namespace

const UserDriver& Driver() { return *Chosen; }

void PreferTerminal() { TerminalFirst = true; }

void RunWithoutDialog() { NoDialog = true; }

bool OnDialogThread() { return DialogThread.load() == std::this_thread::get_id(); }

bool EnsureUserSide() {
  // On the dialog's thread, before a driver or the worker starts a thread of its own, so that
  // every thread of the process blocks them.
  BlockTerminationSignals();
  if (Chosen == nullptr) Chosen = ChooseDriver();
  if (Chosen == nullptr) return false;
  if (DialogThread.load() != std::this_thread::get_id()) {
    DialogThread = std::this_thread::get_id();
    StartServingCalls();
    WatchTerminationSignals();
  }
  return true;
}

}  // namespace platform
