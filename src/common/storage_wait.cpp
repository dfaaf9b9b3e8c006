#include "common/storage_wait.h"

namespace {

constexpr int64_t kWaitedMicroseconds = 50;
constexpr int64_t kMicrosecondsPerSecond = 1000000;

}  // namespace

int64_t TicksNow() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

int64_t WaitedTicks() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart * kWaitedMicroseconds / kMicrosecondsPerSecond;
}
