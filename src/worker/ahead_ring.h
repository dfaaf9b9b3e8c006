// The look-ahead's ring, shared by the worker's side (open_ahead.cpp) and the helpers'
// (ahead_helpers.cpp): its slots, their states, and what both sides do under its lock.
#pragma once

#include "worker/open_ahead.h"

namespace lookahead {

// At most this many entries are open or being opened ahead of the worker, or being closed
// behind it: a slot each, all allocated once per run.
constexpr DWORD kOpenAhead = 64;
// The helpers start as one and grow by one each time the worker finds its file still being
// opened, or its file not taken up with no helper free, up to this many: enough to keep a mount's
// round trips overlapping where the worker has little to do (a clean library), while where its own
// changes set the pace (a tagged one) the few it keeps leave the mount's capacity to those changes,
// and a cold disk, which the kernel reads ahead, keeps the fewest threads that keep up.
constexpr int kMaxHelpers = 16;
// An idle helper is woken for this many jobs at once, so that a wake pays for a batch.
constexpr DWORD kWakeBatch = 8;
// A path longer than this is left to the worker, which opens it as it would without helpers.
constexpr size_t kPathBytes = 4096;

enum class SlotState {
  kFree,     // for the entry kOpenAhead places after the last one it held
  kOpening,  // a helper is opening and reading its entry
  kReady,    // open and read, waiting for the worker
  kLeft,     // the worker is to open it itself
  kWorker,   // at the worker, which opens it itself or was handed the file
  kClosing,  // handed back or left over: a helper is to close it
  kBusy,     // a helper is closing its file
};

struct Slot {
  SlotState state = SlotState::kFree;
  DWORD pathEntry = 0;    // the entry whose text path holds, put there by the worker
  bool pathKept = false;  // the text fitted
  AheadFile opened{};
  char path[kPathBytes];
};

// The critical section held for a scope, or released and taken again within it.
class Lock {
 public:
  explicit Lock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
  ~Lock() { LeaveCriticalSection(&section_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  CRITICAL_SECTION& Section() { return section_; }

 private:
  CRITICAL_SECTION& section_;
};

}  // namespace lookahead

struct OpenAhead {
  CRITICAL_SECTION lock;
  CONDITION_VARIABLE helpersWork;  // a job for a helper, or the end
  CONDITION_VARIABLE workerWake;   // the front's file is ready, or files were closed
  lookahead::Slot slots[lookahead::kOpenAhead];
  DWORD count = 0;     // entries of the run
  DWORD front = 0;     // the entry at the worker, the first not done
  DWORD next = 0;      // the next entry to be taken up
  DWORD toClose = 0;   // slots in kClosing
  DWORD unclosed = 0;  // files handed back and not closed yet
  DWORD held = 0;      // files open or being opened by the helpers
  int helpers = 0;     // started
  int idle = 0;        // asleep on helpersWork
  bool ending = false;
  int users = 1;  // the worker and each helper; the last one frees the object
};

namespace lookahead {

inline Slot& SlotOf(OpenAhead* ahead, DWORD entry) { return ahead->slots[entry % kOpenAhead]; }

// Takes up the next entry under the lock, and leaves it to the worker where the same path is in
// a slot ahead of it (opened twice, the second open would meet the first's share mode, or read
// bytes the first is about to change) or the path does not fit.
Slot& TakeUpNext(OpenAhead* ahead, SlotState state);
// A slot with a file to close: handed back, or opened ahead of a look-ahead that ended.
Slot* ToClose(OpenAhead* ahead);
// Wakes an idle helper when there is a batch of jobs for it, or every job that is left, or the
// worker is about to wait for one. A helper that takes a job wakes the next for a batch more,
// so that as many work alongside as there are batches.
void WakeHelperFor(OpenAhead* ahead, bool workerWaits);
// Closes a slot's file with the lock let go meanwhile. A handed-back file counts as open until
// CloseHandle has returned: the worker's own open of the same file must not meet it.
void CloseSlot(OpenAhead* ahead, Slot& slot, Lock& lock);
// One more helper, up to kMaxHelpers; false when one was wanted and could not be started.
bool StartHelper(OpenAhead* ahead);
void Free(OpenAhead* ahead);

}  // namespace lookahead
