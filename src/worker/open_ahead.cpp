#include "worker/open_ahead.h"

#include <cstring>

#include "filelist/filelist.h"

namespace {

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

}  // namespace

struct OpenAhead {
  CRITICAL_SECTION lock;
  CONDITION_VARIABLE helpersWork;  // a job for a helper, or the end
  CONDITION_VARIABLE workerWake;   // the front's file is ready, or files were closed
  Slot slots[kOpenAhead];
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

namespace {

Slot& SlotOf(OpenAhead* ahead, DWORD entry) { return ahead->slots[entry % kOpenAhead]; }

template <typename Ready>
void SleepUntil(CONDITION_VARIABLE& variable, Lock& lock, Ready ready) {
  while (!ready()) SleepConditionVariableCS(&variable, &lock.Section(), INFINITE);
}

// Puts the text of the entry offset places behind the front into its slot. Only the worker
// reads FileList, so that nothing a helper does depends on the list once the worker is gone.
void KeepPath(OpenAhead* ahead, DWORD offset) {
  DWORD entry = ahead->front + offset;
  if (entry >= ahead->count) return;
  Slot& slot = SlotOf(ahead, entry);
  LPCSTR path = FileListAt(offset);
  size_t length = std::strlen(path);
  slot.pathEntry = entry;
  slot.pathKept = length < kPathBytes;
  if (slot.pathKept) std::memcpy(slot.path, path, length + 1);
}

// Takes up the next entry under the lock, and leaves it to the worker where the same path is in
// a slot ahead of it (opened twice, the second open would meet the first's share mode, or read
// bytes the first is about to change) or the path does not fit.
Slot& TakeUpNext(OpenAhead* ahead, SlotState state) {
  DWORD entry = ahead->next++;
  Slot& slot = SlotOf(ahead, entry);
  slot.state = slot.pathKept ? state : SlotState::kLeft;
  for (DWORD before = ahead->front; before < entry && slot.state == SlotState::kOpening; ++before) {
    const Slot& other = SlotOf(ahead, before);
    if (other.pathKept && std::strcmp(other.path, slot.path) == 0) slot.state = SlotState::kLeft;
  }
  return slot;
}

// A slot with a file to close: handed back, or opened ahead of a look-ahead that ended.
Slot* ToClose(OpenAhead* ahead) {
  for (Slot& slot : ahead->slots) {
    if (slot.state == SlotState::kClosing || (ahead->ending && slot.state == SlotState::kReady)) {
      return &slot;
    }
  }
  return nullptr;
}

// The entries a helper could take up now, up to a batch: their slots' last files are closed.
DWORD EntriesToTakeUp(OpenAhead* ahead) {
  DWORD entries = 0;
  for (DWORD entry = ahead->next; entries < kWakeBatch && !ahead->ending && entry < ahead->count;
       ++entry, ++entries) {
    const Slot& slot = SlotOf(ahead, entry);
    if (slot.state != SlotState::kFree || slot.pathEntry != entry) break;
  }
  return entries;
}

// Wakes an idle helper when there is a batch of jobs for it, or every job that is left, or the
// worker is about to wait for one. A helper that takes a job wakes the next for a batch more,
// so that as many work alongside as there are batches.
void WakeHelperFor(OpenAhead* ahead, bool workerWaits) {
  if (ahead->idle == 0) return;
  DWORD entries = EntriesToTakeUp(ahead);
  bool batch = entries == kWakeBatch || (entries > 0 && ahead->next + entries == ahead->count);
  if (batch || ahead->toClose >= kWakeBatch || (workerWaits && (entries > 0 || ahead->toClose))) {
    WakeConditionVariable(&ahead->helpersWork);
  }
}

void Free(OpenAhead* ahead) {
  DeleteCriticalSection(&ahead->lock);
  delete ahead;
}

// A handed-back file counts as open until CloseHandle has returned: the worker's own open of
// the same file must not meet it.
void CloseSlot(OpenAhead* ahead, Slot& slot, Lock& lock) {
  bool handedBack = slot.state == SlotState::kClosing;
  if (handedBack) --ahead->toClose;
  slot.state = SlotState::kBusy;
  HANDLE file = slot.opened.file;
  LeaveCriticalSection(&lock.Section());
  CloseHandle(file);
  EnterCriticalSection(&lock.Section());
  if (handedBack) --ahead->unclosed;
  --ahead->held;
  slot.state = SlotState::kFree;
  WakeConditionVariable(&ahead->workerWake);
}

void OpenSlot(OpenAhead* ahead, Slot& slot, Lock& lock) {
  ++ahead->held;
  LeaveCriticalSection(&lock.Section());
  AheadFile opened;
  opened.file = OpenAndReadStart(slot.path, &opened.start);
  EnterCriticalSection(&lock.Section());
  slot.opened = opened;
  if (opened.file == INVALID_HANDLE_VALUE) {
    --ahead->held;
    slot.state = SlotState::kLeft;
  } else {
    slot.state = SlotState::kReady;
  }
  WakeConditionVariable(&ahead->workerWake);
}

// A helper: closes what is to be closed first, then opens ahead while there is room, and leaves
// once the look-ahead has ended and nothing is left to close.
DWORD WINAPI HelperProc(LPVOID parameter) {
  OpenAhead* ahead = static_cast<OpenAhead*>(parameter);
  bool last = false;
  {
    Lock lock(ahead->lock);
    for (;;) {
      if (Slot* slot = ToClose(ahead)) {
        WakeHelperFor(ahead, false);
        CloseSlot(ahead, *slot, lock);
      } else if (EntriesToTakeUp(ahead) > 0) {
        Slot& slot = TakeUpNext(ahead, SlotState::kOpening);
        WakeHelperFor(ahead, false);
        if (slot.state == SlotState::kOpening)
          OpenSlot(ahead, slot, lock);
        else
          WakeConditionVariable(&ahead->workerWake);
      } else if (ahead->ending) {
        break;
      } else {
        ++ahead->idle;
        SleepConditionVariableCS(&ahead->helpersWork, &lock.Section(), INFINITE);
        --ahead->idle;
      }
    }
    last = --ahead->users == 0;
  }
  if (last) Free(ahead);
  return 0;
}

// Where the worker must wait for files handed back to be closed, it closes them itself rather
// than wait for a helper, which may be in a long open of a file far ahead.
template <typename Ready>
void CloseUntil(OpenAhead* ahead, Lock& lock, Ready ready) {
  while (!ready()) {
    Slot* slot = ToClose(ahead);
    if (slot != nullptr && slot->state == SlotState::kClosing)
      CloseSlot(ahead, *slot, lock);
    else
      SleepConditionVariableCS(&ahead->workerWake, &lock.Section(), INFINITE);
  }
}

// One more helper, up to kMaxHelpers; false when one was wanted and could not be started.
bool StartHelper(OpenAhead* ahead) {
  {
    Lock lock(ahead->lock);
    if (ahead->helpers == kMaxHelpers) return true;
    ++ahead->helpers;
    ++ahead->users;
  }
  HANDLE helper = CreateThread(nullptr, 0, HelperProc, ahead, 0, nullptr);
  if (helper != nullptr) {
    CloseHandle(helper);
    return true;
  }
  Lock lock(ahead->lock);
  --ahead->helpers;
  --ahead->users;
  return false;
}

}  // namespace

OpenAhead* StartOpenAhead() {
  OpenAhead* ahead = new OpenAhead;
  InitializeCriticalSection(&ahead->lock);
  InitializeConditionVariable(&ahead->helpersWork);
  InitializeConditionVariable(&ahead->workerWake);
  ahead->count = FileListCount();
  for (DWORD offset = 0; offset < kOpenAhead; ++offset) KeepPath(ahead, offset);
  if (StartHelper(ahead)) return ahead;
  Free(ahead);
  return nullptr;
}

bool TakeFront(OpenAhead* ahead, AheadFile* opened) {
  if (ahead == nullptr) return false;
  bool ready = false, behind = false;
  {
    Lock lock(ahead->lock);
    Slot& slot = SlotOf(ahead, ahead->front);
    // An entry no helper took up yet is the worker's own, once its slot's last file is closed,
    // unless a helper takes it up meanwhile.
    if (ahead->next == ahead->front) {
      behind = ahead->idle == 0;
      WakeHelperFor(ahead, true);
      CloseUntil(ahead, lock, [ahead, &slot] {
        return ahead->next != ahead->front || slot.state == SlotState::kFree;
      });
    }
    if (ahead->next == ahead->front) {
      TakeUpNext(ahead, SlotState::kWorker).state = SlotState::kWorker;
    } else {
      behind = behind || slot.state == SlotState::kOpening;
      SleepUntil(ahead->workerWake, lock, [&slot] { return slot.state != SlotState::kOpening; });
      ready = slot.state == SlotState::kReady;
      slot.state = SlotState::kWorker;
      if (ready) *opened = slot.opened;
    }
  }
  // The helpers fell behind the worker: one more, for the files after this one.
  if (behind) StartHelper(ahead);
  return ready;
}

void HandBack(OpenAhead* ahead, HANDLE file) {
  Lock lock(ahead->lock);
  Slot& slot = SlotOf(ahead, ahead->front);
  slot.opened.file = file;
  slot.state = SlotState::kClosing;
  ++ahead->toClose;
  ++ahead->unclosed;
  WakeHelperFor(ahead, false);
}

void AwaitClosed(OpenAhead* ahead) {
  if (ahead == nullptr) return;
  Lock lock(ahead->lock);
  CloseUntil(ahead, lock, [ahead] { return ahead->unclosed == 0; });
}

void AdvanceFront(OpenAhead* ahead) {
  if (ahead == nullptr) {
    FileListRemoveFront();
    return;
  }
  Lock lock(ahead->lock);
  Slot& slot = SlotOf(ahead, ahead->front);
  if (slot.state == SlotState::kWorker) slot.state = SlotState::kFree;
  KeepPath(ahead, kOpenAhead);  // into the slot the front leaves
  ++ahead->front;
  FileListRemoveFront();
  WakeHelperFor(ahead, false);
}

namespace {

// The helpers close what is left and leave; the last one out, or the worker, frees it.
void End(OpenAhead* ahead, bool awaitClosed) {
  bool last = false;
  {
    Lock lock(ahead->lock);
    ahead->ending = true;
    WakeAllConditionVariable(&ahead->helpersWork);
    if (awaitClosed) SleepUntil(ahead->workerWake, lock, [ahead] { return ahead->held == 0; });
    last = --ahead->users == 0;
  }
  if (last) Free(ahead);
}

}  // namespace

// Entries taken up but not reached are closed unchanged by the helpers; one the worker took and
// left is no one's to close.
void EndOpenAhead(OpenAhead* ahead) {
  if (ahead != nullptr) End(ahead, false);
}

void EndOpenAheadClosingAll(OpenAhead* ahead) { End(ahead, true); }
