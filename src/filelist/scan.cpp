// The scan's walk: each folder read whole where the walk enters it, by the scan itself or ahead
// of it by the folder readers, and its entries taken in enumeration order.
#include <memory>
#include <vector>

#include "common/failure_record.h"
#include "common/storage_wait.h"
#include "filelist/filelist.h"
#include "filelist/folder_readers.h"

namespace {

// A folder the scan is inside: its entries, the next one to take, and where its names start in
// the scan's path text.
struct OpenFolder {
  Listing* listing;
  int ahead;  // the readers' record it was read into, or -1: the scan's own listing of its depth
  size_t next;
  size_t base;
};

// The folders the scan is inside right now, from the top one down. The stack lives here rather
// than in nested calls, so a tree of any depth costs the thread's stack nothing; its capacity,
// and the scan's own listing for each depth, are kept from one scan to the next. A link or
// junction that leads back into one of these folders is not entered again, which ends every
// cycle.
std::vector<OpenFolder> OpenFolders;
std::vector<std::unique_ptr<Listing>> OwnListings;
// The scan's own enumeration while it is open, closed by the next scan where a worker was ended
// forcibly in the middle of it.
HANDLE OpenFind = INVALID_HANDLE_VALUE;

void CloseAll() {
  OpenFolders.clear();
  if (OpenFind != INVALID_HANDLE_VALUE) FindClose(OpenFind);
  OpenFind = INVALID_HANDLE_VALUE;
}

// One scan: its path text, its stop, and its readers once folders have waited on their storage.
struct Walk {
  Walk(std::string& text, HANDLE stopEvent) : path(text), stop(stopEvent) { CloseAll(); }
  ~Walk() {
    CloseAll();
    if (readers != nullptr) EndFolderReaders(readers);
  }
  std::string& path;
  HANDLE stop;
  FolderReaders* readers = nullptr;
  std::string prefix;
  int waitsInARow = 0;
  int64_t waitedTicks = WaitedTicks();
};

bool IsOpenFolder(const FolderIdentity& identity) {
  for (const OpenFolder& open : OpenFolders) {
    if (open.listing->identity == identity) return true;
  }
  return false;
}

// A folder that could not be read holds files that were not changed: it is recorded, with the
// system's reason (an enumeration given up after names that kept not fitting says
// ERROR_MORE_DATA). An enumeration that simply ended, or found nothing (an empty drive's root
// has not even "." and ".."), is no failure.
void RecordUnreadFolder(const std::string& path, size_t length, LPCSTR what, DWORD error) {
  if (error == ERROR_NO_MORE_FILES || error == ERROR_FILE_NOT_FOUND) return;
  RecordFailure(path.substr(0, length).c_str(), what, error);
}

bool Stopped(HANDLE stop) {
  return stop != nullptr && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0;
}

// The folders of an open folder from its next entry on that have no record yet, asked for.
void AskInside(Walk& walk, OpenFolder& open) {
  walk.prefix.assign(walk.path, 0, open.base);
  Listing& listing = *open.listing;
  for (size_t i = open.next; i < listing.entries.size(); ++i) {
    ListedEntry& entry = listing.entries[i];
    if (entry.folder && entry.ahead < 0) {
      entry.ahead =
          ReadAhead(walk.readers, walk.prefix, &listing.names[entry.name], entry.length, true);
    }
  }
}

// The scan's own read of a folder's identity, timed: after kWaitsInARow that waited, the
// readers start on every folder ahead of the walk, the innermost first.
Listing* ReadOwnIdentity(Walk& walk) {
  size_t depth = OpenFolders.size();
  while (OwnListings.size() <= depth) OwnListings.push_back(std::make_unique<Listing>());
  Listing* listing = OwnListings[depth].get();
  int64_t started = TicksNow();
  ReadIdentity(walk.path.c_str(), listing);
  bool waited = TicksNow() - started >= walk.waitedTicks;
  walk.waitsInARow = waited ? walk.waitsInARow + 1 : 0;
  return listing;
}

void StartReadingAhead(Walk& walk) {
  if (walk.readers != nullptr || walk.waitsInARow < kWaitsInARow) return;
  walk.readers = StartFolderReaders();
  if (walk.readers == nullptr) return;
  for (size_t level = OpenFolders.size(); level > 0; --level)
    AskInside(walk, OpenFolders[level - 1]);
}

// Enters the folder the path text names, unless stop is set, it cannot be read, or the scan is
// inside it already; ahead is its record where the readers read it. The path text is left
// with the separator appended.
bool EnterFolder(Walk& walk, int ahead) {
  if (Stopped(walk.stop)) {
    if (ahead >= 0) ReleaseRead(walk.readers, ahead);
    return false;
  }
  size_t length = walk.path.size();
  Listing* listing = ahead >= 0 ? TakeRead(walk.readers, ahead) : ReadOwnIdentity(walk);
  bool enter = listing->identified && !IsOpenFolder(listing->identity);
  walk.path += kPathSeparator;
  size_t base = walk.path.size();
  if (enter && ahead < 0) {
    walk.path += "*.*";
    ReadEntries(walk.path.c_str(), listing, &OpenFind);
  }
  if (!listing->identified || (enter && !listing->listed))
    RecordUnreadFolder(walk.path, length, "could not be read", listing->unreadError);
  if (!enter || !listing->listed) {
    if (ahead >= 0) ReleaseRead(walk.readers, ahead);
    return false;
  }
  OpenFolders.push_back({listing, ahead, 0, base});
  if (walk.readers != nullptr) AskInside(walk, OpenFolders.back());
  StartReadingAhead(walk);
  return true;
}

// Takes the next entry of the innermost folder: a file is listed, a folder entered. A folder
// whose entries are used up is left, with what cut its enumeration short recorded. False once
// the outermost one is left.
bool Step(Walk& walk) {
  OpenFolder& open = OpenFolders.back();
  Listing& listing = *open.listing;
  if (open.next == listing.entries.size()) {
    RecordUnreadFolder(walk.path, open.base - 1, "could not be read to its end", listing.endError);
    if (open.ahead >= 0) ReleaseRead(walk.readers, open.ahead);
    OpenFolders.pop_back();
    return !OpenFolders.empty();
  }
  ListedEntry& entry = listing.entries[open.next++];
  walk.path.resize(open.base);
  walk.path.append(&listing.names[entry.name], entry.length);
  if (!entry.folder) {
    FileListAppend(walk.path.c_str(), walk.path.size());
    return true;
  }
  int ahead = entry.ahead;
  entry.ahead = -1;  // the walk's now, entered or let go
  EnterFolder(walk, ahead);
  return true;
}

}  // namespace

// A folder is entered where its enumeration met it, so its whole subtree is listed at that
// position, and the folder it was met in goes on once that subtree has ended. One path text
// serves every level: each name is written over the path after its folder's base.
void ScanFolder(std::string folder, HANDLE stop) {
  Walk walk(folder, stop);
  if (!EnterFolder(walk, -1)) return;
  while (Step(walk)) {
  }
}
