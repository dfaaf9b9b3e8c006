// Removal of the ID3 tags of one MP3 file, in place, and what became of the file.
#pragma once

#include <cstdint>

#include "platform.h"

// The source of every write RemoveTags makes: 4096 zero bytes in static storage.
extern const BYTE ZeroBlock[4096];

enum class RemovalResult {
  kChanged,          // a trailer cut, a tag emptied or zeros made a tag, or both
  kNothingToRemove,  // no tag, or a file too short for one: not a failure
  kNotOpened,        // the file could not be opened for reading and writing
  kNotRegularFile,   // a folder or a device: never changed
  kFailed,           // a call failed while the file was being read or changed
};

// The step a failure cut short; every step before it is done and stays done.
enum class RemovalStep { kNone, kReadingTrailer, kCuttingTrailer, kReadingHeader, kZeroingTag };

// What RemoveTags did, with the system's error (GetLastError) for a file it could not open or
// change; 0 where the system reported none (a write cut short).
struct RemovalOutcome {
  RemovalResult result;
  RemovalStep step;
  DWORD error;
  // The performance counter's ticks its open and its reads took: the calls a look-ahead could
  // make before the file's turn. Its changes are not counted: nothing can make them earlier.
  int64_t readTicks = 0;
};

// The ID3v2 header's 10 bytes and the first byte after them: whether a tag holds anything.
inline constexpr DWORD kStartBytes = 11;

// What a file held when it was read, at its turn or ahead of it: its length, and the bytes the
// decision needs (where a trailer would start, the start of the file) and, where the file
// begins with zeros, where the MPEG audio after them begins.
struct FileStart {
  int64_t length;
  BYTE trailer[3];
  BYTE start[kStartBytes];
  DWORD startRead;          // how many of those bytes the file held
  int64_t audioAfterZeros;  // -1: no zeros, or no audio right after them
};

// Truncates an ID3v1 trailer from the end of the file, then empties an ID3v2 tag at its start
// in place: its header stays, with no flag but a version 4 footer's, and the rest of its region
// becomes zeros, which players skip as the tag's padding. A tag that holds padding alone is left
// as it is; zeros that an earlier zeroing left before the audio get a header that makes them
// such a tag. Says what became of the file; a failure ends the work on that file.
RemovalOutcome RemoveTags(LPCSTR path);

// True for the outcomes that leave a file not as the user asked: to be reported.
inline bool IsFailure(const RemovalOutcome& outcome) {
  return outcome.result != RemovalResult::kChanged &&
         outcome.result != RemovalResult::kNothingToRemove;
}

// Opens a file as RemoveTags does and reads what the decision needs, changing nothing. Returns
// the handle, or INVALID_HANDLE_VALUE (nothing left open) when anything is not as RemoveTags
// would want it (not opened, not a disk file, a read that failed): RemoveTags then decides.
HANDLE OpenAndReadStart(LPCSTR path, FileStart* start);

// RemoveTags on a file OpenAndReadStart opened, with the same outcome and the same bytes
// changed: a file that held nothing to remove when it was read costs no call; one that held a
// tag is read again, at once, and changed as those bytes say. On Windows the share mode kept
// other writers out since the file was read; on Linux a tag another program added meanwhile is
// left, as the file was when it was read. Leaves the file open.
RemovalOutcome RemoveTagsOpened(HANDLE file, const FileStart& start);
