// Kept apart from RemoveTags, so that a test build can put its own remover in place of both.
#include <cstring>

#include "tagremoval/steps.h"

using namespace removal;

RemovalOutcome RemoveTagsOpened(HANDLE file, const FileStart& start) {
  // Nothing to remove in what was read ahead: nothing to do, and no call at all. A change rests
  // on bytes read at the file's turn, from the cache the read ahead filled.
  if (!HoldsTags(start)) return Done(false);
  FileStart now;
  RemovalOutcome end = ReadTrailer(file, now.trailer, &now.length, nullptr);
  if (now.length < 0) return end;
  // The start is read before the cut as well: a cut empties a FUSE file's cached pages, and
  // reading the start after it would cost a mount a round trip. A read that failed counts
  // after the cut, where RemoveTags, which reads the start then, meets it.
  bool complete = false;
  bool startRead = ReadHeader(file, now.header, &complete, nullptr);
  RemovalOutcome readFailure = startRead ? Done(false) : Failed(RemovalStep::kReadingHeader);
  if (!complete) std::memset(now.header, 0, sizeof now.header);
  bool cut = IsTrailerMarker(now.trailer);
  if (cut) {
    RemovalOutcome cutting = CutTrailer(file);
    if (IsFailure(cutting)) return cutting;
  }
  if (!startRead) return readFailure;
  int64_t zeroed = ZeroedEnd(now);
  return zeroed == 0 ? Done(cut) : WriteZeros(file, zeroed);
}
