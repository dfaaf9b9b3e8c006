// Handles of the Linux layer. A file handle carries its descriptor in the handle value itself,
// (fd << 1) | 1, so opening a file allocates nothing; every other handle points to an Object.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform.h"

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

// A thread ended by TerminateThread runs no program code again: it stops for good at the
// entry or the return of whatever platform call it is in or makes next. So does every thread
// of ours once the process is ending, except while it has a file open for writing.
void StopIfAbandoned();
bool CurrentThreadAbandoned();
// Whether the calling thread, or the one given, is changing a file: it truncated or wrote it,
// and it is neither closed nor left for another file yet.
bool CurrentThreadChangingFile();
bool ThreadChangingFile(std::thread::id thread);
// A change is over (its file closed): a thread waiting to stop at the process's end looks again.
void ChangeEnded();

// Where a thread waits for another (the dialog's thread): TerminateThread wakes every waiter
// here, and a wait must also end when CurrentThreadAbandoned() becomes true.
std::mutex& RendezvousLock();
std::condition_variable& Rendezvous();

// Checks on the way into a platform call and again on the way out.
struct AbandonGuard {
  AbandonGuard() { StopIfAbandoned(); }
  ~AbandonGuard() { StopIfAbandoned(); }
  AbandonGuard(const AbandonGuard&) = delete;
  AbandonGuard& operator=(const AbandonGuard&) = delete;
};

}  // namespace platform
