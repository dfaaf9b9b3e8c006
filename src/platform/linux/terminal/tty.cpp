#include "tty.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace platform::terminal {
namespace {

// The alternate screen with the cursor hidden, and back.
constexpr char kTake[] = "\x1b[?1049h\x1b[?25l";
constexpr char kGiveBack[] = "\x1b[?25h\x1b[?1049l";
// When the terminal reports no size.
constexpr TerminalSize kFallbackSize = {80, 24};

int Fd = -1;
termios Saved;
std::atomic<bool> Taken{false};

// Async-signal-safe: writes and tcsetattr only.
void GiveBack() {
  if (!Taken.exchange(false)) return;
  [[maybe_unused]] ssize_t written = write(Fd, kGiveBack, sizeof kGiveBack - 1);
  tcsetattr(Fd, TCSAFLUSH, &Saved);
}

// A fatal signal puts the terminal back, then ends the process as it would have.
void OnFatalSignal(int signal) {
  GiveBack();
  raise(signal);
}

void GiveBackOnFatalSignals() {
  struct sigaction action {};
  action.sa_handler = OnFatalSignal;
  action.sa_flags = SA_RESETHAND;
  for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) sigaction(signal, &action, nullptr);
}

// Keys one by one, unechoed; Ctrl-C, Ctrl-Z and Ctrl-S arrive as keys instead of acting, and
// output goes out as written.
void Take() {
  termios raw = Saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
  raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(Fd, TCSANOW, &raw);
  Taken = true;
  WriteTerminal(kTake);
}

bool CanDraw() {
  const char* term = std::getenv("TERM");
  return term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
}

}  // namespace

bool TakeTerminal(const char** why) {
  int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0 || tcgetattr(fd, &Saved) != 0) {
    if (fd >= 0) close(fd);
    *why = "no terminal (no controlling terminal)";
    return false;
  }
  if (!CanDraw()) {
    close(fd);
    *why = "the terminal cannot draw (TERM is unset or dumb)";
    return false;
  }
  Fd = fd;
  GiveBackOnFatalSignals();
  std::atexit(GiveBack);
  Take();
  return true;
}

void RestoreTerminal() { GiveBack(); }

void TakeTerminalAgain() {
  if (Fd >= 0) Take();
}

int TerminalFd() { return Fd; }

void TerminalHungUp() {
  Taken = false;
  Fd = -1;
}

void WriteTerminal(std::string_view text) {
  while (Fd >= 0 && !text.empty()) {
    ssize_t written = write(Fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno == EAGAIN) {
      // Non-blocking for reading keys: the terminal is slower than we write, so wait for it.
      pollfd out = {Fd, POLLOUT, 0};
      poll(&out, 1, -1);
      continue;
    }
    if (written <= 0) return;
    text.remove_prefix(static_cast<size_t>(written));
  }
}

TerminalSize SizeOfTerminal() {
  winsize size{};
  if (Fd < 0 || ioctl(Fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) {
    return kFallbackSize;
  }
  return {size.ws_col, size.ws_row};
}

}  // namespace platform::terminal
