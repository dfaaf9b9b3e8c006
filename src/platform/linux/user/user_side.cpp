// The user side's start on the thread that opens the first dialog: the driver the entry point
// chooses, once, and the core's own descriptors watched in its loops.
#include <atomic>
#include <thread>

#include "records.h"

namespace platform {
namespace {

std::atomic<std::thread::id> DialogThread;
const UserDriver* (*Choose)() = nullptr;
const UserDriver* Chosen = nullptr;

}  // namespace

void SetDriverChoice(const UserDriver* (*choose)()) { Choose = choose; }

const UserDriver& Driver() { return *Chosen; }

bool OnDialogThread() { return DialogThread.load() == std::this_thread::get_id(); }

// On the dialog's thread, before a driver or the worker starts a thread of its own, so that
// every thread of the process blocks the termination signals.
const char* PrepareUserSide() {
  if (const char* why = BlockTerminationSignals()) return why;
  return MakeCallsWake();
}

bool EnsureUserSide() {
  if (PrepareUserSide() != nullptr) return false;
  if (Chosen == nullptr && Choose != nullptr) Chosen = Choose();
  if (Chosen == nullptr) return false;
  if (DialogThread.load() != std::this_thread::get_id()) {
    DialogThread = std::this_thread::get_id();
    StartServingCalls();
    WatchTerminationSignals();
  }
  return true;
}

}  // namespace platform
