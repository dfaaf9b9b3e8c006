#include <vector>

#include "common/run_state.h"
#include "filelist/filelist.h"

namespace {

// What tells two paths to the same folder apart from two different folders.
struct FolderIdentity {
  DWORD Volume;
  DWORD IndexHigh;
  DWORD IndexLow;
};

// The folders the scan is inside right now, from the top one down. A link or junction that
// leads back into one of them is not entered again, which ends every cycle.
std::vector<FolderIdentity> OpenFolders;

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
  for (const FolderIdentity& open : OpenFolders) {
    if (open.Volume == identity.Volume && open.IndexHigh == identity.IndexHigh &&
        open.IndexLow == identity.IndexLow) {
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

// Lists one enumeration's entries; the folder text ends in the separator at base.
void ScanEntries(HANDLE find, WIN32_FIND_DATAA* entry, std::string& folder, size_t base) {
  do {
    int length = lstrlenA(entry->cFileName);
    folder.resize(base);
    folder.append(entry->cFileName, static_cast<size_t>(length));
    if ((entry->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && entry->cFileName[0] != '.') {
      ScanFolder(folder);
    } else if (HasMp3Suffix(entry->cFileName, length)) {
      FileListAppend(folder.c_str(), folder.size());
    }
  } while (FindNextEntry(find, entry));
}

}  // namespace

void ScanFolder(std::string folder) {
  if (StopRequested()) return;
  FolderIdentity identity;
  if (!ReadIdentity(folder, &identity) || IsOpenFolder(identity)) return;
  folder += kPathSeparator;
  size_t base = folder.size();
  folder += "*.*";
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstEntry(folder, &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  OpenFolders.push_back(identity);
  ScanEntries(find, &entry, folder, base);
  OpenFolders.pop_back();
  FindClose(find);
}
