// The descriptors the poll loops of the dialog's thread serve, each with what reads it: the
// core's (the calls' wake and the termination signals) and those of a driver whose loops are
// poll loops, with the one loop that waits for them.
#include <poll.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "user_driver.h"

namespace platform {
namespace {

struct Watched {
  int fd;
  void (*ready)(int fd);
};

// The core watches two; a driver adds a few of its own.
constexpr int kMaxWatched = 8;
// poll passes over a negative descriptor.
constexpr int kPassedOver = -1;

std::array<Watched, kMaxWatched> Table;
int WatchedCount = 0;

}  // namespace

// Every descriptor is watched as the user side starts, and one left out would never be read (a
// signal never seen as a stop): a table too small is the program's fault, said at once.
void AddWatched(int fd, void (*ready)(int fd)) {
  if (WatchedCount == kMaxWatched) {
    std::fprintf(stderr, "vardel: cannot start: more than %d descriptors to watch\n", kMaxWatched);
    std::abort();
  }
  Table[WatchedCount++] = {fd, ready};
}

// Its place stays, so that a loop going through the table meanwhile keeps its own.
void DropWatched(int fd) {
  for (int i = 0; i < WatchedCount; ++i) {
    if (Table[i].fd == fd) Table[i].fd = kPassedOver;
  }
}

void ServeWatched(Loop* loop, int (*waitMs)(), void (*waited)()) {
  while (!loop->ended) {
    pollfd fds[kMaxWatched];
    int count = WatchedCount;
    for (int i = 0; i < count; ++i) fds[i] = {Table[i].fd, POLLIN, 0};
    int ready =
        poll(fds, static_cast<nfds_t>(count), waitMs != nullptr ? waitMs() : kWaitUntilReady);
    // Only a signal's interruption is passing; anything else would fail the same way again.
    bool failed = ready < 0 && errno != EINTR;
    if (waited != nullptr) waited();
    if (failed) return;
    if (ready <= 0) continue;
    // A handler may run a loop of its own, which reads what is ready by itself: the descriptors
    // are all non-blocking, so a readiness seen here and used up there costs nothing. Once this
    // loop has ended, what is left is for the loop around it.
    for (int i = 0; i < count && !loop->ended; ++i) {
      if (fds[i].revents != 0 && Table[i].fd == fds[i].fd) Table[i].ready(fds[i].fd);
    }
  }
}

}  // namespace platform
