// Kept apart from RemoveTags, so that a test build can put its own remover in place of both.
#include "tagremoval/steps.h"

using namespace removal;

RemovalOutcome RemoveTagsOpened(HANDLE file, const FileStart& start) {
  // What was read ahead holds only while the file is as long as it was then: else it changed
  // since (through another name of the same file, or another program), and is read again.
  int64_t length = 0;
  if (!MoveTo(file, 0, FILE_END, &length)) return Failed(RemovalStep::kReadingTrailer);
  if (length != start.length) return CleanOpenFile(file);
  if (length < kTrailerSize) return Done(false);
  bool cut = IsTrailerMarker(start.trailer);
  if (cut) {
    if (!MoveTo(file, length - kTrailerSize, FILE_BEGIN, nullptr) || !SetEndOfFile(file)) {
      return Failed(RemovalStep::kCuttingTrailer);
    }
    length -= kTrailerSize;
  }
  // The header is read after the cut: where fewer than its bytes are left, there is none.
  int64_t region = length >= kHeaderSize ? HeaderRegion(start.header) : -1;
  if (region < 0) return Done(cut);
  return WriteZeros(file, region < length ? region : length);
}
