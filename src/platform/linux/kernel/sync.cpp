// Events and threads over C++ threads, mutexes and condition variables.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unistd.h>

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

void RunThread(Thread* thread, LPTHREAD_START_ROUTINE start, LPVOID parameter) {
  CurrentThread = thread;
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
  Release(thread);
}

std::mutex TheRendezvousLock;
std::condition_variable TheRendezvous;

void WakeForAbandonment() {
  std::lock_guard<std::mutex> lock(TheRendezvousLock);
  TheRendezvous.notify_all();
}

}  // namespace

std::mutex& platform::RendezvousLock() { return TheRendezvousLock; }
std::condition_variable& platform::Rendezvous() { return TheRendezvous; }

bool platform::CurrentThreadAbandoned() {
  return CurrentThread != nullptr && CurrentThread->abandoned.load();
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
  Event* event = new Event;
  event->kind = Kind::Event;
  event->signalled = initialState != FALSE;
  event->manualReset = manualReset != FALSE;
  return event;
}

// Keeps: signals the event and wakes its waiters; TRUE on success. Maps to notify_all.
BOOL WINAPI SetEvent(HANDLE handle) {
  AbandonGuard guard;
  Event* event = As<Event>(handle, Kind::Event);
  if (event == nullptr) return FALSE;
  {
    std::lock_guard<std::mutex> lock(event->lock);
    event->signalled = true;
  }
  event->changed.notify_all();
  return TRUE;
}

BOOL platform::CloseEvent(Object* object) {
  delete static_cast<Event*>(object);
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
  Thread* thread = new Thread;
  thread->kind = Kind::Thread;
  try {
    std::thread(RunThread, thread, start, parameter).detach();
  } catch (const std::system_error&) {
    delete thread;
    return nullptr;
  }
  if (threadId != nullptr) *threadId = ++lastId;
  return thread;
}

// Keeps: the thread counts as ended, with the exit code given, for every wait and
// GetExitCodeThread. POSIX cannot end one thread of a process safely, so the thread is
// abandoned instead: it stops for good at its next platform call, or on the way out of the
// call it is in (a wait for the dialog's thread gives up at once), and so never returns into
// the program. Returns once it has stopped, so nothing it used is touched after this; that
// takes no longer than the file or folder call it may be in.
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
  thread->ended.wait(lock, [thread] { return thread->stopped; });
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
