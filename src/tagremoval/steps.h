// The steps of tag removal on a file already open, shared by the remover that opens the file
// itself and the one that is handed a file opened and read ahead.
#pragma once

#include <cstdint>

#include "tagremoval/tagremoval.h"

namespace removal {

inline constexpr int64_t kTrailerSize = 128;
inline constexpr int64_t kHeaderSize = 10;
inline constexpr size_t kMarkerSize = 3;
static_assert(kStartBytes == kHeaderSize + 1);

// Opens a file as the remover changes it: read and write, others may only read; flags as
// CreateFileA takes them.
HANDLE OpenForChange(LPCSTR path, DWORD flags = 0);

RemovalOutcome Done(bool changed);
RemovalOutcome Failed(RemovalStep step);
bool MoveTo(HANDLE file, int64_t distance, DWORD origin, int64_t* position);
// The performance counter now.
int64_t Ticks();
// Reads count bytes at the position; *complete is false when the file ended first. Where
// reading is given, the ticks the read took are added to it.
bool Read(HANDLE file, BYTE* buffer, DWORD count, bool* complete, int64_t* reading = nullptr);
// Reads all count bytes at offset; false also when the file ended first.
bool ReadAt(HANDLE file, int64_t offset, BYTE* bytes, DWORD count, int64_t* reading = nullptr);
// Reads the 3 bytes where a trailer would start into marker, and the file's length into
// *length; -1 there where RemoveTags stops (a file too short for a trailer, or cut short
// since), and the outcome says how, a failure included.
RemovalOutcome ReadTrailer(HANDLE file, BYTE* marker, int64_t* length, int64_t* reading);
// Cuts the last 128 bytes off.
RemovalOutcome CutTrailer(HANDLE file);
// True when the bytes begin with the ID3v1 trailer's marker.
bool IsTrailerMarker(const BYTE* bytes);
// The file's length once a trailer the bytes read show is cut.
int64_t LengthAfterCut(const FileStart& start);
// Reads the start of a file whose length (once its trailer is cut) is given, and where it is
// zeros, reads on to where they end. Before or after the cut alike: nothing it reads lies in
// the trailer.
bool ReadFileStart(HANDLE file, int64_t length, FileStart* start, int64_t* reading);
// Whether what was read holds a tag to remove, and where the change at the start would end
// (0: none), as RemoveTags would decide on the file as it was then.
bool HoldsTags(const FileStart& start);
int64_t StartChangeEnd(const FileStart& start);
// Writes zeros from the position from up to to, in ZeroBlock's chunks, each ending where a
// chunk counted from the start of the file ends, as the system's cache pages do.
RemovalOutcome WriteZeros(HANDLE file, int64_t from, int64_t to);
// Both steps on a disk file open for writing, each reading what it decides on; the outcome
// says how long its reads took.
RemovalOutcome CleanOpenFile(HANDLE file);

}  // namespace removal
