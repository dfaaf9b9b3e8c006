#include "gate.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/run_state.h"
#include "platform.h"

namespace {

std::mutex Lock;
std::condition_variable Changed;
gate::At Armed = gate::At::Nothing;
std::string Part;
bool IsReached = false;
bool IsOpen = false;
bool IsStopSet = false;
bool FailCreateEvent = false;
int SlowReadsLeft = 0;
constexpr auto kSlowRead = std::chrono::milliseconds(20);
bool WroteSinceArmed = false;
int Skip = 0;
int Generation = 0;  // counts resets, so that a wait from an earlier run ends
int BarPositionAtEnd = -1;

void Pass(gate::At at, const char* text) {
  std::unique_lock<std::mutex> lock(Lock);
  if (Armed != at || (text != nullptr && std::string(text).find(Part) == std::string::npos)) return;
  if (Skip > 0) {
    --Skip;
    return;
  }
  Armed = gate::At::Nothing;
  IsReached = true;
  Changed.notify_all();
  Changed.wait(lock, [] { return IsOpen; });
}

bool Wrote() {
  std::lock_guard<std::mutex> lock(Lock);
  return WroteSinceArmed;
}

}  // namespace

void gate::Arm(At at, const std::string& part, int skip) {
  std::lock_guard<std::mutex> lock(Lock);
  Armed = at;
  Part = part;
  Skip = skip;
  IsReached = IsOpen = WroteSinceArmed = false;
}

bool gate::Reached() {
  std::lock_guard<std::mutex> lock(Lock);
  return IsReached;
}

void gate::Open() {
  std::lock_guard<std::mutex> lock(Lock);
  IsOpen = true;
  Changed.notify_all();
}

void gate::OpenAfterStop() {
  std::thread([] {
    std::unique_lock<std::mutex> lock(Lock);
    int generation = Generation;
    Changed.wait(lock, [generation] { return IsStopSet || Generation != generation; });
    if (Generation != generation) return;  // a later run's gate is not this one's to open
    IsOpen = true;
    Changed.notify_all();
  }).detach();
}

bool gate::StopSet() {
  std::lock_guard<std::mutex> lock(Lock);
  return IsStopSet;
}

void gate::SlowReads(int count) {
  std::lock_guard<std::mutex> lock(Lock);
  SlowReadsLeft = count;
}

void gate::FailNextCreateEvent() {
  std::lock_guard<std::mutex> lock(Lock);
  FailCreateEvent = true;
}

int gate::BarAtEnd() {
  std::lock_guard<std::mutex> lock(Lock);
  return BarPositionAtEnd;
}

void gate::Reset() {
  std::lock_guard<std::mutex> lock(Lock);
  Armed = At::Nothing;
  IsReached = IsStopSet = FailCreateEvent = false;
  SlowReadsLeft = 0;
  IsOpen = true;
  ++Generation;
  Changed.notify_all();
}

extern "C" {

BOOL __real_WriteFile(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
BOOL __real_ReadFile(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
HANDLE __real_FindFirstFileExA(LPCSTR, FINDEX_INFO_LEVELS, LPVOID, FINDEX_SEARCH_OPS, LPVOID,
                               DWORD);
BOOL __real_SetEvent(HANDLE);
HANDLE __real_CreateEventA(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR);
DWORD __real_WaitForSingleObject(HANDLE, DWORD);
BOOL __real_SetWindowTextA(HWND, LPCSTR);
BOOL __real_EndDialog(HWND, INT_PTR);

BOOL __wrap_WriteFile(HANDLE file, LPCVOID data, DWORD count, LPDWORD written, LPOVERLAPPED o) {
  Pass(gate::At::Write, nullptr);
  {
    std::lock_guard<std::mutex> lock(Lock);
    WroteSinceArmed = true;
  }
  return __real_WriteFile(file, data, count, written, o);
}

BOOL __wrap_ReadFile(HANDLE file, LPVOID data, DWORD count, LPDWORD read, LPOVERLAPPED o) {
  bool slow = false;
  {
    std::lock_guard<std::mutex> lock(Lock);
    slow = SlowReadsLeft > 0;
    SlowReadsLeft -= slow;
  }
  if (slow) std::this_thread::sleep_for(kSlowRead);
  return __real_ReadFile(file, data, count, read, o);
}

DWORD __wrap_WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  DWORD result = __real_WaitForSingleObject(object, milliseconds);
  bool foundNoStop = object == StopEvent && milliseconds == 0 && result != WAIT_OBJECT_0;
  if (foundNoStop && Wrote()) Pass(gate::At::StopTest, nullptr);
  return result;
}

// Only the worker sets the percentage and the path line, the percentage first.
BOOL __wrap_SetWindowTextA(HWND window, LPCSTR text) {
  if (Wrote()) Pass(gate::At::Texts, nullptr);
  return __real_SetWindowTextA(window, text);
}

// On the dialog's thread, so the bar's position is read at once.
BOOL __wrap_EndDialog(HWND dialog, INT_PTR result) {
  auto position = SendMessageA(GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0);
  {
    std::lock_guard<std::mutex> lock(Lock);
    BarPositionAtEnd = static_cast<int>(position);
  }
  return __real_EndDialog(dialog, result);
}

HANDLE __wrap_FindFirstFileExA(LPCSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data,
                               FINDEX_SEARCH_OPS search, LPVOID filter, DWORD flags) {
  Pass(gate::At::Find, pattern);
  return __real_FindFirstFileExA(pattern, level, data, search, filter, flags);
}

BOOL __wrap_SetEvent(HANDLE event) {
  BOOL result = __real_SetEvent(event);
  if (event != StopEvent) return result;  // an event of the platform's or a test's own
  std::lock_guard<std::mutex> lock(Lock);
  IsStopSet = true;
  Changed.notify_all();
  return result;
}

HANDLE __wrap_CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manual, BOOL initial, LPCSTR name) {
  {
    std::lock_guard<std::mutex> lock(Lock);
    if (FailCreateEvent) {
      FailCreateEvent = false;
      return nullptr;
    }
  }
  return __real_CreateEventA(security, manual, initial, name);
}
}
