// Critical sections and condition variables over POSIX mutexes and condition variables. A
// thread ended by TerminateThread never stops while it holds a critical section, so that the
// threads it shares it with are not left waiting for it: it stops on its way into one, or on
// waking from a condition variable, once it has let go of the section the wake handed it. One
// asleep on a condition variable sleeps on until a wake comes, as on an event, or the process's
// end takes it.
#include <cerrno>
#include <time.h>

#include "objects.h"

using namespace platform;

namespace {

constexpr long kNanosecondsPerMillisecond = 1000000;
constexpr long kMillisecondsPerSecond = 1000;
constexpr long kNanosecondsPerSecond = kNanosecondsPerMillisecond * kMillisecondsPerSecond;

// The monotonic time the given milliseconds from now, as a condition variable's deadline.
timespec DeadlineIn(DWORD milliseconds) {
  timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += milliseconds / kMillisecondsPerSecond;
  deadline.tv_nsec +=
      static_cast<long>(milliseconds % kMillisecondsPerSecond) * kNanosecondsPerMillisecond;
  if (deadline.tv_nsec >= kNanosecondsPerSecond) {
    ++deadline.tv_sec;
    deadline.tv_nsec -= kNanosecondsPerSecond;
  }
  return deadline;
}

}  // namespace

// Keeps: a lock the same thread takes once at a time, unowned at first. Maps to a default
// pthread mutex.
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section) {
  pthread_mutex_init(&section->mutex, nullptr);
}

// Keeps: the lock's resources released; it is not held. Maps to pthread_mutex_destroy.
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section) {
  pthread_mutex_destroy(&section->mutex);
}

// Keeps: waits until the lock is free and takes it. Maps to pthread_mutex_lock.
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section) {
  StopIfAbandoned();
  pthread_mutex_lock(&section->mutex);
}

// Keeps: releases the lock, waking one thread waiting for it. Maps to pthread_mutex_unlock.
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section) {
  pthread_mutex_unlock(&section->mutex);
}

// Keeps: a condition variable nobody waits on. Maps to a pthread condition variable on the
// monotonic clock, so that a wait's timeout does not move with the wall clock.
void WINAPI InitializeConditionVariable(PCONDITION_VARIABLE variable) {
  pthread_condattr_t attributes;
  pthread_condattr_init(&attributes);
  pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
  pthread_cond_init(&variable->cond, &attributes);
  pthread_condattr_destroy(&attributes);
}

// Keeps: releases the critical section the caller holds, sleeps until woken or the timeout
// (INFINITE: none), and holds it again on return; FALSE with ERROR_TIMEOUT when the time ran
// out. A wake may come without a wake call, as on Windows: the caller looks again at what it
// waits for. Maps to pthread_cond_wait or pthread_cond_timedwait.
BOOL WINAPI SleepConditionVariableCS(PCONDITION_VARIABLE variable, PCRITICAL_SECTION section,
                                     DWORD milliseconds) {
  int waited = 0;
  if (milliseconds == INFINITE) {
    waited = pthread_cond_wait(&variable->cond, &section->mutex);
  } else {
    timespec deadline = DeadlineIn(milliseconds);
    waited = pthread_cond_timedwait(&variable->cond, &section->mutex, &deadline);
  }
  if (CurrentThreadAbandoned()) {
    pthread_mutex_unlock(&section->mutex);
    StopIfAbandoned();
  }
  if (waited == ETIMEDOUT) {
    SetLastError(ERROR_TIMEOUT);
    return FALSE;
  }
  return TRUE;
}

// Keeps: wakes one thread asleep on the variable, if any. Maps to pthread_cond_signal.
void WINAPI WakeConditionVariable(PCONDITION_VARIABLE variable) {
  pthread_cond_signal(&variable->cond);
}

// Keeps: wakes every thread asleep on the variable. Maps to pthread_cond_broadcast.
void WINAPI WakeAllConditionVariable(PCONDITION_VARIABLE variable) {
  pthread_cond_broadcast(&variable->cond);
}
