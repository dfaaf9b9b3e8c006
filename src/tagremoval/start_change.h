// What the start of a file calls for, and making it: an ID3v2 tag emptied in place (its header
// kept, the rest of its region zeros, so that every reader skips it as a tag of padding alone),
// or the zeros an earlier zeroing left before the audio made into such a tag by a header
// written over their first 10 bytes. Decided on the file's first bytes and, where those are
// zeros, on where the zeros end and whether MPEG audio follows them.
#pragma once

#include <cstdint>

#include "tagremoval/steps.h"

namespace removal {

// The largest region a header can announce: the tag's largest size (28 bits) and the header.
inline constexpr int64_t kLargestRegion = (int64_t{1} << 28) - 1 + kHeaderSize;

struct StartChange {
  int64_t end;               // where the change ends; 0: the start stays as it is
  BYTE header[kHeaderSize];  // what the file's first 10 bytes become
  bool headerChanges;        // whether they differ from what the file holds
};

// The size of the region a valid ID3v2 header announces (tag size + header), or -1.
int64_t HeaderRegion(const BYTE header[kHeaderSize]);

// True where the file (of length, once its trailer is cut) begins with a header's worth of
// zeros: then only where they end can say what it is.
bool BeginsWithZeros(const FileStart& start, int64_t length);

// Where the zeros at the start of a file of length end, when MPEG audio begins there (a frame,
// and one frame later another of the same stream, or the end of the file), or -1 in
// *audio. Reads only the zeros, never further than the largest tag could reach, and the two
// frames' headers. False when a read failed.
bool FindAudioAfterZeros(HANDLE file, int64_t length, int64_t* audio, int64_t* reading);

// What the start of a file of length (once its trailer is cut) calls for, on what was read.
StartChange PlanStart(const FileStart& start, int64_t length);

// Makes the change: the header where it changes, then zeros to the change's end.
RemovalOutcome MakeStartChange(HANDLE file, const StartChange& change);

}  // namespace removal
