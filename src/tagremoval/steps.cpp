#include "tagremoval/steps.h"

#include <cstring>

#include "tagremoval/start_change.h"

const BYTE ZeroBlock[4096] = {};

namespace removal {
namespace {

constexpr char kTrailerMarker[] = "TAG";
static_assert(sizeof kTrailerMarker - 1 == kMarkerSize);

}  // namespace

RemovalOutcome Done(bool changed) {
  return {changed ? RemovalResult::kChanged : RemovalResult::kNothingToRemove, RemovalStep::kNone,
          0};
}

RemovalOutcome Failed(RemovalStep step) { return {RemovalResult::kFailed, step, GetLastError()}; }

bool MoveTo(HANDLE file, int64_t distance, DWORD origin, int64_t* position) {
  LARGE_INTEGER to;
  to.QuadPart = distance;
  LARGE_INTEGER now;
  if (!SetFilePointerEx(file, to, &now, origin)) return false;
  if (position != nullptr) *position = now.QuadPart;
  return true;
}

int64_t Ticks() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

bool Read(HANDLE file, BYTE* buffer, DWORD count, bool* complete, int64_t* reading) {
  int64_t started = reading != nullptr ? Ticks() : 0;
  DWORD read = 0;
  BOOL ok = ReadFile(file, buffer, count, &read, nullptr);
  if (reading != nullptr) *reading += Ticks() - started;
  if (!ok) return false;
  *complete = read == count;
  return true;
}

bool ReadAt(HANDLE file, int64_t offset, BYTE* bytes, DWORD count, int64_t* reading) {
  bool complete = false;
  return MoveTo(file, offset, FILE_BEGIN, nullptr) &&
         Read(file, bytes, count, &complete, reading) && complete;
}

RemovalOutcome ReadTrailer(HANDLE file, BYTE* marker, int64_t* length, int64_t* reading) {
  int64_t trailer = 0;
  *length = -1;
  if (!MoveTo(file, -kTrailerSize, FILE_END, &trailer)) {
    if (GetLastError() == ERROR_NEGATIVE_SEEK) return Done(false);
    return Failed(RemovalStep::kReadingTrailer);
  }
  bool complete = false;
  if (!Read(file, marker, kMarkerSize, &complete, reading)) {
    return Failed(RemovalStep::kReadingTrailer);
  }
  if (!complete) return Done(false);  // cut short by someone else since the move
  *length = trailer + kTrailerSize;
  return Done(false);
}

RemovalOutcome CutTrailer(HANDLE file) {
  if (!MoveTo(file, -kTrailerSize, FILE_END, nullptr) || !SetEndOfFile(file)) {
    return Failed(RemovalStep::kCuttingTrailer);
  }
  return Done(true);
}

bool IsTrailerMarker(const BYTE* bytes) {
  return std::memcmp(bytes, kTrailerMarker, kMarkerSize) == 0;
}

int64_t LengthAfterCut(const FileStart& start) {
  return start.length - (IsTrailerMarker(start.trailer) ? kTrailerSize : 0);
}

bool ReadFileStart(HANDLE file, int64_t length, FileStart* start, int64_t* reading) {
  start->audioAfterZeros = -1;
  if (!MoveTo(file, 0, FILE_BEGIN, nullptr)) return false;
  int64_t started = reading != nullptr ? Ticks() : 0;
  BOOL read = ReadFile(file, start->start, sizeof start->start, &start->startRead, nullptr);
  if (reading != nullptr) *reading += Ticks() - started;
  if (!read) return false;
  if (!BeginsWithZeros(*start, length)) return true;
  return FindAudioAfterZeros(file, length, &start->audioAfterZeros, reading);
}

bool HoldsTags(const FileStart& start) {
  return start.length >= kTrailerSize &&
         (IsTrailerMarker(start.trailer) || PlanStart(start, LengthAfterCut(start)).end > 0);
}

int64_t StartChangeEnd(const FileStart& start) {
  return start.length >= kTrailerSize ? PlanStart(start, LengthAfterCut(start)).end : 0;
}

RemovalOutcome WriteZeros(HANDLE file, int64_t from, int64_t to) {
  constexpr int64_t kChunk = sizeof ZeroBlock;
  for (int64_t at = from; at < to;) {
    int64_t toChunkEnd = kChunk - at % kChunk;
    DWORD chunk = static_cast<DWORD>(to - at < toChunkEnd ? to - at : toChunkEnd);
    DWORD written = 0;
    if (!WriteFile(file, ZeroBlock, chunk, &written, nullptr)) {
      return Failed(RemovalStep::kZeroingTag);
    }
    if (written != chunk) return {RemovalResult::kFailed, RemovalStep::kZeroingTag, 0};
    at += chunk;
  }
  return Done(true);
}

HANDLE OpenForChange(LPCSTR path, DWORD flags) {
  return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     flags, nullptr);
}

namespace {

// Cuts a "TAG" trailer off the end, leaving the file's length in *length; negative where
// nothing more is to be done.
RemovalOutcome RemoveTrailer(HANDLE file, int64_t* length, int64_t* reading) {
  BYTE marker[kMarkerSize];
  RemovalOutcome read = ReadTrailer(file, marker, length, reading);
  if (*length < 0 || !IsTrailerMarker(marker)) return read;
  RemovalOutcome cut = CutTrailer(file);
  *length = IsFailure(cut) ? -1 : *length - kTrailerSize;
  return cut;
}

// The start read once the trailer is cut, and changed as it calls for, never past the file's
// current end.
RemovalOutcome ChangeStart(HANDLE file, int64_t length, int64_t* reading) {
  FileStart start;
  if (!ReadFileStart(file, length, &start, reading)) return Failed(RemovalStep::kReadingHeader);
  return MakeStartChange(file, PlanStart(start, length));
}

RemovalOutcome CleanDiskFile(HANDLE file, int64_t* reading) {
  int64_t length = 0;
  RemovalOutcome trailer = RemoveTrailer(file, &length, reading);
  if (length < 0) return trailer;
  RemovalOutcome start = ChangeStart(file, length, reading);
  if (IsFailure(start)) return start;
  return Done(trailer.result == RemovalResult::kChanged || start.result == RemovalResult::kChanged);
}

}  // namespace

RemovalOutcome CleanOpenFile(HANDLE file) {
  if (GetFileType(file) != FILE_TYPE_DISK) {
    return {RemovalResult::kNotRegularFile, RemovalStep::kNone, 0};
  }
  int64_t reading = 0;
  RemovalOutcome outcome = CleanDiskFile(file, &reading);
  outcome.readTicks = reading;
  return outcome;
}

}  // namespace removal
