// Kept apart from RemoveTags, so that a test build can put its own remover in place of both.
#include "tagremoval/start_change.h"
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
  // reading the start after it would cost a mount a round trip. Nothing it reads lies in the
  // trailer. A read that failed counts after the cut, where RemoveTags, which reads the start
  // then, meets it.
  int64_t length = LengthAfterCut(now);
  bool startRead = ReadFileStart(file, length, &now, nullptr);
  RemovalOutcome readFailure = startRead ? Done(false) : Failed(RemovalStep::kReadingHeader);
  bool cut = IsTrailerMarker(now.trailer);
  if (cut) {
    RemovalOutcome cutting = CutTrailer(file);
    if (IsFailure(cutting)) return cutting;
  }
  if (!startRead) return readFailure;
  RemovalOutcome change = MakeStartChange(file, PlanStart(now, length));
  return change.result == RemovalResult::kNothingToRemove ? Done(cut) : change;
}
