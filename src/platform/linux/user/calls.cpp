// Calls from other threads, served on the dialog's thread. The queue is ours, so other threads
// never call into a driver; a caller waits for its answer through AwaitAnswer (waiting.h).
//
// A round trip between two running threads takes a microsecond; waking a sleeping one takes
// fifty. So a caller spins briefly for its answer before it sleeps, and the dialog's thread,
// once woken, serves calls for as long as they keep coming (up to one display frame) before it
// returns to its event loop. It is woken (an eventfd the driver watches) only when the queue
// goes from empty to non-empty while it is not serving. Every loop of the dialog's thread (the
// dialog's and any message box's) serves it, and none runs while that thread is blocked in a
// wait, so a call then stays pending: the finish handling serves none.
// The queue's own lock spins and never sleeps: its holders hold it for a few instructions, and
// a sleeping mutex would turn each brush between the two threads into a fifty-microsecond wake.
#include <sys/eventfd.h>
#include <unistd.h>

#include <mutex>
#include <vector>

#include "records.h"
#include "waiting.h"

namespace platform {
namespace {

// How long the dialog's thread waits for the next call before it returns to its event loop:
// longer than the worker's file work between two updates for most files. Nothing waiting on
// the dialog (a "Confirm" box, a long tag being zeroed) costs it more than this once.
constexpr auto kServerSpin = std::chrono::microseconds(200);
// The longest the dialog's thread serves before its event loop gets a turn (input, drawing).
constexpr auto kServeAtMost = std::chrono::milliseconds(kFrameMs);

// Held for a few instructions at a time; a holder that the scheduler took off its core is let
// run again rather than spun against.
class SpinLock {
 public:
  void lock() {
    constexpr int kSpinsBeforeYield = 1000;
    for (int spins = 0; held_.exchange(true, std::memory_order_acquire);) {
      while (held_.load(std::memory_order_relaxed)) {
        if (++spins % kSpinsBeforeYield == 0) std::this_thread::yield();
        Relax();
      }
    }
  }
  void unlock() { held_.store(false, std::memory_order_release); }

 private:
  std::atomic<bool> held_{false};
};

struct Posted {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

int WakeFd = -1;
SpinLock QueueLock;
std::vector<Call*> Calls;    // under QueueLock
std::vector<Posted> Posts;   // under QueueLock
bool Serving = false;        // under QueueLock: the dialog's thread looks again by itself
std::atomic<int> Queued{0};  // Calls and Posts together, for spinning without the lock

void Wake() {
  uint64_t one = 1;
  [[maybe_unused]] ssize_t written = write(WakeFd, &one, sizeof one);
}

// Under QueueLock, after one entry was queued: whether to wake the dialog's thread, which is
// only when nothing else was queued and it is not serving; otherwise it is awake or woken.
bool NoteQueued() { return Queued.fetch_add(1) == 0 && !Serving; }

Call* TakeCall() {
  std::lock_guard<SpinLock> lock(QueueLock);
  if (Calls.empty()) return nullptr;
  Call* call = Calls.front();
  Calls.erase(Calls.begin());
  --Queued;
  return call;
}

// Handles the posted messages queued so far; false when there were none.
bool HandlePosts() {
  std::vector<Posted> taken;
  {
    std::lock_guard<SpinLock> lock(QueueLock);
    if (Posts.empty()) return false;
    taken.swap(Posts);
    Queued -= static_cast<int>(taken.size());
  }
  for (const Posted& post : taken) {
    if (Window* window = RecordOf(post.window)) {
      HandleMessage(window, post.message, post.wParam, post.lParam);
    }
  }
  return true;
}

// Hands the queue back to the event loop's notifier, waking it for whatever is still queued.
void StopServing() {
  bool pending = false;
  {
    std::lock_guard<SpinLock> lock(QueueLock);
    Serving = false;
    pending = Queued.load() > 0;
  }
  if (pending) Wake();
}

// Serves the calls in order, then the posted messages, as Win32 handles sent messages before
// posted ones. A handler may run a message box, whose loop serves the queue again meanwhile.
// After posted messages (the worker's finish, which may end the dialog) the event loop gets
// its turn at once.
void Serve(int) {
  uint64_t count = 0;
  [[maybe_unused]] ssize_t read = ::read(WakeFd, &count, sizeof count);
  Clock::time_point until = Clock::now() + kServeAtMost;
  {
    std::lock_guard<SpinLock> lock(QueueLock);
    Serving = true;
  }
  for (;;) {
    if (Call* call = TakeCall()) {
      call->work(*call);
      if (Clock::now() < until) continue;
      break;
    }
    if (HandlePosts()) break;
    Clock::time_point idleUntil = std::min(Clock::now() + kServerSpin, until);
    if (!SpinUntil(idleUntil, [] { return Queued.load() > 0; })) break;
  }
  StopServing();
}

}  // namespace

const char* MakeCallsWake() {
  if (WakeFd >= 0) return nullptr;
  WakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return WakeFd < 0 ? "no descriptor for the calls between threads (eventfd)" : nullptr;
}

void StartServingCalls() {
  Calls.reserve(8);
  Driver().WatchDescriptor(WakeFd, Serve);
}

void DropQueuedCalls() {
  std::lock_guard<SpinLock> lock(QueueLock);
  Calls.clear();
  Posts.clear();
  Queued = 0;
}

// Once done is set the call may be gone: its caller returns as soon as it sees it.
void Complete(Call& call, LRESULT result) {
  call.result = result;
  call.done.store(true);
  WakeAwaiting();
}

LRESULT RunOnDialogThread(Call& call) {
  if (OnDialogThread()) {
    call.work(call);
    return call.result;
  }
  if (WakeFd < 0) return 0;
  bool wake = false;
  {
    std::lock_guard<SpinLock> lock(QueueLock);
    Calls.push_back(&call);
    wake = NoteQueued();
  }
  if (wake) Wake();
  AwaitAnswer(call.done);
  return call.result;
}

bool QueuePosted(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (WakeFd < 0) return false;
  bool wake = false;
  {
    std::lock_guard<SpinLock> lock(QueueLock);
    Posts.push_back({window, message, wParam, lParam});
    wake = NoteQueued();
  }
  if (wake) Wake();
  return true;
}

}  // namespace platform
