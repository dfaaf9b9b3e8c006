// Kept apart from RemoveTags, so that a test build can put its own remover in place of both.
#include <cstring>

#include "tagremoval/steps.h"

using namespace removal;

namespace {

// The bytes the decision rests on, read again at the file's turn: both before any change, so
// that the cut drops no cached page the header is read from. A file whose length leaves fewer
// than a header's bytes after the cut holds no header (ZeroedEnd), as when it is read after it.
RemovalOutcome ReadAgain(HANDLE file, FileStart* now) {
  int64_t trailer = 0;
  bool complete = false;
  if (!MoveTo(file, -kTrailerSize, FILE_END, &trailer)) {
    if (GetLastError() == ERROR_NEGATIVE_SEEK) return Done(false);
    return Failed(RemovalStep::kReadingTrailer);
  }
  if (!Read(file, now->trailer, sizeof now->trailer, &complete)) {
    return Failed(RemovalStep::kReadingTrailer);
  }
  if (!complete) return Done(false);  // cut short by someone else since the move
  now->length = trailer + kTrailerSize;
  if (!MoveTo(file, 0, FILE_BEGIN, nullptr) ||
      !Read(file, now->header, sizeof now->header, &complete)) {
    return Failed(RemovalStep::kReadingHeader);
  }
  if (!complete) std::memset(now->header, 0, sizeof now->header);
  return {RemovalResult::kChanged, RemovalStep::kNone, 0};
}

}  // namespace

RemovalOutcome RemoveTagsOpened(HANDLE file, const FileStart& start) {
  // Nothing to remove in what was read ahead: nothing to do, and no call at all. A change rests
  // on bytes read at the file's turn, from the cache the read ahead filled.
  if (!HoldsTags(start)) return Done(false);
  FileStart now;
  RemovalOutcome read = ReadAgain(file, &now);
  if (read.result != RemovalResult::kChanged) return read;
  bool cut = IsTrailerMarker(now.trailer);
  if (cut &&
      (!MoveTo(file, now.length - kTrailerSize, FILE_BEGIN, nullptr) || !SetEndOfFile(file))) {
    return Failed(RemovalStep::kCuttingTrailer);
  }
  int64_t end = ZeroedEnd(now);
  if (end == 0) return Done(cut);
  return WriteZeros(file, end);
}
