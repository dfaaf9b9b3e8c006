#include "tagremoval/steps.h"

using namespace removal;

namespace {

// The zeroing writes ZeroBlock's chunks, each ending where a page of the system's cache ends;
// where the last chunk ends inside its page, the system reads that page before it writes the
// chunk. Read now, ahead, it is in the cache at the file's turn, and the worker's write does
// not wait on the disk. Only the tag's last byte is read, never the audio.
void ReadLastZeroedPage(HANDLE file, const FileStart& start) {
  int64_t end = StartChangeEnd(start);
  constexpr int64_t kPage = sizeof ZeroBlock;
  if (end <= kPage || end % kPage == 0) return;
  BYTE last;
  ReadAt(file, end - 1, &last, sizeof last);
}

bool ReadStart(HANDLE file, FileStart* start) {
  if (GetFileType(file) != FILE_TYPE_DISK) return false;
  int64_t length = 0;
  if (!MoveTo(file, 0, FILE_END, &length)) return false;
  start->length = length;
  // A file shorter than a trailer holds none, and RemoveTags reads no start there either.
  if (length < kTrailerSize) return true;
  if (!ReadAt(file, length - kTrailerSize, start->trailer, sizeof start->trailer) ||
      !ReadFileStart(file, LengthAfterCut(*start), start, nullptr)) {
    return false;
  }
  ReadLastZeroedPage(file, *start);
  return true;
}

}  // namespace

HANDLE OpenAndReadStart(LPCSTR path, FileStart* start) {
  if (NamesDevice(path)) return INVALID_HANDLE_VALUE;
  // Read ahead: the system may fetch what is about to be read while the helper waits.
  HANDLE file = OpenForChange(path, FILE_FLAG_SEQUENTIAL_SCAN);
  if (file == INVALID_HANDLE_VALUE) return file;
  if (ReadStart(file, start)) return file;
  CloseHandle(file);
  return INVALID_HANDLE_VALUE;
}
