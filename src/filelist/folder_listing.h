// One folder read whole, as the scan needs it: its identity, then the names of its ".mp3" files
// and of the folders in it to enter, in enumeration order, with why it could not be read, if so.
#pragma once

#include <string>
#include <vector>

#include "platform.h"

// What tells two paths to the same folder apart from two different folders.
struct FolderIdentity {
  DWORD volume;
  DWORD indexHigh;
  DWORD indexLow;
};

bool operator==(const FolderIdentity& one, const FolderIdentity& other);

struct ListedEntry {
  size_t name;    // where its name starts in the listing's names
  size_t length;  // its name's length
  bool folder;
  int ahead;  // the folder's read ahead (a record of FolderReaders), or -1
};

struct Listing {
  std::string names;  // the entries' names back to back, each NUL-terminated
  std::vector<ListedEntry> entries;
  FolderIdentity identity{};
  bool identified = false;  // the identity was read; else unreadError says why not
  bool listed = false;      // the entries were read; else unreadError says why not
  DWORD unreadError = 0;
  // Why the enumeration ended before the folder's end (ERROR_NO_MORE_FILES where it did not).
  DWORD endError = 0;
};

// Reads the folder's identity into listing, emptied first.
void ReadIdentity(LPCSTR folder, Listing* listing);

// Reads the entries matching pattern (the folder's path, the separator and "*.*") into listing.
// find is where the enumeration's handle is kept while it is open, so that a scan ended
// forcibly in the middle of one can close it later.
void ReadEntries(LPCSTR pattern, Listing* listing, HANDLE* find);

// True when the name ends in ".mp3", ASCII letters compared without case.
bool HasMp3Suffix(const char* name, size_t length);
