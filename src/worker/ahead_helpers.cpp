// The helpers' side of the look-ahead: the threads that open and read ahead and close behind,
// and the ring's bookkeeping that both sides share.
#include <cstring>

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
  for (DWORD before = ahead->front; before < entry && slot.state == SlotState::kOpening; ++before) {
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

namespace {

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

}  // namespace

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

}  // namespace lookahead
