// How the user side waits. The one rule: a thread that waits for the dialog's thread waits only
// through AwaitAnswer, which sleeps on the kernel side's rendezvous. TerminateThread wakes
// every sleeper there, so a thread abandoned while it waits stops for good at its wait instead
// of returning into the program. Nothing else on the user side blocks a thread other than the
// dialog's.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {

using Clock = std::chrono::steady_clock;

// One pause of a spinning thread.
inline void Relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#else
  std::this_thread::yield();
#endif
}

// Spins until ready() or the deadline; true when ready.
template <typename Ready>
bool SpinUntil(Clock::time_point deadline, Ready ready) {
  constexpr int kRoundsPerClockRead = 64;
  for (int round = 0;; ++round) {
    if (ready()) return true;
    if (round % kRoundsPerClockRead == 0 && Clock::now() >= deadline) return false;
    Relax();
  }
}

// Waits until answered is true: first spinning for about a round trip to a serving dialog's
// thread, then asleep on the rendezvous. Returns only to a thread that was not abandoned.
void AwaitAnswer(const std::atomic<bool>& answered);

// Wakes the threads asleep in AwaitAnswer, after an answer was set. Cheap when none sleeps.
void WakeAwaiting();

}  // namespace platform
