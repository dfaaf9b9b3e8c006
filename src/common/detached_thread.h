// Starting a thread whose handle nobody keeps: the helpers of the scan and of the worker, which
// leave by themselves.
#pragma once

#include "platform.h"

// True when the thread was started.
inline bool StartDetachedThread(LPTHREAD_START_ROUTINE routine, LPVOID parameter) {
  HANDLE thread = CreateThread(nullptr, 0, routine, parameter, 0, nullptr);
  if (thread == nullptr) return false;
  CloseHandle(thread);
  return true;
}
