// StopEvent for a test's lifetime: created not signalled, closed when the test ends.
#pragma once

#include "common/run_state.h"

struct StopEventForTest {
  StopEventForTest() { StopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
  ~StopEventForTest() {
    CloseHandle(StopEvent);
    StopEvent = nullptr;
  }
  StopEventForTest(const StopEventForTest&) = delete;
  StopEventForTest& operator=(const StopEventForTest&) = delete;
};
