#include "filelist/folder_listing.h"

#include <cstring>

bool operator==(const FolderIdentity& one, const FolderIdentity& other) {
  return one.volume == other.volume && one.indexHigh == other.indexHigh &&
         one.indexLow == other.indexLow;
}

void ReadIdentity(LPCSTR folder, Listing* listing) {
  listing->names.clear();
  listing->entries.clear();
  listing->identified = listing->listed = false;
  listing->unreadError = 0;
  listing->endError = ERROR_NO_MORE_FILES;
  HANDLE handle = CreateFileA(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    listing->unreadError = GetLastError();
    return;
  }
  BY_HANDLE_FILE_INFORMATION information;
  BOOL ok = GetFileInformationByHandle(handle, &information);
  listing->unreadError = ok ? 0 : GetLastError();
  CloseHandle(handle);
  if (!ok) return;
  listing->identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh,
                       information.nFileIndexLow};
  listing->identified = true;
}

bool HasMp3Suffix(const char* name, size_t length) {
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

namespace {

// The enumeration asks for no 8.3 names, which can be what does not fit WIN32_FIND_DATAA;
// systems before Windows 7 refuse that level and are asked for the standard one.
HANDLE FindFirstEntry(LPCSTR pattern, WIN32_FIND_DATAA* entry) {
  HANDLE find =
      FindFirstFileExA(pattern, FindExInfoBasic, entry, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
    find = FindFirstFileExA(pattern, FindExInfoStandard, entry, FindExSearchNameMatch, nullptr, 0);
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

// Keeps what the scan takes: a folder to enter (".", ".." and every name starting with a dot
// are not), else a name ending in ".mp3".
void Keep(const WIN32_FIND_DATAA& entry, Listing* listing) {
  size_t length = std::strlen(entry.cFileName);
  bool folder =
      (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && entry.cFileName[0] != '.';
  if (!folder && !HasMp3Suffix(entry.cFileName, length)) return;
  listing->entries.push_back({listing->names.size(), length, folder, -1});
  listing->names.append(entry.cFileName, length + 1);
}

}  // namespace

void ReadEntries(LPCSTR pattern, Listing* listing, HANDLE* find) {
  WIN32_FIND_DATAA entry;
  *find = FindFirstEntry(pattern, &entry);
  if (*find == INVALID_HANDLE_VALUE) {
    listing->unreadError = GetLastError();
    return;
  }
  listing->listed = true;
  do {
    Keep(entry, listing);
  } while (FindNextEntry(*find, &entry));
  listing->endError = GetLastError();
  FindClose(*find);
  *find = INVALID_HANDLE_VALUE;
}
