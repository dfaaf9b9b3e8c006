#include <vector>

#include "common/failure_record.h"
#include "filelist/filelist.h"

namespace {

// What tells two paths to the same folder apart from two different folders.
struct FolderIdentity {
  DWORD Volume;
  DWORD IndexHigh;
  DWORD IndexLow;
};

// A folder whose enumeration is under way: its names start at base in the scan's path text.
struct OpenFolder {
  HANDLE find;
  FolderIdentity identity;
  size_t base;
};

// The folders the scan is inside right now, from the top one down, each with its enumeration
// open. The stack lives here rather than in nested calls, so a tree of any depth costs the
// thread's stack nothing, and its capacity is kept from one scan to the next. A link or
// junction that leads back into one of these folders is not entered again, which ends every
// cycle.
std::vector<OpenFolder> OpenFolders;

bool ReadIdentity(const std::string& folder, FolderIdentity* identity) {
  HANDLE handle =
      CreateFileA(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  BOOL ok = GetFileInformationByHandle(handle, &information);
  CloseHandle(handle);
  if (!ok) return false;
  *identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh,
               information.nFileIndexLow};
  return true;
}

bool IsOpenFolder(const FolderIdentity& identity) {
  for (const OpenFolder& open : OpenFolders) {
    if (open.identity.Volume == identity.Volume && open.identity.IndexHigh == identity.IndexHigh &&
        open.identity.IndexLow == identity.IndexLow) {
      return true;
    }
  }
  return false;
}

// True when the name ends in ".mp3", ASCII letters compared without case.
bool HasMp3Suffix(const char* name, int length) {
  if (length < 4) return false;
  const char* suffix = name + length - 4;
  static const char kWanted[] = ".mp3";
  for (int i = 0; i < 4; ++i) {
    char c = suffix[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kWanted[i]) return false;
  }
  return true;
}

// The enumeration asks for no 8.3 names, which can be what does not fit WIN32_FIND_DATAA;
// systems before Windows 7 refuse that level and are asked for the standard one.
HANDLE FindFirstEntry(const std::string& pattern, WIN32_FIND_DATAA* entry) {
  HANDLE find =
      FindFirstFileExA(pattern.c_str(), FindExInfoBasic, entry, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
    find = FindFirstFileExA(pattern.c_str(), FindExInfoStandard, entry, FindExSearchNameMatch,
                            nullptr, 0);
  }
  return find;
}

// In UTF-8 a character takes up to three bytes, so a name can be too long for cFileName:
// FindNextFileA then fails with ERROR_MORE_DATA and has gone past that entry. Such an entry is
// skipped rather than taken for the folder's end; a system that keeps failing so without
// moving on ends the folder after this many in a row.
constexpr int kMaxEntriesSkippedInARow = 64;

bool FindNextEntry(HANDLE find, WIN32_FIND_DATAA* entry) {
  for (int skipped = 0; skipped < kMaxEntriesSkippedInARow; ++skipped) {
    if (FindNextFileA(find, entry)) return true;
    if (GetLastError() != ERROR_MORE_DATA) return false;
  }
  return false;
}

// A folder that could not be read holds files that were not changed: it is recorded, with the
// system's reason (an enumeration given up after names that kept not fitting says
// ERROR_MORE_DATA). An enumeration that simply ended, or found nothing (an empty drive's root
// has not even "." and ".."), is no failure.
void RecordUnreadFolder(const std::string& path, size_t length, LPCSTR what) {
  DWORD error = GetLastError();
  if (error == ERROR_NO_MORE_FILES || error == ERROR_FILE_NOT_FOUND) return;
  RecordFailure(path.substr(0, length).c_str(), what, error);
}

bool Stopped(HANDLE stop) {
  return stop != nullptr && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0;
}

// Enters the folder the path text names, unless stop is set, it cannot be read or enumerated, or
// the scan is inside it already: its enumeration is pushed, with its first entry in entry. The
// path text is left with the separator and the pattern appended. The stack grows before the
// enumeration opens, so that growing it cannot fail with a handle in hand.
bool EnterFolder(std::string& path, WIN32_FIND_DATAA* entry, HANDLE stop) {
  if (Stopped(stop)) return false;
  FolderIdentity identity;
  if (!ReadIdentity(path, &identity)) {
    RecordUnreadFolder(path, path.size(), "could not be read");
    return false;
  }
  if (IsOpenFolder(identity)) return false;
  size_t length = path.size();
  path += kPathSeparator;
  size_t base = path.size();
  path += "*.*";
  OpenFolders.push_back({INVALID_HANDLE_VALUE, identity, base});
  OpenFolders.back().find = FindFirstEntry(path, entry);
  if (OpenFolders.back().find != INVALID_HANDLE_VALUE) return true;
  RecordUnreadFolder(path, length, "could not be read");
  OpenFolders.pop_back();
  return false;
}

// Moves entry on to the next entry of the innermost folder, leaving every folder whose
// enumeration has ended; false once the outermost one has ended.
bool NextEntry(const std::string& path, WIN32_FIND_DATAA* entry) {
  while (!OpenFolders.empty()) {
    if (FindNextEntry(OpenFolders.back().find, entry)) return true;
    RecordUnreadFolder(path, OpenFolders.back().base - 1, "could not be read to its end");
    FindClose(OpenFolders.back().find);
    OpenFolders.pop_back();
  }
  return false;
}

// Takes the entry at hand in the innermost open folder: a matching file is listed, a folder is
// entered. True when one was: entry then holds that folder's first entry.
bool TakeEntry(std::string& path, WIN32_FIND_DATAA* entry, HANDLE stop) {
  int length = lstrlenA(entry->cFileName);
  path.resize(OpenFolders.back().base);
  path.append(entry->cFileName, static_cast<size_t>(length));
  if ((entry->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && entry->cFileName[0] != '.') {
    return EnterFolder(path, entry, stop);
  }
  if (HasMp3Suffix(entry->cFileName, length)) FileListAppend(path.c_str(), path.size());
  return false;
}

// Closes the enumerations a scan left open: when it is cut short by an exception, and, before
// the next scan starts, those of a worker that was ended forcibly in the middle of one.
void CloseAll() {
  for (const OpenFolder& open : OpenFolders) FindClose(open.find);
  OpenFolders.clear();
}

struct CloseOpenFolders {
  CloseOpenFolders() { CloseAll(); }
  ~CloseOpenFolders() { CloseAll(); }
};

}  // namespace

// A folder is entered where its enumeration met it, so its whole subtree is listed at that
// position, and the folder it was met in goes on once that subtree has ended. One entry record
// and one path text serve every level: each name is written over the path after its folder's
// base.
void ScanFolder(std::string folder, HANDLE stop) {
  CloseOpenFolders closer;
  WIN32_FIND_DATAA entry;
  if (!EnterFolder(folder, &entry, stop)) return;
  while (TakeEntry(folder, &entry, stop) || NextEntry(folder, &entry)) {
  }
}
