// What the user side may use of the kernel side: the rendezvous where a thread waits for the
// dialog's thread, and whether the calling thread was abandoned by TerminateThread. Everything
// else of the kernel side's own stays in kernel/.
#pragma once

#include <condition_variable>
#include <mutex>

namespace platform {

// A thread ended by TerminateThread runs no program code again: it stops for good at the
// entry or the return of whatever platform call it is in or makes next. So does every thread
// of ours once the process is ending, except while it is changing a file.
void StopIfAbandoned();
bool CurrentThreadAbandoned();

// Where a thread waits for another (the dialog's thread): TerminateThread wakes every waiter
// here, and a wait must also end when CurrentThreadAbandoned() becomes true.
std::mutex& RendezvousLock();
std::condition_variable& Rendezvous();

}  // namespace platform
