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

// Where the worker must wait for helpers, it changes or closes what is waiting itself rather
// than wait for a helper, which may be in a long open of a file far ahead.
template <typename Ready>
void WorkUntil(OpenAhead* ahead, Lock& lock, Ready ready) {
  while (!ready()) {
    Slot* slot = ToChange(ahead);
    if (slot == nullptr) slot = ToClose(ahead);
    if (slot != nullptr && slot->state == SlotState::kToChange)
      ChangeSlot(ahead, *slot, lock);
    else if (slot != nullptr && slot->state == SlotState::kClosing)
      CloseSlot(ahead, *slot, lock);
    else
      SleepConditionVariableCS(&ahead->workerWake, &lock.Section(), INFINITE);
  }
}

bool Unended(const Slot& slot) {
  return slot.state == SlotState::kToChange || slot.state == SlotState::kChanging;
}

// Reports the changes of the entries before until in the list's order, up to the first still
// under way, or, where wait says, once each has ended. The ring moves on past each entry
// reported or never changed here, its slot taking the path of the entry kOpenAhead after it.
void Report(OpenAhead* ahead, Lock& lock, DWORD until, bool wait) {
  while (ahead->oldest < until) {
    Slot& slot = SlotOf(ahead, ahead->oldest);
    if (Unended(slot)) {
      if (!wait) return;
      WorkUntil(ahead, lock, [&slot] { return !Unended(slot); });
    }
    if (slot.state == SlotState::kChanged) {
      LeaveCriticalSection(&lock.Section());
      ahead->report(slot.path, slot.outcome);
      EnterCriticalSection(&lock.Section());
      slot.state = SlotState::kFree;
    }
    KeepPath(ahead, ahead->oldest + kOpenAhead - ahead->front);
    ++ahead->oldest;
  }
  WakeHelperFor(ahead, false);
}

bool SameFile(const FileIdentity& one, const FileIdentity& other) {
  return !one.known || !other.known ||
         (one.volume == other.volume && one.indexHigh == other.indexHigh &&
          one.indexLow == other.indexLow);
}

}  // namespace

OpenAhead* StartOpenAhead(ReportChange report) {
  OpenAhead* ahead = new OpenAhead;
  ahead->report = report;
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
      WorkUntil(ahead, lock, [ahead, &slot] {
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

void StartChange(OpenAhead* ahead) {
  Lock lock(ahead->lock);
  Slot& front = SlotOf(ahead, ahead->front);
  DWORD sameFile = ahead->oldest;
  for (DWORD entry = ahead->oldest; entry < ahead->front; ++entry) {
    const Slot& slot = SlotOf(ahead, entry);
    if (Unended(slot) && SameFile(slot.identity, front.identity)) sameFile = entry + 1;
  }
  Report(ahead, lock, sameFile, true);
  front.state = SlotState::kToChange;
  ++ahead->toChange;
  ++ahead->unclosed;
  WakeHelperFor(ahead, true);
  if (ahead->front + 1 - ahead->oldest < kChangesInFlight) return;
  Report(ahead, lock, ahead->oldest + 1, true);
}

void AwaitClosed(OpenAhead* ahead) {
  if (ahead == nullptr) return;
  Lock lock(ahead->lock);
  Report(ahead, lock, ahead->front, true);
  WorkUntil(ahead, lock, [ahead] { return ahead->unclosed == 0; });
}

void AdvanceFront(OpenAhead* ahead) {
  if (ahead == nullptr) {
    FileListRemoveFront();
    return;
  }
  Lock lock(ahead->lock);
  Slot& slot = SlotOf(ahead, ahead->front);
  if (slot.state == SlotState::kWorker) slot.state = SlotState::kFree;
  ++ahead->front;
  FileListRemoveFront();
  Report(ahead, lock, ahead->front, false);
}

namespace {

// The helpers close what is left and leave; the last one out, or the worker, frees it.
void End(OpenAhead* ahead, bool awaitClosed) {
  bool last = false;
  {
    Lock lock(ahead->lock);
    Report(ahead, lock, ahead->front, true);
    // A stop after the front's go-ahead: that change ends, and is reported, too.
    const Slot& front = SlotOf(ahead, ahead->front);
    if (ahead->front < ahead->count && (Unended(front) || front.state == SlotState::kChanged))
      Report(ahead, lock, ahead->front + 1, true);
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
