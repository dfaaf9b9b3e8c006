#include "common/storage_wait.h"

namespace {

constexpr int64_t kWaitedMicroseconds = 50;
constexpr int64_t kChangesWaitedMicroseconds = 300;
constexpr int64_t kMicrosecondsPerSecond = 1000000;

}  // namespace

int64_t TicksNow() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

namespace {

int64_t TicksIn(int64_t microseconds) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart * microseconds / kMicrosecondsPerSecond;
}

}  // namespace

int64_t WaitedTicks() { return TicksIn(kWaitedMicroseconds); }

int64_t ChangesWaitedTicks() { return TicksIn(kChangesWaitedMicroseconds); }
