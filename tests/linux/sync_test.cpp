// Events and threads of the Linux layer, with real threads.
#include <atomic>
#include <chrono>
#include <thread>

#include "platform.h"
#include "support/check.h"

namespace {

using namespace std::chrono_literals;

DWORD WINAPI ReturnSeven(LPVOID event) {
  WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
  return 7;
}

std::atomic<long> Rounds{0};

// Program code that keeps making platform calls: it must stop dead once abandoned.
DWORD WINAPI Spin(LPVOID event) {
  for (;;) {
    if (WaitForSingleObject(static_cast<HANDLE>(event), 0) == WAIT_OBJECT_0) return 0;
    ++Rounds;
  }
}

}  // namespace

TEST(EventsSignalManualAndAutoReset) {
  HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  CHECK_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  CHECK_EQ(WaitForSingleObject(manual, 20), WAIT_TIMEOUT);
  CHECK(SetEvent(manual));
  CHECK_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  CHECK_EQ(WaitForSingleObject(manual, INFINITE), WAIT_OBJECT_0);
  CHECK(CloseHandle(manual));

  HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  CHECK_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
  CHECK_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
  CHECK(CloseHandle(automatic));
  CHECK_EQ(WaitForSingleObject(INVALID_HANDLE_VALUE, 0), WAIT_FAILED);
}

TEST(ThreadsRunWaitAndReportTheirExitCode) {
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, ReturnSeven, go, 0, &id);
  CHECK(thread != nullptr);
  CHECK(id != 0);
  DWORD code = 0;
  CHECK(GetExitCodeThread(thread, &code));
  CHECK_EQ(code, STILL_ACTIVE);
  CHECK_EQ(WaitForSingleObject(thread, 30), WAIT_TIMEOUT);
  SetEvent(go);
  CHECK_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  CHECK(GetExitCodeThread(thread, &code));
  CHECK_EQ(code, 7u);
  CHECK(CloseHandle(thread));
  CHECK(CloseHandle(go));
}

TEST(TerminatedThreadEndsAtOnceAndNeverRunsOn) {
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, Spin, never, 0, nullptr);
  while (Rounds.load() < 1000) std::this_thread::yield();
  CHECK(TerminateThread(thread, 1));
  CHECK_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
  DWORD code = 0;
  CHECK(GetExitCodeThread(thread, &code));
  CHECK_EQ(code, 1u);
  std::this_thread::sleep_for(10ms);
  long stopped = Rounds.load();
  std::this_thread::sleep_for(50ms);
  CHECK_EQ(Rounds.load(), stopped);
  // Even the signal it was waiting for does not bring it back.
  SetEvent(never);
  std::this_thread::sleep_for(20ms);
  CHECK_EQ(Rounds.load(), stopped);
  CHECK(CloseHandle(thread));
}
