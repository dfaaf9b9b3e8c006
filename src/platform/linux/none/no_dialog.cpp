// The driver of a run with no dialog (--no-dialog): for scripts, cron jobs, containers and
// services. Nothing is drawn and nothing is asked: the loops only serve the core's descriptors
// (the calls from the worker and the termination signals), an error box becomes a line on
// stderr, and Shift is never held, so "Confirm" never comes.
#include <poll.h>

#include <cerrno>

#include <cstdio>
#include <vector>

#include "no_dialog.h"

namespace platform::nodialog {
namespace {

struct Watched {
  int fd;
  void (*ready)(int fd);
};

// The core watches two (the calls' wake and the termination signals).
constexpr size_t kMaxWatched = 8;
std::vector<Watched> WatchedFds;

bool Open(const char**) { return true; }

void NoViews(Dialog*, const DialogTemplate&) {}
void Nothing(Dialog*) {}
void NothingRevealed(Dialog*, bool) {}
void NoState(Dialog*, int, const ShownState&) {}

// Nobody is there to answer: an error is said on stderr, and every box is answered at once as
// the core answers one that is not shown. The box that lists the files that could not be
// changed says nothing new: each was a line on stderr as it failed.
void OpenBox(Box* box, const BoxContent& content) {
  if ((content.type & MB_ICONMASK) == MB_ICONERROR) {
    std::fprintf(stderr, "vardel: %s\n", content.text);
  }
  BoxAnswered(box, UnshownAnswer(content.type));
}

void CloseBox(Box*) {}

void RunLoop(Loop* loop) {
  while (!loop->ended) {
    pollfd fds[kMaxWatched];
    int count = 0;
    for (const Watched& watched : WatchedFds) fds[count++] = {watched.fd, POLLIN, 0};
    int ready = poll(fds, static_cast<nfds_t>(count), -1);
    // Only a signal's interruption is passing; anything else would fail the same way again.
    if (ready < 0 && errno != EINTR) return;
    if (ready <= 0) continue;
    for (int i = 0; i < count && !loop->ended; ++i) {
      if (fds[i].revents != 0) WatchedFds[static_cast<size_t>(i)].ready(fds[i].fd);
    }
  }
}

void ExitLoop(Loop* loop) { loop->ended = true; }

void WatchDescriptor(int fd, void (*ready)(int fd)) {
  if (WatchedFds.size() < kMaxWatched) WatchedFds.push_back({fd, ready});
}

bool ShiftHeld() { return false; }

}  // namespace
}  // namespace platform::nodialog

namespace platform {

const UserDriver NoDialogDriver = {
    nodialog::Open,    nodialog::NoViews,  nodialog::NothingRevealed, nodialog::Nothing,
    nodialog::NoState, nodialog::Nothing,  nodialog::OpenBox,         nodialog::CloseBox,
    nodialog::RunLoop, nodialog::ExitLoop, nodialog::WatchDescriptor, nodialog::ShiftHeld,
};

}  // namespace platform
