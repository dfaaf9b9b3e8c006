#include "tagremoval/steps.h"

using namespace removal;

namespace {

// Reads all count bytes at offset; false also when the file ended first (it was cut since).
bool ReadAt(HANDLE file, int64_t offset, BYTE* bytes, DWORD count) {
  bool complete = false;
  return MoveTo(file, offset, FILE_BEGIN, nullptr) && Read(file, bytes, count, &complete) &&
         complete;
}

bool ReadStart(HANDLE file, FileStart* start) {
  if (GetFileType(file) != FILE_TYPE_DISK) return false;
  int64_t length = 0;
  if (!MoveTo(file, 0, FILE_END, &length)) return false;
  start->length = length;
  // A file shorter than a trailer holds none, and RemoveTags reads no header there either.
  if (length < kTrailerSize) return true;
  return ReadAt(file, length - kTrailerSize, start->trailer, sizeof start->trailer) &&
         ReadAt(file, 0, start->header, sizeof start->header);
}

}  // namespace

HANDLE OpenAndReadStart(LPCSTR path, FileStart* start) {
  if (NamesDevice(path)) return INVALID_HANDLE_VALUE;
  HANDLE file = OpenForChange(path);
  if (file == INVALID_HANDLE_VALUE) return file;
  if (ReadStart(file, start)) return file;
  CloseHandle(file);
  return INVALID_HANDLE_VALUE;
}
