// Real files: the samples made by real encoders and taggers, and the shared sample files where
// they are at hand, cleaned as the rules say, with the decoded audio unchanged.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "rules_model.h"
#include "support/check.h"
#include "support/files.h"
#include "tagremoval/tagremoval.h"

namespace fs = std::filesystem;

namespace {

struct Sample {
  fs::path path;
  bool cleaned;  // a run must change it
};

// The samples as their maker listed them: "name<TAB>cleaned|unchanged<TAB>what it holds".
std::vector<Sample> ListedSamples() {
  std::vector<Sample> samples;
  std::ifstream manifest(files::Samples() / "MANIFEST");
  for (std::string line; std::getline(manifest, line);) {
    if (line.empty() || line[0] == '#') continue;
    size_t tab = line.find('\t');
    samples.push_back(
        {files::Samples() / line.substr(0, tab), line.compare(tab + 1, 7, "cleaned") == 0});
  }
  return samples;
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

// The decoded audio, by mpg123 at its defaults as players use it: it gives up after 64 KiB of
// bytes that are not audio. The audio a file holds is found with an unbounded resync.
constexpr char kUnboundedResync[] = "--resync-limit -1";
std::string Decoded(const fs::path& path, const char* options = "") {
  return Output(std::string("mpg123 -q -s ") + options + " " + Quote(path) + " 2>/dev/null");
}

// Cleans a copy of source in folder; checks it against the rules and the audio. Whether it
// changed.
bool CleanedAsTheRulesSay(const files::TempFolder& folder, const fs::path& source) {
  fs::path copy = folder.Path() / source.filename();
  Bytes original = files::Read(source);
  files::Write(copy, original);
  RemoveTags(copy.string().c_str());
  Bytes after = files::Read(copy);
  if (after != ExpectedAfterRemoval(original)) std::printf("  %s\n", copy.string().c_str());
  CHECK(after == ExpectedAfterRemoval(original));
  CHECK_EQ(Decoded(copy), Decoded(source, kUnboundedResync));
  return after != original;
}

}  // namespace

TEST(EverySampleIsCleanedByTheRulesWithItsAudioKept) {
  files::TempFolder folder;
  std::vector<Sample> samples = ListedSamples();
  if (samples.empty()) std::printf("  no samples listed in %s\n", files::Samples().c_str());
  CHECK(samples.size() >= 18);
  for (const Sample& sample : samples) {
    bool changed = CleanedAsTheRulesSay(folder, sample.path);
    if (changed != sample.cleaned) std::printf("  %s\n", sample.path.filename().c_str());
    CHECK_EQ(changed, sample.cleaned);
  }
}

TEST(EverySharedSampleFileIsCleanedByTheRules) {
  if (!fs::is_directory(files::Corpus())) {
    std::printf("  no shared sample files at %s: the generated samples only\n",
                files::Corpus().c_str());
    return;
  }
  files::TempFolder folder;
  int seen = 0, changed = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(files::Corpus())) {
    changed += CleanedAsTheRulesSay(folder, entry.path());
    ++seen;
  }
  CHECK_EQ(seen, 24);
  CHECK_EQ(changed, 14);
}

TEST(TagsOfRealTaggersAreRemoved) {
  files::TempFolder folder;
  fs::path source = files::Samples() / "no-tags.mp3";
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
    CHECK(files::Read(path) == ExpectedAfterRemoval(before));
    CHECK(fs::file_size(path) == tagged - (path == v23 ? 128 : 0));
    CHECK(Output("id3v2 -l " + Quote(path)).find("No ID3 tag") != std::string::npos);
    // The tag is there, emptied: no frame in it.
    std::string listed = Output("mid3v2 -l " + Quote(path));
    CHECK(listed.find("No ID3 header") == std::string::npos);
    CHECK(listed.find("IDv2 tag info") != std::string::npos &&
          listed.find('=') == std::string::npos);
    CHECK(Decoded(path) == audio);
  }
}
