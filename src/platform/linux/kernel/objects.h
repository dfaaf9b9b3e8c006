// Handles of the Linux layer. A file handle carries its descriptor in the handle value itself,
// (fd << 1) | 1, so opening a file allocates nothing; every other handle points to an Object.
#pragma once

#include <thread>

#include "platform.h"
#include "interface/rendezvous.h"

namespace platform {

enum class Kind { Event, Thread, Find };

struct Object {
  Kind kind;
};

inline HANDLE HandleFromFd(int fd) {
  return reinterpret_cast<HANDLE>((static_cast<uintptr_t>(fd) << 1) | 1u);
}
inline bool IsFileHandle(HANDLE handle) {
  return handle != INVALID_HANDLE_VALUE && (reinterpret_cast<uintptr_t>(handle) & 1u) != 0;
}
inline int FdFromHandle(HANDLE handle) {
  return static_cast<int>(reinterpret_cast<uintptr_t>(handle) >> 1);
}
inline Object* ObjectFromHandle(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || IsFileHandle(handle)) return nullptr;
  return static_cast<Object*>(handle);
}

// Sets what GetLastError reports on the calling thread; only the calls whose failure the
// program looks into set it.
void SetLastError(DWORD error);
// Sets it from errno, as the system call that just failed left it.
void SetLastErrorFromErrno();

BOOL CloseEvent(Object* object);
BOOL CloseThread(Object* object);
BOOL CloseFind(Object* object);

// Whether the calling thread, or the one given, is changing a file: it truncated or wrote it,
// and it is neither closed nor left for another file yet.
bool CurrentThreadChangingFile();
bool ThreadChangingFile(std::thread::id thread);
// A change is over (its file closed): a thread waiting to stop at the process's end looks again.
void ChangeEnded();

// WriteFile on standard error: the bytes as one line, shown as shown_text.h says, a final line
// break kept.
BOOL WriteStandardError(const void* bytes, DWORD count, LPDWORD written);

// Checks on the way into a platform call and again on the way out.
struct AbandonGuard {
  AbandonGuard() { StopIfAbandoned(); }
  ~AbandonGuard() { StopIfAbandoned(); }
  AbandonGuard(const AbandonGuard&) = delete;
  AbandonGuard& operator=(const AbandonGuard&) = delete;
};

}  // namespace platform
