#include "rules_model.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kTrailerSize = 128;
constexpr size_t kHeaderSize = 10;
constexpr uint8_t kNotAVersion = 0xFF;
constexpr uint8_t kSizeByteLimit = 0x80;
constexpr uint8_t kExtendedHeader = 0x40;
constexpr uint8_t kFooter = 0x10;
constexpr size_t kLargestRegion = 0x0FFFFFFF + kHeaderSize;

bool StartsWith(const Bytes& bytes, size_t at, const char* marker) {
  size_t length = std::strlen(marker);
  return bytes.size() >= at + length && std::memcmp(bytes.data() + at, marker, length) == 0;
}

// The region a valid header announces (tag size + header), or 0 when there is no valid one.
size_t AnnouncedRegion(const Bytes& bytes) {
  if (bytes.size() < kHeaderSize || !StartsWith(bytes, 0, "ID3")) return 0;
  if (bytes[3] == kNotAVersion || bytes[4] == kNotAVersion) return 0;
  size_t size = 0;
  for (size_t i = 6; i < kHeaderSize; ++i) {
    if (bytes[i] >= kSizeByteLimit) return 0;
    size = (size << 7) | bytes[i];
  }
  return size + kHeaderSize;
}

// An MPEG audio frame header at `at`: its length, and in *stream the bits a stream's frames
// share (version, layer, sample rate); 0 when the bytes are none.
size_t FrameAt(const Bytes& bytes, size_t at, unsigned* stream) {
  if (at + 4 > bytes.size() || bytes[at] != 0xFF || (bytes[at + 1] & 0xE0) != 0xE0) return 0;
  unsigned version = bytes[at + 1] >> 3 & 3, layer = bytes[at + 1] >> 1 & 3;
  unsigned bitrate = bytes[at + 2] >> 4, rate = bytes[at + 2] >> 2 & 3;
  unsigned padding = bytes[at + 2] >> 1 & 1;
  if (version == 1 || layer == 0 || bitrate == 0 || bitrate == 15 || rate == 3) return 0;
  static const unsigned kKbps[5][15] = {
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
  static const unsigned kHertz[4][3] = {
      {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
  bool mpeg1 = version == 3;
  size_t row = mpeg1 ? 3 - layer : (layer == 3 ? 3 : 4);
  size_t bps = size_t{kKbps[row][bitrate]} * 1000, hertz = kHertz[version][rate];
  *stream = version << 4 | layer << 2 | rate;
  if (layer == 3) return (12 * bps / hertz + padding) * 4;
  return (layer == 1 && !mpeg1 ? 72 : 144) * bps / hertz + padding;
}

// Zeros an earlier zeroing left, at least a header's worth, and MPEG audio right after them
// (no further than the largest tag reaches): their header written over the first 10 bytes.
void MarkZeros(Bytes& after) {
  size_t zeros = 0;
  while (zeros < after.size() && after[zeros] == 0) ++zeros;
  unsigned stream = 0, next = 0;
  size_t frame = FrameAt(after, zeros, &stream);
  if (zeros < kHeaderSize || zeros > kLargestRegion || frame == 0) return;
  size_t end = zeros + frame;
  if (end != after.size() && (FrameAt(after, end, &next) == 0 || next != stream)) return;
  size_t size = zeros - kHeaderSize;
  const uint8_t header[kHeaderSize] = {'I',
                                       'D',
                                       '3',
                                       3,
                                       0,
                                       0,
                                       uint8_t(size >> 21 & 0x7F),
                                       uint8_t(size >> 14 & 0x7F),
                                       uint8_t(size >> 7 & 0x7F),
                                       uint8_t(size & 0x7F)};
  std::copy(header, header + kHeaderSize, after.begin());
}

}  // namespace

// A file shorter than a trailer is never touched, not even at its start. One trailer at most
// is cut. A valid header stays, its flags cleared but a version 4 footer's, and the rest of its
// region, stopped at the (possibly shortened) end, becomes zeros; unless the tag is padding
// alone: of size 0, or its first byte zero with no extended header announced.
Bytes ExpectedAfterRemoval(const Bytes& before) {
  Bytes after = before;
  if (after.size() < kTrailerSize) return after;
  if (StartsWith(after, after.size() - kTrailerSize, "TAG"))
    after.resize(after.size() - kTrailerSize);
  size_t region = std::min(AnnouncedRegion(after), after.size());
  if (region == 0) {
    MarkZeros(after);
    return after;
  }
  uint8_t flags = after[5];
  bool padding = after.size() == kHeaderSize || after[kHeaderSize] == 0;
  if (region == kHeaderSize || (padding && !(flags & kExtendedHeader))) return after;
  after[5] = after[3] == 4 ? flags & kFooter : 0;
  std::fill(after.begin() + kHeaderSize, after.begin() + region, 0);
  return after;
}
