// The performance counter over the monotonic clock.
#include <time.h>

#include "platform.h"

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;

}  // namespace

// Keeps: a count that never goes back, in ticks of the frequency below; TRUE. Maps to
// clock_gettime(2) on CLOCK_MONOTONIC, read from the vDSO without a system call, in
// nanoseconds.
BOOL WINAPI QueryPerformanceCounter(PLARGE_INTEGER count) {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  count->QuadPart = now.tv_sec * kNanosecondsPerSecond + now.tv_nsec;
  return TRUE;
}

// Keeps: the counter's ticks per second, the same for the process's life; TRUE. Maps to the
// nanosecond the counter above counts in.
BOOL WINAPI QueryPerformanceFrequency(PLARGE_INTEGER frequency) {
  frequency->QuadPart = kNanosecondsPerSecond;
  return TRUE;
}
