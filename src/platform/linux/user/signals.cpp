// Termination signals as a confirmed stop. SIGTERM, SIGHUP and SIGINT (Ctrl-C in the shell that
// started the program) would end the process wherever it is, perhaps with a file's tag region
// half zeroed. They are blocked in every thread from the user side's start and read on the
// dialog's thread, which answers its own open box (the stop question) as Yes would, or else
// closes each open dialog with its question answered Yes: the program's own confirmed stop,
// with its grace period and exit code. A signal that comes while a dialog's finish handling
// waits is read after it, when the dialog has ended, so a second signal never cuts the grace
// period short. SIGKILL still ends the process at once.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "records.h"

namespace platform {
namespace {

int SignalFd = -1;

sigset_t TerminationSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) sigaddset(&set, signal);
  return set;
}

// Takes every signal pending (one stop serves them all), then stops.
void OnTerminationSignal(int fd) {
  signalfd_siginfo info;
  while (read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) continue;
  StopOpenDialogs();
}

}  // namespace

// Blocked only once they can be read: without the descriptor they would be neither delivered
// nor seen, and the program could be stopped by nothing but SIGKILL.
const char* BlockTerminationSignals() {
  sigset_t set = TerminationSignals();
  if (SignalFd < 0) SignalFd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (SignalFd < 0) return "no descriptor for the termination signals (signalfd)";
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  return nullptr;
}

void WatchTerminationSignals() { Driver().WatchDescriptor(SignalFd, OnTerminationSignal); }

}  // namespace platform
