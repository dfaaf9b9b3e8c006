#include <windows.h>

#include "small_stack.h"

namespace {

DWORD WINAPI RunWork(LPVOID work) {
  (*static_cast<const std::function<void()>*>(work))();
  return 0;
}

}  // namespace

// The size is the stack's reservation, not only what is committed at first: without the flag
// the thread would get the program's default reservation whenever that is larger.
bool RunOnSmallStack(size_t stackBytes, const std::function<void()>& work) {
  HANDLE thread =
      CreateThread(nullptr, stackBytes, RunWork, const_cast<std::function<void()>*>(&work),
                   STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) return false;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  return true;
}
