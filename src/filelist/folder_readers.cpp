#include "filelist/folder_readers.h"

#include "common/detached_thread.h"

namespace {

// More readers than this keep no mount busier: a NAS serves a few dozen requests at once.
constexpr int kMaxReaders = 16;
const char kAllEntries[] = "*.*";

enum class RecordState { kFree, kAsked, kReading, kRead, kTaken };

struct Record {
  RecordState state = RecordState::kFree;
  bool dropped = false;  // let go while it was being read: freed once that read returns
  bool andInside = false;
  unsigned long long asked = 0;  // the order records are read in
  std::string folder;
  std::string pattern;
  Listing listing;
};

}  // namespace

struct FolderReaders {
  CRITICAL_SECTION lock;
  CONDITION_VARIABLE work;  // a record asked for, or the end
  CONDITION_VARIABLE read;  // a record read
  Record records[kFoldersAhead];
  unsigned long long asked = 0;
  int waiting = 0;  // records asked for and not taken up
  int readers = 0;
  int idle = 0;
  int users = 1;  // the scan and each reader; the last one frees the object
  bool ending = false;
};

namespace {

void Free(Record& record) {
  record.state = RecordState::kFree;
  record.dropped = false;
}

void Drop(FolderReaders* readers, int index) {
  Record& record = readers->records[index];
  switch (record.state) {
    case RecordState::kAsked:
      --readers->waiting;
      Free(record);
      break;
    case RecordState::kReading:
      record.dropped = true;
      break;
    case RecordState::kRead:
    case RecordState::kTaken:
      for (const ListedEntry& entry : record.listing.entries) {
        if (entry.ahead >= 0) Drop(readers, entry.ahead);
      }
      Free(record);
      break;
    case RecordState::kFree:
      break;
  }
}

int Ask(FolderReaders* readers, const std::string& prefix, const char* name, size_t length,
        bool andInside);

// Reads a record with the lock let go meanwhile; once read, the folders in it are asked for
// where it says so.
void ReadRecord(FolderReaders* readers, Record& record) {
  record.state = RecordState::kReading;
  --readers->waiting;
  LeaveCriticalSection(&readers->lock);
  ReadIdentity(record.folder.c_str(), &record.listing);
  HANDLE find = INVALID_HANDLE_VALUE;
  if (record.listing.identified) ReadEntries(record.pattern.c_str(), &record.listing, &find);
  EnterCriticalSection(&readers->lock);
  if (record.dropped || readers->ending) {
    Free(record);
    return;
  }
  if (record.andInside) {
    std::string prefix = record.folder + kPathSeparator;
    for (ListedEntry& entry : record.listing.entries) {
      if (entry.folder)
        entry.ahead = Ask(readers, prefix, &record.listing.names[entry.name], entry.length, false);
    }
  }
  record.state = RecordState::kRead;
  WakeAllConditionVariable(&readers->read);
}

Record* OldestAsked(FolderReaders* readers) {
  Record* oldest = nullptr;
  for (Record& record : readers->records) {
    if (record.state == RecordState::kAsked && (oldest == nullptr || record.asked < oldest->asked))
      oldest = &record;
  }
  return oldest;
}

void Leave(FolderReaders* readers) {
  bool last = --readers->users == 0;
  LeaveCriticalSection(&readers->lock);
  if (!last) return;
  DeleteCriticalSection(&readers->lock);
  delete readers;
}

DWORD WINAPI ReaderProc(LPVOID parameter) {
  FolderReaders* readers = static_cast<FolderReaders*>(parameter);
  EnterCriticalSection(&readers->lock);
  while (!readers->ending) {
    if (Record* record = readers->waiting > 0 ? OldestAsked(readers) : nullptr) {
      ReadRecord(readers, *record);
    } else {
      ++readers->idle;
      SleepConditionVariableCS(&readers->work, &readers->lock, INFINITE);
      --readers->idle;
    }
  }
  Leave(readers);
  return 0;
}

// One more reader, under the lock; false when none could be started.
bool StartReader(FolderReaders* readers) {
  ++readers->readers;
  ++readers->users;
  if (StartDetachedThread(ReaderProc, readers)) return true;
  --readers->readers;
  --readers->users;
  return false;
}

int Ask(FolderReaders* readers, const std::string& prefix, const char* name, size_t length,
        bool andInside) {
  for (int index = 0; index < kFoldersAhead; ++index) {
    Record& record = readers->records[index];
    if (record.state != RecordState::kFree) continue;
    record.state = RecordState::kAsked;
    record.andInside = andInside;
    record.asked = readers->asked++;
    record.folder.assign(prefix).append(name, length);
    record.pattern.assign(record.folder).append(kPathSeparator).append(kAllEntries);
    ++readers->waiting;
    if (readers->idle > 0)
      WakeConditionVariable(&readers->work);
    else if (readers->readers < kMaxReaders)
      StartReader(readers);
    return index;
  }
  return -1;
}

}  // namespace

FolderReaders* StartFolderReaders() {
  FolderReaders* readers = new FolderReaders;
  InitializeCriticalSection(&readers->lock);
  InitializeConditionVariable(&readers->work);
  InitializeConditionVariable(&readers->read);
  EnterCriticalSection(&readers->lock);
  if (StartReader(readers)) {
    LeaveCriticalSection(&readers->lock);
    return readers;
  }
  readers->ending = true;
  Leave(readers);
  return nullptr;
}

int ReadAhead(FolderReaders* readers, const std::string& prefix, const char* name, size_t length,
              bool andInside) {
  EnterCriticalSection(&readers->lock);
  int record = Ask(readers, prefix, name, length, andInside);
  LeaveCriticalSection(&readers->lock);
  return record;
}

Listing* TakeRead(FolderReaders* readers, int index) {
  Record& record = readers->records[index];
  EnterCriticalSection(&readers->lock);
  if (record.state == RecordState::kAsked) ReadRecord(readers, record);
  while (record.state == RecordState::kReading)
    SleepConditionVariableCS(&readers->read, &readers->lock, INFINITE);
  record.state = RecordState::kTaken;
  LeaveCriticalSection(&readers->lock);
  return &record.listing;
}

void ReleaseRead(FolderReaders* readers, int record) {
  EnterCriticalSection(&readers->lock);
  Drop(readers, record);
  LeaveCriticalSection(&readers->lock);
}

void EndFolderReaders(FolderReaders* readers) {
  EnterCriticalSection(&readers->lock);
  readers->ending = true;
  for (int index = 0; index < kFoldersAhead; ++index) {
    if (readers->records[index].state != RecordState::kReading) Free(readers->records[index]);
  }
  WakeAllConditionVariable(&readers->work);
  Leave(readers);
}
