#include "tagremoval/start_change.h"

#include <algorithm>
#include <cstring>

#include "tagremoval/audio_frame.h"

namespace removal {
namespace {

constexpr char kHeaderMarker[] = "ID3";
static_assert(sizeof kHeaderMarker - 1 == kMarkerSize);
constexpr size_t kVersion = 3, kRevision = 4, kFlags = 5, kSize = 6;
constexpr BYTE kNotAVersion = 0xFF;
constexpr int kBitsPerSizeByte = 7;  // a synchsafe integer's: the top bit of each byte stays 0
constexpr BYTE kSevenBits = (1 << kBitsPerSizeByte) - 1;
constexpr int kSizeBytes = 4;
constexpr BYTE kExtendedHeader = 0x40;
// Version 4's footer lies outside the region and stays: its flag keeps the tag's end where
// it was. Every other flag speaks of frames the emptied tag no longer holds.
constexpr BYTE kVersionWithFooter = 4;
constexpr BYTE kFooter = 0x10;
// The header that makes zeros a tag: version 2.3, which every reader takes.
constexpr BYTE kMarkedVersion = 3;

// The zeros are read through this buffer, one a thread, as the look-ahead's helpers read them
// too; nothing is allocated per file (MinGW's thread_local allocates each thread's buffer once,
// at its first scan).
constexpr size_t kScanChunks = 16;
thread_local BYTE Scanned[kScanChunks * sizeof ZeroBlock];

// The first byte that is not zero in [from, end), or end: compared a ZeroBlock at a time,
// which the library does many bytes a step, then byte by byte in the block that differs.
const BYTE* FirstNonZeroIn(const BYTE* from, const BYTE* end) {
  while (end - from >= static_cast<ptrdiff_t>(sizeof ZeroBlock) &&
         std::memcmp(from, ZeroBlock, sizeof ZeroBlock) == 0) {
    from += sizeof ZeroBlock;
  }
  return std::find_if(from, end, [](BYTE b) { return b != 0; });
}

void PutSize(int64_t size, BYTE* to) {
  for (int i = kSizeBytes - 1; i >= 0; --i, size >>= kBitsPerSizeByte)
    to[i] = static_cast<BYTE>(size & kSevenBits);
}

// The tag emptied. Padding alone needs nothing: a tag with no byte in the file, or whose first
// byte is zero while no extended header (whose size may begin with one) is announced.
StartChange EmptiedTag(const FileStart& start, int64_t region, int64_t length) {
  StartChange change{};
  int64_t end = std::min(region, length);
  BYTE flags = start.start[kFlags];
  bool padding = start.startRead <= kHeaderSize || start.start[kHeaderSize] == 0;
  if (end == kHeaderSize || (padding && !(flags & kExtendedHeader))) return change;
  std::memcpy(change.header, start.start, kHeaderSize);
  change.header[kFlags] = start.start[kVersion] == kVersionWithFooter ? flags & kFooter : 0;
  change.headerChanges = change.header[kFlags] != flags;
  change.end = end;
  return change;
}

StartChange MarkedZeros(int64_t audio) {
  StartChange change{kHeaderSize, {'I', 'D', '3', kMarkedVersion, 0, 0}, true};
  PutSize(audio - kHeaderSize, change.header + kSize);
  return change;
}

// Where in the file the first byte that is not zero lies, from offset on and before limit, or
// -1 in *found.
bool FirstNonZero(HANDLE file, int64_t offset, int64_t limit, int64_t* found, int64_t* reading) {
  *found = -1;
  if (!MoveTo(file, offset, FILE_BEGIN, nullptr)) return false;
  for (int64_t at = offset; at < limit;) {
    DWORD want = static_cast<DWORD>(std::min<int64_t>(sizeof Scanned, limit - at));
    DWORD got = 0;
    int64_t started = reading != nullptr ? Ticks() : 0;
    BOOL read = ReadFile(file, Scanned, want, &got, nullptr);
    if (reading != nullptr) *reading += Ticks() - started;
    if (!read) return false;
    if (got == 0) return true;  // cut short since its length was read
    const BYTE* scanned = Scanned;
    const BYTE* end = scanned + got;
    const BYTE* nonZero = FirstNonZeroIn(scanned, end);
    if (nonZero != end) {
      *found = at + (nonZero - scanned);
      return true;
    }
    at += got;
  }
  return true;
}

}  // namespace

int64_t HeaderRegion(const BYTE header[kHeaderSize]) {
  if (std::memcmp(header, kHeaderMarker, kMarkerSize) != 0) return -1;
  if (header[kVersion] == kNotAVersion || header[kRevision] == kNotAVersion) return -1;
  int64_t size = 0;
  for (size_t i = kSize; i < kHeaderSize; ++i) {
    if (header[i] > kSevenBits) return -1;
    size = size << kBitsPerSizeByte | header[i];
  }
  return size + kHeaderSize;
}

bool BeginsWithZeros(const FileStart& start, int64_t length) {
  return length >= kHeaderSize && start.startRead >= kHeaderSize &&
         std::memcmp(start.start, ZeroBlock, kHeaderSize) == 0;
}

bool FindAudioAfterZeros(HANDLE file, int64_t length, int64_t* audio, int64_t* reading) {
  *audio = -1;
  int64_t first = -1;
  if (!FirstNonZero(file, kHeaderSize, std::min(length, kLargestRegion + 1), &first, reading)) {
    return false;
  }
  BYTE bytes[kFrameHeaderSize];
  AudioFrame frame;
  if (first < 0 || first + kFrameHeaderSize > length) return true;
  if (!ReadAt(file, first, bytes, sizeof bytes, reading)) return false;
  if (!ParseFrameHeader(bytes, &frame)) return true;
  int64_t next = first + frame.length;
  if (next != length) {
    if (next + kFrameHeaderSize > length) return true;
    if (!ReadAt(file, next, bytes, sizeof bytes, reading)) return false;
    if (!ContinuesStream(frame, bytes)) return true;
  }
  *audio = first;
  return true;
}

StartChange PlanStart(const FileStart& start, int64_t length) {
  if (length < kHeaderSize || start.startRead < kHeaderSize) return {};
  int64_t region = HeaderRegion(start.start);
  if (region >= 0) return EmptiedTag(start, region, length);
  if (BeginsWithZeros(start, length) && start.audioAfterZeros >= 0) {
    return MarkedZeros(start.audioAfterZeros);
  }
  return {};
}

RemovalOutcome MakeStartChange(HANDLE file, const StartChange& change) {
  if (change.end == 0) return Done(false);
  if (change.headerChanges) {
    DWORD written = 0;
    if (!MoveTo(file, 0, FILE_BEGIN, nullptr) ||
        !WriteFile(file, change.header, sizeof change.header, &written, nullptr)) {
      return Failed(RemovalStep::kZeroingTag);
    }
    if (written != sizeof change.header) {
      return {RemovalResult::kFailed, RemovalStep::kZeroingTag, 0};
    }
  } else if (!MoveTo(file, kHeaderSize, FILE_BEGIN, nullptr)) {
    return Failed(RemovalStep::kZeroingTag);
  }
  return WriteZeros(file, kHeaderSize, change.end);
}

}  // namespace removal
