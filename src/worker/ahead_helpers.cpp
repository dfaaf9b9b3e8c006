// The helpers' side of the look-ahead: the threads that open and read ahead, change what the
// worker gave the go-ahead for and close behind, and the ring's bookkeeping both sides share.
#include <cstring>

#include "common/detached_thread.h"
#include "worker/ahead_ring.h"

namespace lookahead {
namespace {

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

}  // namespace

Slot& TakeUpNext(OpenAhead* ahead, SlotState state) {
  DWORD entry = ahead->next++;
  Slot& slot = SlotOf(ahead, entry);
  slot.state = slot.pathKept ? state : SlotState::kLeft;
  for (DWORD before = ahead->oldest; before < entry && slot.state == SlotState::kOpening;
       ++before) {
    const Slot& other = SlotOf(ahead, before);
    if (other.pathKept && std::strcmp(other.path, slot.path) == 0) slot.state = SlotState::kLeft;
  }
  return slot;
}

Slot* ToClose(OpenAhead* ahead) {
  for (Slot& slot : ahead->slots) {
    if (slot.state == SlotState::kClosing || (ahead->ending && slot.state == SlotState::kReady)) {
      return &slot;
    }
  }
  return nullptr;
}

Slot* ToChange(OpenAhead* ahead) {
  for (DWORD entry = ahead->oldest; ahead->toChange > 0 && entry <= ahead->front; ++entry) {
    if (SlotOf(ahead, entry).state == SlotState::kToChange) return &SlotOf(ahead, entry);
  }
  return nullptr;
}

// A change is a helper's job at once: the ring moves on only as the changes end.
void WakeHelperFor(OpenAhead* ahead, bool workerWaits) {
  if (ahead->idle == 0) return;
  DWORD entries = EntriesToTakeUp(ahead);
  bool batch = entries == kWakeBatch || (entries > 0 && ahead->next + entries == ahead->count);
  if (batch || ahead->toChange > 0 || ahead->toClose >= kWakeBatch ||
      (workerWaits && (entries > 0 || ahead->toClose))) {
    WakeConditionVariable(&ahead->helpersWork);
  }
}

void Free(OpenAhead* ahead) {
  DeleteCriticalSection(&ahead->lock);
  delete ahead;
}

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

void ChangeSlot(OpenAhead* ahead, Slot& slot, Lock& lock) {
  --ahead->toChange;
  slot.state = SlotState::kChanging;
  AheadFile opened = slot.opened;
  LeaveCriticalSection(&lock.Section());
  RemovalOutcome outcome = RemoveTagsOpened(opened.file, opened.start);
  CloseHandle(opened.file);
  EnterCriticalSection(&lock.Section());
  slot.outcome = outcome;
  slot.state = SlotState::kChanged;
  --ahead->unclosed;
  --ahead->held;
  WakeConditionVariable(&ahead->workerWake);
}

namespace {

// The file's identity, so that a change under way of the same file by another name is waited
// for; unknown, it is taken for every file's.
FileIdentity IdentityOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file, &information)) return {};
  return {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow,
          true};
}

void OpenSlot(OpenAhead* ahead, Slot& slot, Lock& lock) {
  ++ahead->held;
  LeaveCriticalSection(&lock.Section());
  AheadFile opened;
  opened.file = OpenAndReadStart(slot.path, &opened.start);
  FileIdentity identity =
      opened.file != INVALID_HANDLE_VALUE ? IdentityOf(opened.file) : FileIdentity{};
  EnterCriticalSection(&lock.Section());
  slot.opened = opened;
  slot.identity = identity;
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
      if (Slot* slot = ToChange(ahead)) {
        WakeHelperFor(ahead, false);
        ChangeSlot(ahead, *slot, lock);
      } else if (Slot* slot = ToClose(ahead)) {
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

}  // namespace

bool StartHelper(OpenAhead* ahead) {
  {
    Lock lock(ahead->lock);
    if (ahead->helpers == kMaxHelpers) return true;
    ++ahead->helpers;
    ++ahead->users;
  }
  if (StartDetachedThread(HelperProc, ahead)) return true;
  Lock lock(ahead->lock);
  --ahead->helpers;
  --ahead->users;
  return false;
}

}  // namespace lookahead
