// The steps of tag removal on a file already open, shared by the remover that opens the file
// itself and the one that is handed a file opened and read ahead.
#pragma once

#include <cstdint>

#include "tagremoval/tagremoval.h"

namespace removal {

inline constexpr int64_t kTrailerSize = 128;
inline constexpr int64_t kHeaderSize = 10;
inline constexpr size_t kMarkerSize = 3;

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
// Reads the 3 bytes where a trailer would start into marker, and the file's length into
// *length; -1 there where RemoveTags stops (a file too short for a trailer, or cut short
// since), and the outcome says how, a failure included.
RemovalOutcome ReadTrailer(HANDLE file, BYTE* marker, int64_t* length, int64_t* reading);
// Cuts the last 128 bytes off.
RemovalOutcome CutTrailer(HANDLE file);
// Reads the header's 10 bytes at the start.
bool ReadHeader(HANDLE file, BYTE* header, bool* complete, int64_t* reading);
// True when the bytes begin with the ID3v1 trailer's marker.
bool IsTrailerMarker(const BYTE* bytes);
// The size of the region a valid ID3v2 header announces (tag size + header), or -1.
int64_t HeaderRegion(const BYTE header[kHeaderSize]);
// Whether what was read ahead holds a tag to remove, and where the zeroing of the ID3v2 tag
// would end (0: none), as RemoveTags would decide on the file as it was then.
bool HoldsTags(const FileStart& start);
int64_t ZeroedEnd(const FileStart& start);
// Writes zeros over the first count bytes, in ZeroBlock's chunks.
RemovalOutcome WriteZeros(HANDLE file, int64_t count);
// Both steps on a disk file open for writing, each reading what it decides on; the outcome
// says how long its reads took.
RemovalOutcome CleanOpenFile(HANDLE file);

}  // namespace removal
