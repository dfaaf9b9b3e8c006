// Real files: the sample corpus and files tagged by real taggers, cleaned by the rules, with
// the decoded audio unchanged.
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "support/check.h"
#include "support/files.h"
#include "tagremoval/tagremoval.h"

namespace fs = std::filesystem;
using files::Bytes;

namespace {

// What a file must hold after cleaning, worked out on its bytes in memory.
Bytes Expected(Bytes bytes) {
  if (bytes.size() < 128) return bytes;
  if (std::memcmp(bytes.data() + bytes.size() - 128, "TAG", 3) == 0)
    bytes.resize(bytes.size() - 128);
  if (bytes.size() < 10 || std::memcmp(bytes.data(), "ID3", 3) != 0) return bytes;
  if (bytes[3] == 0xFF || bytes[4] == 0xFF) return bytes;
  size_t region = 10;
  for (int i = 6; i < 10; ++i) {
    if (bytes[i] & 0x80) return bytes;
    region += static_cast<size_t>(bytes[i]) << (7 * (9 - i));
  }
  std::fill_n(bytes.begin(), std::min(region, bytes.size()), 0);
  return bytes;
}

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

// Runs a shell command and returns what it printed.
std::string Output(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[65536];
  for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
  pclose(pipe);
  return out;
}

std::string Decoded(const fs::path& path, const char* options = "") {
  return Output(std::string("mpg123 -q -s ") + options + " " + Quote(path) + " 2>/dev/null");
}

}  // namespace

TEST(EveryCorpusFileIsCleanedByTheRulesWithItsAudioKept) {
  files::TempFolder folder;
  int seen = 0, changed = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(files::Corpus())) {
    fs::path copy = folder.Path() / entry.path().filename();
    Bytes original = files::Read(entry.path());
    files::Write(copy, original);
    RemoveTags(copy.string().c_str());
    Bytes after = files::Read(copy);
    if (after != Expected(original)) std::printf("  %s\n", copy.filename().string().c_str());
    CHECK(after == Expected(original));
    CHECK_EQ(Decoded(copy), Decoded(entry.path()));
    ++seen;
    changed += after != original;
  }
  CHECK_EQ(seen, 24);
  CHECK_EQ(changed, 14);
}

TEST(TagsOfRealTaggersAreRemoved) {
  files::TempFolder folder;
  fs::path source = files::Corpus() / "no-tags.mp3";
  std::string audio = Decoded(source);
  CHECK(!audio.empty());
  fs::path v23 = folder.Path() / "id3v2 tagged.mp3", v24 = folder.Path() / "mid3v2 tagged.mp3";
  fs::copy_file(source, v23);
  fs::copy_file(source, v24);
  fs::permissions(folder.Path(), fs::perms::owner_all, fs::perm_options::add);
  Output("id3v2 -a 'An Artist' -t 'A Title' -A 'An Album' " + Quote(v23));
  Output("mid3v2 -a Artist -t Title --TCON Podcast " + Quote(v24));
  CHECK(Output("id3v2 -l " + Quote(v23)).find("id3v1 tag info") != std::string::npos);
  CHECK(Output("mid3v2 -l " + Quote(v24)).find("TIT2=Title") != std::string::npos);
  for (const fs::path& path : {v23, v24}) {
    uintmax_t tagged = fs::file_size(path);
    Bytes before = files::Read(path);
    RemoveTags(path.string().c_str());
    CHECK(files::Read(path) == Expected(before));
    CHECK(fs::file_size(path) == tagged - (path == v23 ? 128 : 0));
    CHECK(Output("id3v2 -l " + Quote(path)).find("No ID3 tag") != std::string::npos);
    CHECK(Output("mid3v2 -l " + Quote(path)).find("No ID3 header found") != std::string::npos);
    // The taggers put the tag in front of the audio, so a run of zeros now leads into it.
    CHECK(Decoded(path, "--resync-limit -1") == audio);
  }
}
