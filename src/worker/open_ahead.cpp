#include "worker/open_ahead.h"

#include <cstring>

#include "filelist/filelist.h"
#include "worker/ahead_ring.h"

using namespace lookahead;

namespace {

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
