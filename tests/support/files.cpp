#include "files.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>

namespace files {

TempFolder::TempFolder() {
  static std::atomic<int> serial{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = std::filesystem::temp_directory_path() /
          ("vardel-test-" + std::to_string(stamp) + "-" + std::to_string(serial++));
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

// In one read: byte by byte, a large file costs seconds under the sanitizers.
Bytes Read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  Bytes bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

void Write(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void WriteAlbums(const std::filesystem::path& top, int count, const Bytes& bytes) {
  for (int i = 0; i < count; ++i) {
    std::filesystem::path sub = top / ("album" + std::to_string(i / 100));
    std::filesystem::create_directories(sub);
    Write(sub / ("track" + std::to_string(i) + ".mp3"), bytes);
  }
}

Bytes Pattern(size_t size, uint8_t seed) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(0x80 + (i * 7 + seed) % 0x7F);
  return bytes;
}

Bytes Id3v2Header(uint32_t tagSize, uint8_t version, uint8_t revision, uint8_t flags) {
  return {'I',
          'D',
          '3',
          version,
          revision,
          flags,
          static_cast<uint8_t>((tagSize >> 21) & 0x7F),
          static_cast<uint8_t>((tagSize >> 14) & 0x7F),
          static_cast<uint8_t>((tagSize >> 7) & 0x7F),
          static_cast<uint8_t>(tagSize & 0x7F)};
}

Bytes Trailer(const char* marker) {
  Bytes bytes = Pattern(128, 9);
  std::memcpy(bytes.data(), marker, 3);
  return bytes;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::filesystem::path Samples() { return VARDEL_SAMPLES_DIR; }
std::filesystem::path Corpus() { return VARDEL_CORPUS_DIR; }

}  // namespace files
