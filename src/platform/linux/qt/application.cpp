// The Qt application behind the dialogs: made once, on the thread that opens the first dialog.
#include <QtWidgets/QApplication>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "window.h"
#include "x11.h"

namespace platform {
namespace {

std::atomic<std::thread::id> DialogThread;

bool Empty(const char* variable) {
  const char* value = std::getenv(variable);
  return value == nullptr || *value == '\0';
}

// Qt ends the process when it cannot reach a display, so look first, the way it would.
bool DisplayReachable() {
  if (!Empty("QT_QPA_PLATFORM") && std::strncmp(std::getenv("QT_QPA_PLATFORM"), "xcb", 3) != 0) {
    return true;
  }
  if (Empty("DISPLAY")) {
    std::fprintf(stderr, "vardel: cannot open the dialog: no display (DISPLAY is not set)\n");
    return false;
  }
  if (!X11DisplayReachable()) {
    std::fprintf(stderr, "vardel: cannot open the dialog: cannot connect to display %s\n",
                 std::getenv("DISPLAY"));
    return false;
  }
  return true;
}

}  // namespace

bool OnDialogThread() { return DialogThread.load() == std::this_thread::get_id(); }

bool EnsureApplication() {
  // On the dialog's thread, before Qt or the worker starts a thread of its own, so that every
  // thread of the process blocks them.
  BlockTerminationSignals();
  if (QApplication::instance() == nullptr) {
    if (!DisplayReachable()) return false;
    static int argc = 1;
    static char name[] = "vardel";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  }
  if (DialogThread.load() != std::this_thread::get_id()) {
    DialogThread = std::this_thread::get_id();
    StartServingCalls();
    WatchInput();
    WatchTerminationSignals();
  }
  return true;
}

}  // namespace platform
