#include "worker/open_ahead.h"

#include <cstring>

#include "filelist/filelist.h"

namespace {

// At most this many entries are open or being opened ahead of the worker, or being closed
// behind it: a slot each, all allocated once per run.
constexpr DWORD kOpenAhead = 32;
// Enough to keep a slow mount's round trips overlapping; on a local disk they mostly wait.
constexpr int kHelpers = 8;
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

// A lock and wake-ups made of Win32 events, which both builds have (the Windows build's C++
// library has no std::mutex): the lock an auto-reset event that starts signalled, a wake-up an
// auto-reset event, which keeps a wake that comes before its waiter waits.
class Lock {
 public:
  explicit Lock(HANDLE event) : event_(event) { Take(); }
  ~Lock() {
    if (held_) Release();
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  void Take() {
    WaitForSingleObject(event_, INFINITE);
    held_ = true;
  }
  void Release() {
    held_ = false;
    SetEvent(event_);
  }

 private:
  HANDLE event_;
  bool held_ = false;
};

struct Wake {
  HANDLE event = nullptr;
  void Notify() { SetEvent(event); }
  // Waits under the lock until ready() holds; a waker that finds more to do than one waiter
  // takes wakes the next.
  template <typename Ready>
  void Wait(Lock& lock, Ready ready) {
    while (!ready()) {
      lock.Release();
      WaitForSingleObject(event, INFINITE);
      lock.Take();
    }
  }
};

}  // namespace

struct OpenAhead {
  HANDLE lock = nullptr;
  Wake helpersWake;
  Wake workerWake;
  Slot slots[kOpenAhead];
  DWORD count = 0;     // entries of the run
  DWORD front = 0;     // the entry at the worker, the first not done
  DWORD next = 0;      // the next entry to be taken up
  DWORD toClose = 0;   // slots in kClosing
  DWORD unclosed = 0;  // files handed back and not closed yet
  DWORD held = 0;      // files open or being opened by the helpers
  bool ending = false;
  int users = 1;  // the worker and each helper; the last one frees the object
};

namespace {

Slot& SlotOf(OpenAhead* ahead, DWORD entry) { return ahead->slots[entry % kOpenAhead]; }

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

bool CanTakeUp(OpenAhead* ahead) {
  const Slot& slot = SlotOf(ahead, ahead->next);
  return !ahead->ending && ahead->next < ahead->count && slot.state == SlotState::kFree &&
         slot.pathEntry == ahead->next;
}

void Free(OpenAhead* ahead) {
  for (HANDLE event : {ahead->lock, ahead->helpersWake.event, ahead->workerWake.event}) {
    if (event != nullptr) CloseHandle(event);
  }
  delete ahead;
}

// Drops one user under the lock; the last one frees the look-ahead once the lock is let go.
void Leave(OpenAhead* ahead, Lock& lock) {
  bool last = --ahead->users == 0;
  lock.Release();
  if (last) Free(ahead);
}

// One wake wakes one helper: the one that took a job wakes the next while jobs are left.
void WakeAnotherIfMore(OpenAhead* ahead) {
  if (ahead->toClose > 0 || CanTakeUp(ahead)) ahead->helpersWake.Notify();
}

// A handed-back file counts as open until CloseHandle has returned: the worker's own open of
// the same file must not meet it.
void CloseSlot(OpenAhead* ahead, Slot& slot, Lock& lock) {
  bool handedBack = slot.state == SlotState::kClosing;
  if (handedBack) --ahead->toClose;
  slot.state = SlotState::kBusy;
  HANDLE file = slot.opened.file;
  WakeAnotherIfMore(ahead);
  lock.Release();
  CloseHandle(file);
  lock.Take();
  if (handedBack) --ahead->unclosed;
  --ahead->held;
  slot.state = SlotState::kFree;
  ahead->workerWake.Notify();
  ahead->helpersWake.Notify();
}

void OpenSlot(OpenAhead* ahead, Slot& slot, Lock& lock) {
  ++ahead->held;
  WakeAnotherIfMore(ahead);
  lock.Release();
  AheadFile opened;
  opened.file = OpenAndReadStart(slot.path, &opened.start);
  lock.Take();
  slot.opened = opened;
  if (opened.file == INVALID_HANDLE_VALUE) {
    --ahead->held;
    slot.state = SlotState::kLeft;
  } else {
    slot.state = SlotState::kReady;
  }
  ahead->workerWake.Notify();
}

// A helper: closes what is to be closed first, then opens ahead while there is room, and leaves
// once the look-ahead has ended and nothing is left to close.
DWORD WINAPI HelperProc(LPVOID parameter) {
  OpenAhead* ahead = static_cast<OpenAhead*>(parameter);
  Lock lock(ahead->lock);
  for (;;) {
    ahead->helpersWake.Wait(
        lock, [ahead] { return ahead->ending || ahead->toClose > 0 || CanTakeUp(ahead); });
    if (Slot* slot = ToClose(ahead)) {
      CloseSlot(ahead, *slot, lock);
    } else if (CanTakeUp(ahead)) {
      Slot& slot = TakeUpNext(ahead, SlotState::kOpening);
      if (slot.state == SlotState::kOpening)
        OpenSlot(ahead, slot, lock);
      else
        ahead->workerWake.Notify();
    } else if (ahead->ending) {
      break;
    }
  }
  ahead->helpersWake.Notify();  // the others may have something left to close
  Leave(ahead, lock);
  return 0;
}

}  // namespace

OpenAhead* StartOpenAhead() {
  OpenAhead* ahead = new OpenAhead;
  ahead->lock = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  ahead->helpersWake.event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  ahead->workerWake.event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!ahead->lock || !ahead->helpersWake.event || !ahead->workerWake.event) {
    Free(ahead);
    return nullptr;
  }
  ahead->count = FileListCount();
  for (DWORD offset = 0; offset < kOpenAhead; ++offset) KeepPath(ahead, offset);
  int started = 0;
  for (; started < kHelpers; ++started) {
    {
      Lock lock(ahead->lock);
      ++ahead->users;
    }
    HANDLE helper = CreateThread(nullptr, 0, HelperProc, ahead, 0, nullptr);
    if (helper == nullptr) {
      Lock lock(ahead->lock);
      --ahead->users;
      break;
    }
    CloseHandle(helper);
  }
  if (started > 0) return ahead;
  Free(ahead);
  return nullptr;
}

bool TakeFront(OpenAhead* ahead, AheadFile* opened) {
  if (ahead == nullptr) return false;
  Lock lock(ahead->lock);
  // An entry no helper took up yet is the worker's own, once its slot's last file is closed.
  ahead->workerWake.Wait(lock, [ahead] {
    return ahead->next != ahead->front || SlotOf(ahead, ahead->front).state == SlotState::kFree;
  });
  if (ahead->next == ahead->front) {
    TakeUpNext(ahead, SlotState::kWorker).state = SlotState::kWorker;
    return false;
  }
  Slot& slot = SlotOf(ahead, ahead->front);
  ahead->workerWake.Wait(lock, [&slot] { return slot.state != SlotState::kOpening; });
  bool ready = slot.state == SlotState::kReady;
  slot.state = SlotState::kWorker;
  if (ready) *opened = slot.opened;
  return ready;
}

void HandBack(OpenAhead* ahead, HANDLE file) {
  Lock lock(ahead->lock);
  Slot& slot = SlotOf(ahead, ahead->front);
  slot.opened.file = file;
  slot.state = SlotState::kClosing;
  ++ahead->toClose;
  ++ahead->unclosed;
  ahead->helpersWake.Notify();
}

void AwaitClosed(OpenAhead* ahead) {
  if (ahead == nullptr) return;
  Lock lock(ahead->lock);
  ahead->workerWake.Wait(lock, [ahead] { return ahead->unclosed == 0; });
}

void AdvanceFront(OpenAhead* ahead) {
  if (ahead == nullptr) {
    FileListRemoveFront();
    return;
  }
  Lock lock(ahead->lock);
  Slot& slot = SlotOf(ahead, ahead->front);
  if (slot.state == SlotState::kWorker) {
    slot.state = SlotState::kFree;
    ahead->helpersWake.Notify();
  }
  KeepPath(ahead, kOpenAhead);  // into the slot the front leaves
  ++ahead->front;
  FileListRemoveFront();
  // A full ring may have been waiting for just that slot, closed before the front moved on.
  if (CanTakeUp(ahead)) ahead->helpersWake.Notify();
}

void EndOpenAhead(OpenAhead* ahead) {
  if (ahead == nullptr) return;
  Lock lock(ahead->lock);
  ahead->ending = true;
  // Entries taken up but not reached are closed unchanged by the helpers; one the worker took
  // and left is no one's to close.
  ahead->helpersWake.Notify();
  Leave(ahead, lock);
}

void EndOpenAheadClosingAll(OpenAhead* ahead) {
  Lock lock(ahead->lock);
  ahead->ending = true;
  ahead->helpersWake.Notify();
  ahead->workerWake.Wait(lock, [ahead] { return ahead->held == 0; });
  Leave(ahead, lock);
}
