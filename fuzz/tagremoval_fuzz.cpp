// libFuzzer harness: arbitrary bytes become a real file in a temporary folder, the tag remover
// runs on it through the real file calls, and the file must then hold exactly what the rules'
// model says; so must a fresh copy reached the other way the worker reaches a file, opened and
// read ahead by a helper, with the same outcome. Lengths are steered towards short files and the
// sizes around a trailer (128) and a header (10), tag regions towards the end of the first
// chunk of zeros (4096), where the boundary faults live, and files towards zeros an earlier
// zeroing left before MPEG frames.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "rules_model.h"
#include "tagremoval/audio_frame.h"
#include "tagremoval/tagremoval.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

constexpr size_t kTrailerSize = 128;
constexpr size_t kHeaderSize = 10;
constexpr size_t kShortFile = 200;
constexpr size_t kAround = 3;  // how far from a boundary a steered length may fall

std::string FilePath() {
  static std::string path;
  if (path.empty()) {
    const char* base = std::getenv("TMPDIR");
    std::string folder = std::string(base != nullptr ? base : "/tmp") + "/vardel-fuzz-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) std::abort();
    path = folder + "/file.mp3";
    std::atexit([] {
      unlink(path.c_str());
      rmdir(path.substr(0, path.rfind('/')).c_str());
    });
  }
  return path;
}

void WriteWhole(const std::string& path, const uint8_t* data, size_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0 || (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size))) std::abort();
  close(fd);
}

Bytes ReadWhole(const std::string& path) {
  Bytes bytes;
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) std::abort();
  uint8_t chunk[1 << 16];
  for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;)
    bytes.insert(bytes.end(), chunk, chunk + n);
  close(fd);
  return bytes;
}

void Fail(const char* what, const Bytes& before, const Bytes& after) {
  std::fprintf(stderr, "tag remover: %s (file of %zu bytes became %zu)\n", what, before.size(),
               after.size());
  std::abort();
}

// A valid header whose region (tag and header) ends around the first chunk's end.
void SteerRegion(std::minstd_rand& random, uint8_t* data, size_t size) {
  if (size < kHeaderSize) return;
  size_t tag = sizeof ZeroBlock - kHeaderSize - kAround + random() % (2 * kAround + 1);
  const uint8_t header[kHeaderSize] = {'I',
                                       'D',
                                       '3',
                                       3,
                                       0,
                                       0,
                                       static_cast<uint8_t>(tag >> 21 & 0x7F),
                                       static_cast<uint8_t>(tag >> 14 & 0x7F),
                                       static_cast<uint8_t>(tag >> 7 & 0x7F),
                                       static_cast<uint8_t>(tag & 0x7F)};
  std::memcpy(data, header, sizeof header);
}

// Zeros as an earlier zeroing left them, then a frame header of any version, layer and rate
// and, one frame later by the remover's own reckoning (or a byte off), the same header or one
// of another rate, or the file's end there. The rules' model reckons the length on its own.
// Returns the file's length, grown to hold both frames.
size_t SteerZeros(std::minstd_rand& random, uint8_t* data, size_t size, size_t maxSize) {
  uint8_t frame[removal::kFrameHeaderSize] = {0xFF, static_cast<uint8_t>(0xE0 | random()),
                                              static_cast<uint8_t>(random()),
                                              static_cast<uint8_t>(random())};
  removal::AudioFrame parsed;
  if (!removal::ParseFrameHeader(frame, &parsed)) return size;
  size_t zeros = kHeaderSize - kAround + random() % (sizeof ZeroBlock + 2 * kAround);
  size_t next = zeros + static_cast<size_t>(parsed.length) + random() % 3 - 1;
  if (next + sizeof frame > maxSize) return size;
  for (; size < next + sizeof frame; ++size) data[size] = static_cast<uint8_t>(random());
  std::memset(data, 0, zeros);
  std::memcpy(data + zeros, frame, sizeof frame);
  constexpr uint8_t kLowRateBit = 0x04;  // another sample rate (or the reserved one): no stream
  if (random() % 4 == 0) frame[2] ^= kLowRateBit;
  std::memcpy(data + next, frame, sizeof frame);
  return random() % 4 == 0 ? next : size;
}

size_t SteeredLength(std::minstd_rand& random, size_t size) {
  switch (random() % 4) {
    case 0:
      return random() % (kShortFile + 1);
    case 1:
      return kTrailerSize - kAround + random() % (2 * kAround + 1);
    case 2:
      return kHeaderSize - kAround + random() % (2 * kAround + 1);
    default:
      return size;
  }
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned seed) {
  size = LLVMFuzzerMutate(data, size, maxSize);
  std::minstd_rand random(seed);
  size_t length = std::min(SteeredLength(random, size), maxSize);
  for (size_t i = size; i < length; ++i) data[i] = static_cast<uint8_t>(random());
  constexpr unsigned kOneIn = 4;
  if (random() % kOneIn == 0) SteerRegion(random, data, length);
  if (random() % kOneIn == 0) length = SteerZeros(random, data, length, maxSize);
  return length;
}

namespace {

RemovalResult RemoveItself(const char* path) { return RemoveTags(path).result; }

RemovalResult RemoveOpenedAhead(const char* path) {
  FileStart start;
  HANDLE file = OpenAndReadStart(path, &start);
  if (file == INVALID_HANDLE_VALUE) return RemoveTags(path).result;
  RemovalResult result = RemoveTagsOpened(file, start).result;
  CloseHandle(file);
  return result;
}

// One way of removing, on a fresh copy of the input, checked against the rules.
RemovalResult Checked(const std::string& path, const uint8_t* data, size_t size,
                      RemovalResult (*remove)(const char*)) {
  WriteWhole(path, data, size);
  RemovalResult result = remove(path.c_str());
  Bytes before(data, data + size);
  Bytes after = ReadWhole(path);
  if (after.size() > before.size()) Fail("the file grew", before, after);
  if (after.size() != before.size() && after.size() + kTrailerSize != before.size()) {
    Fail("something other than one trailer was cut", before, after);
  }
  if (after != ExpectedAfterRemoval(before)) Fail("bytes differ from the rules", before, after);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = FilePath();
  if (Checked(path, data, size, RemoveItself) != Checked(path, data, size, RemoveOpenedAhead)) {
    Fail("opened ahead, the outcome differs", Bytes(data, data + size), ReadWhole(path));
  }
  return 0;
}
