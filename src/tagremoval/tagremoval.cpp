#include "tagremoval/tagremoval.h"

#include <cstdint>
#include <cstring>

const BYTE ZeroBlock[4096] = {};

namespace {

constexpr int64_t kTrailerSize = 128;
constexpr int64_t kHeaderSize = 10;

bool MoveTo(HANDLE file, int64_t distance, DWORD origin, int64_t* position) {
  LARGE_INTEGER to;
  to.QuadPart = distance;
  LARGE_INTEGER now;
  if (!SetFilePointerEx(file, to, &now, origin)) return false;
  if (position != nullptr) *position = now.QuadPart;
  return true;
}

bool ReadExactly(HANDLE file, BYTE* buffer, DWORD count) {
  DWORD read = 0;
  return ReadFile(file, buffer, count, &read, nullptr) && read == count;
}

// Cuts a "TAG" trailer off the end. Returns false on a failure, which ends the work on the file;
// otherwise leaves the file's current length in *length.
bool RemoveTrailer(HANDLE file, int64_t* length) {
  int64_t trailer = 0;
  if (!MoveTo(file, -kTrailerSize, FILE_END, &trailer)) return false;
  BYTE marker[3];
  if (!ReadExactly(file, marker, sizeof marker)) return false;
  *length = trailer + kTrailerSize;
  if (std::memcmp(marker, "TAG", 3) != 0) return true;
  if (!MoveTo(file, -kTrailerSize, FILE_END, nullptr)) return false;
  if (!SetEndOfFile(file)) return false;
  *length = trailer;
  return true;
}

// The size of the region a valid ID3v2 header announces (tag size + header), or -1.
int64_t HeaderRegion(const BYTE header[kHeaderSize]) {
  if (std::memcmp(header, "ID3", 3) != 0) return -1;
  if (header[3] == 0xFF || header[4] == 0xFF) return -1;
  int64_t size = 0;
  for (int i = 6; i < 10; ++i) {
    if (header[i] & 0x80) return -1;
    size = size * 128 + header[i];
  }
  return size + kHeaderSize;
}

// Zeroes the ID3v2 tag at the start, never past the file's current end.
void ZeroHeaderRegion(HANDLE file, int64_t length) {
  if (!MoveTo(file, 0, FILE_BEGIN, nullptr)) return;
  BYTE header[kHeaderSize];
  if (!ReadExactly(file, header, sizeof header)) return;
  int64_t remaining = HeaderRegion(header);
  if (remaining < 0) return;
  if (remaining > length) remaining = length;
  if (!MoveTo(file, 0, FILE_BEGIN, nullptr)) return;
  while (remaining > 0) {
    DWORD chunk = remaining < 4096 ? static_cast<DWORD>(remaining) : 4096;
    DWORD written = 0;
    if (!WriteFile(file, ZeroBlock, chunk, &written, nullptr)) return;
    remaining -= 4096;
  }
}

}  // namespace

void RemoveTags(LPCSTR path) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  int64_t length = 0;
  if (GetFileType(file) == FILE_TYPE_DISK && RemoveTrailer(file, &length)) {
    ZeroHeaderRegion(file, length);
  }
  CloseHandle(file);
}
