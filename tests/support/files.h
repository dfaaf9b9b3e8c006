// Real files in temporary folders, for tests on both platforms.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace files {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  // The folder's path as the program spells it (8-bit, native separators).
  std::string Text() const { return path_.string(); }
  std::string Text(const std::string& relative) const { return (path_ / relative).string(); }

 private:
  std::filesystem::path path_;
};

Bytes Read(const std::filesystem::path& path);
void Write(const std::filesystem::path& path, const Bytes& bytes);
// count files "albumA/trackN.mp3" under top, a hundred to a folder, each holding bytes.
void WriteAlbums(const std::filesystem::path& top, int count, const Bytes& bytes);

// Recognisable audio stand-in: bytes that are never zero and never start a tag.
Bytes Pattern(size_t size, uint8_t seed = 1);
// An ID3v2 header for a tag of the given size (encoded 7 bits per byte).
Bytes Id3v2Header(uint32_t tagSize, uint8_t version = 3, uint8_t revision = 0, uint8_t flags = 0);
// A 128-byte ID3v1 trailer starting with the given marker.
Bytes Trailer(const char* marker = "TAG");
Bytes Join(std::initializer_list<Bytes> parts);

// The samples made at test time by real encoders and taggers, listed in its MANIFEST.
std::filesystem::path Samples();
// The shared sample files: an extra input, where the folder exists.
std::filesystem::path Corpus();

}  // namespace files
