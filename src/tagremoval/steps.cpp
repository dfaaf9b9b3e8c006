#include "tagremoval/steps.h"

#include <cstring>

const BYTE ZeroBlock[4096] = {};

namespace removal {
namespace {

constexpr char kTrailerMarker[] = "TAG";
constexpr char kHeaderMarker[] = "ID3";
static_assert(sizeof kTrailerMarker - 1 == kMarkerSize && sizeof kHeaderMarker - 1 == kMarkerSize);

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

bool ReadHeader(HANDLE file, BYTE* header, bool* complete, int64_t* reading) {
  return MoveTo(file, 0, FILE_BEGIN, nullptr) && Read(file, header, kHeaderSize, complete, reading);
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

}  // namespace

bool IsTrailerMarker(const BYTE* bytes) {
  return std::memcmp(bytes, kTrailerMarker, kMarkerSize) == 0;
}

int64_t HeaderRegion(const BYTE header[kHeaderSize]) {
  if (std::memcmp(header, kHeaderMarker, kMarkerSize) != 0) return -1;
  if (header[3] == 0xFF || header[4] == 0xFF) return -1;
  int64_t size = 0;
  for (int i = 6; i < kHeaderSize; ++i) {
    if (header[i] & 0x80) return -1;
    size = size * 128 + header[i];
  }
  return size + kHeaderSize;
}

bool HoldsTags(const FileStart& start) {
  return start.length >= kTrailerSize &&
         (IsTrailerMarker(start.trailer) || HeaderRegion(start.header) >= 0);
}

// As RemoveTags reads the header after the cut, the region ends at the file's end without the
// trailer, and where fewer than a header's bytes are left there is none.
int64_t ZeroedEnd(const FileStart& start) {
  if (start.length < kTrailerSize) return 0;
  int64_t length = start.length - (IsTrailerMarker(start.trailer) ? kTrailerSize : 0);
  int64_t region = length >= kHeaderSize ? HeaderRegion(start.header) : -1;
  if (region < 0) return 0;
  return region < length ? region : length;
}

RemovalOutcome WriteZeros(HANDLE file, int64_t count) {
  if (!MoveTo(file, 0, FILE_BEGIN, nullptr)) return Failed(RemovalStep::kZeroingTag);
  for (int64_t remaining = count; remaining > 0; remaining -= sizeof ZeroBlock) {
    DWORD chunk = remaining < static_cast<int64_t>(sizeof ZeroBlock) ? static_cast<DWORD>(remaining)
                                                                     : sizeof ZeroBlock;
    DWORD written = 0;
    if (!WriteFile(file, ZeroBlock, chunk, &written, nullptr)) {
      return Failed(RemovalStep::kZeroingTag);
    }
    if (written != chunk) return {RemovalResult::kFailed, RemovalStep::kZeroingTag, 0};
  }
  return Done(true);
}

namespace {

// Zeroes the ID3v2 tag at the start, never past the file's current end.
RemovalOutcome ZeroHeaderRegion(HANDLE file, int64_t length, int64_t* reading) {
  BYTE header[kHeaderSize];
  bool complete = false;
  if (!ReadHeader(file, header, &complete, reading)) return Failed(RemovalStep::kReadingHeader);
  int64_t region = complete ? HeaderRegion(header) : -1;
  if (region < 0) return Done(false);
  return WriteZeros(file, region < length ? region : length);
}

}  // namespace

HANDLE OpenForChange(LPCSTR path, DWORD flags) {
  return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     flags, nullptr);
}

namespace {

RemovalOutcome CleanDiskFile(HANDLE file, int64_t* reading) {
  int64_t length = 0;
  RemovalOutcome trailer = RemoveTrailer(file, &length, reading);
  if (length < 0) return trailer;
  RemovalOutcome header = ZeroHeaderRegion(file, length, reading);
  if (IsFailure(header)) return header;
  return Done(trailer.result == RemovalResult::kChanged ||
              header.result == RemovalResult::kChanged);
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
