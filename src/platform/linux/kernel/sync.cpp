// Events and threads over C++ threads, mutexes and condition variables.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>
#include <thread>
#include <unistd.h>
#include <vector>

#include "objects.h"

using namespace platform;

namespace {

struct Event : Object {
  std::mutex lock;
  std::condition_variable changed;
  std::atomic<bool> signalled;
  bool manualReset;
};

struct Thread : Object {
  std::mutex lock;
  std::condition_variable ended;
  bool done = false;     // ended for every wait: returned or terminated
  bool stopped = false;  // runs no program code any more: returned or parked for good
  DWORD exitCode = STILL_ACTIVE;
  std::atomic<bool> abandoned{false};
  std::atomic<int> references{2};  // the handle and the running thread
  std::atomic<std::thread::id> id{};
};

thread_local Thread* CurrentThread = nullptr;

void Release(Thread* thread) {
  if (thread->references.fetch_sub(1) == 1) delete thread;
}

// Waits on a condition under the object's lock, for at most milliseconds (INFINITE: no bound).
template <typename Ready>
bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
               DWORD milliseconds, Ready ready) {
  if (milliseconds == INFINITE) {
    changed.wait(lock, ready);
    return true;
  }
  return changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
}

DWORD WaitForEvent(Event* event, DWORD milliseconds) {
  // A zero-timeout test of a manual-reset event (the worker's stop test, once per file) is a
  // flag read: no lock and no system call.
  if (event->manualReset && milliseconds == 0) {
    return event->signalled.load(std::memory_order_acquire) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
  }
  if (event->manualReset && event->signalled.load(std::memory_order_acquire)) return WAIT_OBJECT_0;
  std::unique_lock<std::mutex> lock(event->lock);
  if (!WaitUntil(lock, event->changed, milliseconds, [event] { return event->signalled.load(); })) {
    return WAIT_TIMEOUT;
  }
  if (!event->manualReset) event->signalled = false;
  return WAIT_OBJECT_0;
}

DWORD WaitForThread(Thread* thread, DWORD milliseconds) {
  std::unique_lock<std::mutex> lock(thread->lock);
  return WaitUntil(lock, thread->ended, milliseconds, [thread] { return thread->done; })
             ? WAIT_OBJECT_0
             : WAIT_TIMEOUT;
}

template <typename T>
T* As(HANDLE handle, Kind kind) {
  Object* object = ObjectFromHandle(handle);
  return object != nullptr && object->kind == kind ? static_cast<T*>(object) : nullptr;
}

void CountReturned(Thread* thread);

void RunThread(Thread* thread, LPTHREAD_START_ROUTINE start, LPVOID parameter) {
  CurrentThread = thread;
  thread->id = std::this_thread::get_id();
  DWORD code = start(parameter);
  {
    std::lock_guard<std::mutex> lock(thread->lock);
    thread->stopped = true;
    if (!thread->done) {
      thread->done = true;
      thread->exitCode = code;
    }
  }
  thread->ended.notify_all();
  // After it is stopped, for the process's end may be waiting for that under the live list's
  // lock; and before it may be freed, for that wait looks at it.
  CountReturned(thread);
  Release(thread);
}

// How long TerminateThread waits for an abandoned thread to stop at the edge of a platform
// call. Program code between two calls takes microseconds; a thread still going after this is
// inside a system call that does not return (an open on a hung network mount) and is given
// up: the process's end takes it, as the kernel ends a thread in a killable wait.
constexpr auto kStopWait = std::chrono::milliseconds(250);
// Set once a thread was given up: from then on no event is freed, since that thread may come
// back out of its call and look at one before it stops.
std::atomic<bool> ThreadGivenUp{false};

// Never destroyed: a thread given up, or one still waiting when exit(3) runs the destructors,
// may wait on them, and destroying a condition variable waits for its waiters.
std::mutex& TheRendezvousLock = *new std::mutex;
std::condition_variable& TheRendezvous = *new std::condition_variable;

void WakeForAbandonment() {
  std::lock_guard<std::mutex> lock(TheRendezvousLock);
  TheRendezvous.notify_all();
}

// The process ending while a thread of ours still runs (a library calling exit(3) when its
// display went away, say): a thread changing a file may finish it, for at most this long, and
// then stops at its next platform call, so that exit never cuts a change in half. The others
// stop at their next platform call, or are given up after kStopWait (inside a system call that
// does not return, or waiting for work that will not come).
constexpr auto kFileFinishAtExit = std::chrono::milliseconds(1000);
std::atomic<bool> ProcessEnding{false};
std::mutex& LiveLock = *new std::mutex;
std::vector<Thread*>& LiveThreads = *new std::vector<Thread*>;  // started, not returned

void LetFilesFinish() {
  ProcessEnding = true;
  WakeForAbandonment();
  auto now = std::chrono::steady_clock::now();
  auto changing = now + kFileFinishAtExit, others = now + kStopWait;
  std::lock_guard<std::mutex> live(LiveLock);
  for (Thread* thread : LiveThreads) {
    if (thread->abandoned.load()) continue;  // stopped already, or given up in a system call
    auto until = ThreadChangingFile(thread->id.load()) ? changing : others;
    std::unique_lock<std::mutex> lock(thread->lock);
    thread->ended.wait_until(lock, until, [thread] { return thread->stopped; });
  }
}

bool CountLive(Thread* thread) {
  static std::once_flag atExit;
  std::call_once(atExit, [] { std::atexit(LetFilesFinish); });
  std::lock_guard<std::mutex> live(LiveLock);
  try {
    LiveThreads.push_back(thread);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void CountReturned(Thread* thread) {
  std::lock_guard<std::mutex> live(LiveLock);
  LiveThreads.erase(std::find(LiveThreads.begin(), LiveThreads.end(), thread));
}

}  // namespace

void platform::ChangeEnded() {
  if (ProcessEnding.load()) WakeForAbandonment();
}

std::mutex& platform::RendezvousLock() { return TheRendezvousLock; }
std::condition_variable& platform::Rendezvous() { return TheRendezvous; }

bool platform::CurrentThreadAbandoned() {
  if (CurrentThread == nullptr) return false;
  return CurrentThread->abandoned.load() || (ProcessEnding.load() && !CurrentThreadChangingFile());
}

void platform::StopIfAbandoned() {
  if (!CurrentThreadAbandoned()) return;
  {
    std::lock_guard<std::mutex> lock(CurrentThread->lock);
    CurrentThread->stopped = true;
  }
  CurrentThread->ended.notify_all();
  for (;;) pause();
}

// Keeps: an unnamed event, manual- or auto-reset, in the initial state asked for. Maps to a
// flag under a mutex with a condition variable.
HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR) {
  AbandonGuard guard;
  Event* event = new (std::nothrow) Event;
  if (event == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  event->kind = Kind::Event;
  event->signalled = initialState != FALSE;
  event->manualReset = manualReset != FALSE;
  return event;
}

// Keeps: signals the event and wakes its waiters, one of them for an auto-reset event (the
// one that takes the signal); TRUE on success. Maps to notify_all, or notify_one for an
// auto-reset event, so that a wake-up for one of several waiters does not wake them all.
BOOL WINAPI SetEvent(HANDLE handle) {
  AbandonGuard guard;
  Event* event = As<Event>(handle, Kind::Event);
  if (event == nullptr) return FALSE;
  // Woken under the lock, so that a waiter that closes the event once it has it (a lock made
  // of an event, freed by its last user) never frees it under this call.
  std::lock_guard<std::mutex> lock(event->lock);
  event->signalled = true;
  if (event->manualReset)
    event->changed.notify_all();
  else
    event->changed.notify_one();
  return TRUE;
}

BOOL platform::CloseEvent(Object* object) {
  if (!ThreadGivenUp.load()) delete static_cast<Event*>(object);
  return TRUE;
}

// Keeps: WAIT_OBJECT_0 once an event is signalled or a thread has ended, WAIT_TIMEOUT after
// the timeout (0: just a test), WAIT_FAILED for a bad handle. Never waits for the dialog's
// thread. Maps to condition-variable waits; a zero-timeout test of a manual-reset event is an
// atomic read.
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  AbandonGuard guard;
  if (Event* event = As<Event>(handle, Kind::Event)) return WaitForEvent(event, milliseconds);
  if (Thread* thread = As<Thread>(handle, Kind::Thread)) return WaitForThread(thread, milliseconds);
  return WAIT_FAILED;
}

// Keeps: starts the routine at once on a new thread with the parameter, returning its handle
// (and an identifier when asked), or nullptr on failure. Maps to a detached std::thread.
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start,
                           LPVOID parameter, DWORD, LPDWORD threadId) {
  AbandonGuard guard;
  static std::atomic<DWORD> lastId{0};
  Thread* thread = new (std::nothrow) Thread;
  if (thread == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  thread->kind = Kind::Thread;
  if (!CountLive(thread)) {
    delete thread;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  try {
    std::thread(RunThread, thread, start, parameter).detach();
  } catch (const std::system_error&) {
    CountReturned(thread);
    delete thread;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId != nullptr) *threadId = ++lastId;
  return thread;
}

// Keeps: the thread counts as ended, with the exit code given, for every wait and
// GetExitCodeThread, and runs no program code again. POSIX cannot end one thread of a process
// safely, so the thread is abandoned instead: it stops for good at its next platform call, or
// on the way out of the call it is in (a wait for the dialog's thread gives up at once).
// Returns once it has stopped, so that nothing it used is touched after this, or after
// kStopWait when it is inside a system call that does not return: it is then given up, the
// layer's objects it may still look at stay valid, and the process's end takes it.
BOOL WINAPI TerminateThread(HANDLE handle, DWORD exitCode) {
  AbandonGuard guard;
  Thread* thread = As<Thread>(handle, Kind::Thread);
  if (thread == nullptr) return FALSE;
  {
    std::lock_guard<std::mutex> lock(thread->lock);
    if (thread->done) return TRUE;
    thread->done = true;
    thread->exitCode = exitCode;
    thread->abandoned = true;
  }
  thread->ended.notify_all();
  WakeForAbandonment();
  std::unique_lock<std::mutex> lock(thread->lock);
  if (!thread->ended.wait_for(lock, kStopWait, [thread] { return thread->stopped; })) {
    ThreadGivenUp = true;
  }
  return TRUE;
}

// Keeps: the exit code of an ended thread, STILL_ACTIVE while it runs. Maps to the exit code
// the layer recorded when the routine returned or the thread was abandoned.
BOOL WINAPI GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
  AbandonGuard guard;
  Thread* thread = As<Thread>(handle, Kind::Thread);
  if (thread == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(thread->lock);
  *exitCode = thread->exitCode;
  return TRUE;
}

BOOL platform::CloseThread(Object* object) {
  Release(static_cast<Thread*>(object));
  return TRUE;
}
