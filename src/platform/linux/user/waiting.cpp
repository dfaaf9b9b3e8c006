#include "waiting.h"

#include <mutex>

#include "hooks.h"
#include "rendezvous.h"

namespace platform {
namespace {

// How long a caller spins for its answer before it sleeps: a few round trips to a serving
// dialog's thread, about what waking a sleeping one would cost.
constexpr auto kCallerSpin = std::chrono::microseconds(100);
std::atomic<std::chrono::microseconds> CallerSpin{kCallerSpin};
std::atomic<int> Sleepers{0};  // callers that stopped spinning and wait on the rendezvous

}  // namespace

std::chrono::microseconds SetCallerSpin(std::chrono::microseconds spin) {
  return CallerSpin.exchange(spin);
}

// A waiter counts itself among the sleepers before it looks at its answer for the last time,
// and WakeAwaiting counts them after the answer was set, so one of the two sees the other.
void AwaitAnswer(const std::atomic<bool>& answered) {
  auto ready = [&answered] { return answered.load() || CurrentThreadAbandoned(); };
  if (!SpinUntil(Clock::now() + CallerSpin.load(), ready)) {
    std::unique_lock<std::mutex> lock(RendezvousLock());
    ++Sleepers;
    Rendezvous().wait(lock, ready);
    --Sleepers;
  }
  StopIfAbandoned();
}

void WakeAwaiting() {
  if (Sleepers.load() == 0) return;
  std::lock_guard<std::mutex> lock(RendezvousLock());
  Rendezvous().notify_all();
}

}  // namespace platform
