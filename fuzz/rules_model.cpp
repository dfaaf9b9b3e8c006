#include "rules_model.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kTrailerSize = 128;
constexpr size_t kHeaderSize = 10;
constexpr uint8_t kNotAVersion = 0xFF;
constexpr uint8_t kSizeByteLimit = 0x80;

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

}  // namespace

// A file shorter than a trailer is never touched, not even at its start. One trailer at most
// is cut; the zeroed region is the announced one, stopped at the (possibly shortened) end.
Bytes ExpectedAfterRemoval(const Bytes& before) {
  Bytes after = before;
  if (after.size() < kTrailerSize) return after;
  if (StartsWith(after, after.size() - kTrailerSize, "TAG"))
    after.resize(after.size() - kTrailerSize);
  size_t region = std::min(AnnouncedRegion(after), after.size());
  std::fill_n(after.begin(), region, 0);
  return after;
}
