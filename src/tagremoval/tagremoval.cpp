#include "tagremoval/tagremoval.h"

#include <cstdint>
#include <cstring>

const BYTE ZeroBlock[4096] = {};

namespace {

constexpr int64_t kTrailerSize = 128;
constexpr int64_t kHeaderSize = 10;
constexpr char kTrailerMarker[] = "TAG";
constexpr char kHeaderMarker[] = "ID3";
constexpr size_t kMarkerSize = sizeof kTrailerMarker - 1;

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

// Reads count bytes at the position; *complete is false when the file ended first.
bool Read(HANDLE file, BYTE* buffer, DWORD count, bool* complete) {
  DWORD read = 0;
  if (!ReadFile(file, buffer, count, &read, nullptr)) return false;
  *complete = read == count;
  return true;
}

// Cuts a "TAG" trailer off the end, leaving the file's length in *length. A file shorter than
// a trailer has none: the move before its start fails with ERROR_NEGATIVE_SEEK, and *length is
// left negative so that nothing more is done.
RemovalOutcome RemoveTrailer(HANDLE file, int64_t* length) {
  int64_t trailer = 0;
  *length = -1;
  if (!MoveTo(file, -kTrailerSize, FILE_END, &trailer)) {
    if (GetLastError() == ERROR_NEGATIVE_SEEK) return Done(false);
    return Failed(RemovalStep::kReadingTrailer);
  }
  BYTE marker[kMarkerSize];
  bool complete = false;
  if (!Read(file, marker, sizeof marker, &complete)) return Failed(RemovalStep::kReadingTrailer);
  if (!complete) return Done(false);  // cut short by someone else since the move
  *length = trailer + kTrailerSize;
  if (std::memcmp(marker, kTrailerMarker, kMarkerSize) != 0) return Done(false);
  if (!MoveTo(file, -kTrailerSize, FILE_END, nullptr) || !SetEndOfFile(file)) {
    return Failed(RemovalStep::kCuttingTrailer);
  }
  *length = trailer;
  return Done(true);
}

// The size of the region a valid ID3v2 header announces (tag size + header), or -1.
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

// Writes zeros over the first count bytes, in ZeroBlock's chunks.
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

// Zeroes the ID3v2 tag at the start, never past the file's current end.
RemovalOutcome ZeroHeaderRegion(HANDLE file, int64_t length) {
  BYTE header[kHeaderSize];
  bool complete = false;
  if (!MoveTo(file, 0, FILE_BEGIN, nullptr) || !Read(file, header, sizeof header, &complete)) {
    return Failed(RemovalStep::kReadingHeader);
  }
  int64_t region = complete ? HeaderRegion(header) : -1;
  if (region < 0) return Done(false);
  return WriteZeros(file, region < length ? region : length);
}

// Why a file could not be opened for writing: a folder is no file to change, as a device is.
RemovalOutcome NotOpened(LPCSTR path) {
  DWORD error = GetLastError();
  if (error == ERROR_ACCESS_DENIED) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return {RemovalResult::kNotRegularFile, RemovalStep::kNone, 0};
    }
  }
  return {RemovalResult::kNotOpened, RemovalStep::kNone, error};
}

RemovalOutcome CleanOpenFile(HANDLE file) {
  if (GetFileType(file) != FILE_TYPE_DISK) {
    return {RemovalResult::kNotRegularFile, RemovalStep::kNone, 0};
  }
  int64_t length = 0;
  RemovalOutcome trailer = RemoveTrailer(file, &length);
  if (IsFailure(trailer) || length < 0) return trailer;
  RemovalOutcome header = ZeroHeaderRegion(file, length);
  if (IsFailure(header)) return header;
  return Done(trailer.result == RemovalResult::kChanged ||
              header.result == RemovalResult::kChanged);
}

}  // namespace

RemovalOutcome RemoveTags(LPCSTR path) {
  // A reserved device name opens the device wherever the path points: never opened at all.
  if (NamesDevice(path)) return {RemovalResult::kNotRegularFile, RemovalStep::kNone, 0};
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return NotOpened(path);
  RemovalOutcome outcome = CleanOpenFile(file);
  CloseHandle(file);
  return outcome;
}
