// Calls from other threads, served on the dialog's thread. The queue is ours, under the
// kernel side's rendezvous lock, and an eventfd watched by a QSocketNotifier wakes the dialog's
// thread: other threads never call into Qt, and a wait for a call ends on abandonment. The
// notifier fires in every event loop of the dialog's thread (the dialog's and any message
// box's), and not while that thread is blocked in a wait, so a call then stays pending.
#include <sys/eventfd.h>
#include <unistd.h>

#include <QtCore/QSocketNotifier>
#include <vector>

#include "objects.h"
#include "window.h"

namespace platform {
namespace {

struct Posted {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

int WakeFd = -1;
std::vector<Call*> Calls;   // under RendezvousLock()
std::vector<Posted> Posts;  // under RendezvousLock()

void Wake() {
  uint64_t one = 1;
  [[maybe_unused]] ssize_t written = write(WakeFd, &one, sizeof one);
}

// Serves what is queued, in order: the waiting calls first, then the posted messages. A handler
// may run a message box, whose loop serves the queue again meanwhile.
void Serve() {
  std::vector<Posted> taken;
  uint64_t count = 0;
  [[maybe_unused]] ssize_t read = ::read(WakeFd, &count, sizeof count);
  for (;;) {
    Call* call = nullptr;
    {
      std::lock_guard<std::mutex> lock(RendezvousLock());
      if (Calls.empty()) {
        taken.swap(Posts);
        break;
      }
      call = Calls.front();
      Calls.erase(Calls.begin());
    }
    call->work(*call);
  }
  for (const Posted& post : taken) {
    if (Window* window = FindWindow(post.window)) {
      HandleMessage(window, post.message, post.wParam, post.lParam);
    }
  }
}

}  // namespace

void StartServingCalls() {
  WakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  Calls.reserve(8);
  auto* notifier = new QSocketNotifier(WakeFd, QSocketNotifier::Read);
  QObject::connect(notifier, &QSocketNotifier::activated, [] { Serve(); });
}

void DropQueuedCalls() {
  std::lock_guard<std::mutex> lock(RendezvousLock());
  Calls.clear();
  Posts.clear();
}

void Complete(Call& call, LRESULT result) {
  std::lock_guard<std::mutex> lock(RendezvousLock());
  call.result = result;
  call.done = true;
  Rendezvous().notify_all();
}

LRESULT RunOnDialogThread(Call& call) {
  if (OnDialogThread()) {
    call.work(call);
    return call.result;
  }
  if (WakeFd < 0) return 0;
  {
    std::unique_lock<std::mutex> lock(RendezvousLock());
    Calls.push_back(&call);
    Wake();
    Rendezvous().wait(lock, [&call] { return call.done || CurrentThreadAbandoned(); });
  }
  StopIfAbandoned();
  return call.result;
}

bool QueuePosted(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (WakeFd < 0) return false;
  std::lock_guard<std::mutex> lock(RendezvousLock());
  Posts.push_back({window, message, wParam, lParam});
  Wake();
  return true;
}

}  // namespace platform
