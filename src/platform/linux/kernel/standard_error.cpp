// Standard error, which a windowed program has none of, unless its entry point attaches it.
#include <atomic>
#include <unistd.h>

#include "console.h"
#include "objects.h"

using namespace platform;

namespace {

// Whether the process writes its own lines to standard error: a windowed program has none of
// its own, so only a run that shows no dialog says its failures there.
std::atomic<bool> StandardErrorAttached{false};

}  // namespace

void platform::AttachStandardError() { StandardErrorAttached = true; }

// Keeps: the process's standard error handle, or nullptr for a process that has none (a
// windowed program started without one). Maps to descriptor 2 once the entry point has
// attached it (a run with no dialog); nullptr otherwise, so that no line runs through the
// terminal a dialog is drawn on.
HANDLE WINAPI GetStdHandle(DWORD which) {
  if (which != STD_ERROR_HANDLE || !StandardErrorAttached.load()) return nullptr;
  return HandleFromFd(STDERR_FILENO);
}
