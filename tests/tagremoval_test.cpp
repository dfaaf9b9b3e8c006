// Tag removal on real files: the trailer and header rules, byte for byte.
#include <filesystem>
#include <fstream>

#include "support/check.h"
#include "support/files.h"
#include "tagremoval/tagremoval.h"

using files::Bytes;
using files::Id3v2Header;
using files::Join;
using files::Pattern;
using files::Trailer;

namespace {

// Writes the bytes to a file, runs RemoveTags on it and returns what the file holds then; the
// outcome says whether anything was changed exactly when the bytes did.
Bytes Clean(const Bytes& before) {
  files::TempFolder folder;
  files::Write(folder.Path() / "a.mp3", before);
  RemovalOutcome outcome = RemoveTags(folder.Text("a.mp3").c_str());
  Bytes after = files::Read(folder.Path() / "a.mp3");
  RemovalResult said = after == before ? RemovalResult::kNothingToRemove : RemovalResult::kChanged;
  if (outcome.result != said) check::Fail(__FILE__, __LINE__, "the outcome is not what was done");
  return after;
}

Bytes Zeros(size_t size) { return Bytes(size, 0); }

// A tag of size bytes emptied: its header, then zeros.
Bytes Emptied(uint32_t size) { return Join({Id3v2Header(size), Zeros(size)}); }

// MPEG-1 Layer III frames at 128 kbit/s, 44.1 kHz: 417 bytes each, 144 · 128000 / 44100.
Bytes Frames(int count) {
  Bytes frames;
  for (int i = 0; i < count; ++i) frames = Join({frames, {0xFF, 0xFB, 0x90, 0x00}, Pattern(413)});
  return frames;
}

}  // namespace

TEST(BothTagsLoseTrailerThenHeaderRegion) {
  Bytes audio = Pattern(9000);
  Bytes after = Clean(Join({Id3v2Header(5000), Pattern(5000, 3), audio, Trailer()}));
  CHECK_EQ(after.size(), 10u + 5000u + 9000u);
  CHECK(after == Join({Emptied(5000), audio}));
}

TEST(HeaderOnlyKeepsLengthAndEmptiesTag) {
  Bytes audio = Pattern(3000);
  CHECK(Clean(Join({Id3v2Header(100), Pattern(100, 5), audio})) == Join({Emptied(100), audio}));
  // Every flag goes but version 4's footer, which lies past the region and stays.
  Bytes footer = Id3v2Header(20, 4, 0, 0x10);
  footer[0] = '3', footer[1] = 'D', footer[2] = 'I';
  CHECK(Clean(Join({Id3v2Header(20, 4, 0, 0xFF), Pattern(20), footer, audio})) ==
        Join({Id3v2Header(20, 4, 0, 0x10), Zeros(20), footer, audio}));
  CHECK(Clean(Join({Id3v2Header(20, 3, 0, 0xFF), Pattern(20), audio})) ==
        Join({Emptied(20), audio}));
  // An extended header's size may begin with a zero: the tag is not padding then.
  Bytes extended = Join({Id3v2Header(20, 4, 0, 0x40), Zeros(3), Pattern(17), audio});
  CHECK(Clean(extended) == Join({Id3v2Header(20, 4), Zeros(20), audio}));
  // The largest size that fits 7 bits per byte, in a file far shorter than it.
  CHECK(Clean(Join({Id3v2Header(0x0FFFFFFF), audio})) ==
        Join({Id3v2Header(0x0FFFFFFF), Zeros(3000)}));
  // A tag of padding alone is left as it is: of size 0, or its first byte zero.
  for (const Bytes& empty : {Join({Id3v2Header(0, 3, 0, 0x80), audio}),
                             Join({Id3v2Header(300, 3, 0, 0x80), Zeros(1), Pattern(299), audio})}) {
    CHECK(Clean(empty) == empty);
    CHECK(Clean(Join({empty, Trailer()})) == empty);
  }
}

// Zeros an earlier zeroing left before MPEG audio become an empty tag; any other zeros stay.
TEST(ZerosBeforeAudioBecomeAnEmptyTag) {
  // Around where the first of the remover's 64 KiB reads from offset 10 ends.
  for (size_t zeros : {size_t{10}, (sizeof ZeroBlock << 4) + 9, (sizeof ZeroBlock << 4) + 10,
                       size_t{300 * 1024}}) {
    Bytes audio = Frames(3);
    CHECK(Clean(Join({Zeros(zeros), audio, Trailer()})) ==
          Join({Emptied(static_cast<uint32_t>(zeros - 10)), audio}));
    // One frame, then the end of the file.
    CHECK(Clean(Join({Zeros(zeros), Frames(1)})) ==
          Join({Emptied(static_cast<uint32_t>(zeros - 10)), Frames(1)}));
  }
  Bytes cutShort = Join({Zeros(100), Frames(1)});
  cutShort.pop_back();
  for (const Bytes& file :
       {Join({Zeros(9), Frames(3)}), cutShort, Join({Zeros(100), Frames(1), Pattern(500)}),
        Join({Zeros(100), Pattern(3000)}), Zeros(3000)}) {
    CHECK(Clean(file) == file);
  }
}

TEST(TrailerOnlyIsCutAndStartUntouched) {
  Bytes audio = Pattern(4000);
  CHECK(Clean(Join({audio, Trailer()})) == audio);
  // One trailer only, even when another lies right before it.
  CHECK(Clean(Join({audio, Trailer(), Trailer()})) == Join({audio, Trailer()}));
  // The marker is case-sensitive.
  Bytes lower = Join({audio, Trailer("tag")});
  CHECK(Clean(lower) == lower);
  Bytes tagAtWrongPlace = Join({audio, Trailer(), Pattern(1)});
  CHECK(Clean(tagAtWrongPlace) == tagAtWrongPlace);
}

TEST(InvalidHeadersLeaveStartUntouched) {
  Bytes audio = Pattern(2000);
  Bytes badVersion = Join({Id3v2Header(10, 0xFF), audio});
  Bytes badRevision = Join({Id3v2Header(10, 3, 0xFF), audio});
  Bytes badSize = Join({Id3v2Header(10), audio});
  badSize[8] = 0x80;
  Bytes notAtStart = Join({Zeros(1), Id3v2Header(10), audio});
  Bytes lowerCase = Join({Id3v2Header(10), audio});
  lowerCase[0] = 'i';
  for (const Bytes& file : {badVersion, badRevision, badSize, notAtStart, lowerCase}) {
    CHECK(Clean(file) == file);
    // A trailer is still removed before the header is looked at.
    CHECK(Clean(Join({file, Trailer()})) == file);
  }
}

TEST(ShortFilesAreLeftAlone) {
  Bytes shortWithHeader = Join({Id3v2Header(10), Pattern(100)});
  CHECK(Clean(shortWithHeader) == shortWithHeader);
  CHECK(Clean(Bytes{}).empty());
  // Exactly one trailer and nothing else: the file becomes empty.
  CHECK(Clean(Trailer()).empty());
  // A header announcing more than the file holds: zeroed up to the end, the file never grows.
  Bytes exact = Join({Id3v2Header(200), Pattern(118)});
  CHECK_EQ(exact.size(), 128u);
  CHECK(Clean(exact) == Join({Id3v2Header(200), Zeros(118)}));
}

TEST(SecondRunChangesNothingMore) {
  files::TempFolder folder;
  Bytes audio = Pattern(5000);
  files::Write(folder.Path() / "a.mp3", Join({Id3v2Header(300), Pattern(300), audio, Trailer()}));
  RemoveTags(folder.Text("a.mp3").c_str());
  Bytes once = files::Read(folder.Path() / "a.mp3");
  // The emptied tag is not written again: the file's time stays as it was.
  auto written = std::filesystem::last_write_time(folder.Path() / "a.mp3") - std::chrono::hours(1);
  std::filesystem::last_write_time(folder.Path() / "a.mp3", written);
  CHECK(RemoveTags(folder.Text("a.mp3").c_str()).result == RemovalResult::kNothingToRemove);
  CHECK(files::Read(folder.Path() / "a.mp3") == once);
  CHECK(std::filesystem::last_write_time(folder.Path() / "a.mp3") == written);
  CHECK(once == Join({Emptied(300), audio}));
}

// What is not a file to change says so: a missing path and an empty one could not be opened,
// a folder is not a regular file, and neither is touched.
TEST(MissingPathsAndFoldersAreNotOpenedAndSayWhy) {
  files::TempFolder folder;
  RemovalOutcome missing = RemoveTags(folder.Text("missing.mp3").c_str());
  CHECK(missing.result == RemovalResult::kNotOpened && missing.error == ERROR_FILE_NOT_FOUND);
  CHECK(RemoveTags("").result == RemovalResult::kNotOpened);
  std::filesystem::create_directory(folder.Path() / "x.mp3");
  CHECK(RemoveTags(folder.Text("x.mp3").c_str()).result == RemovalResult::kNotRegularFile);
  CHECK(std::filesystem::is_directory(folder.Path() / "x.mp3"));
  CHECK(!std::filesystem::exists(folder.Path() / "missing.mp3"));
}

// The zeros go out in chunks of sizeof ZeroBlock: a region ending just before, at or just
// after a chunk's end is zeroed to its last byte and not one byte further.
TEST(RegionsAroundAChunkEndAreZeroedExactly) {
  Bytes audio = Pattern(6000);
  for (size_t region : {sizeof ZeroBlock - 1, sizeof ZeroBlock, sizeof ZeroBlock + 1}) {
    Bytes tag = Pattern(region - 10, 9);
    CHECK(Clean(Join({Id3v2Header(static_cast<uint32_t>(region - 10)), tag, audio, Trailer()})) ==
          Join({Emptied(static_cast<uint32_t>(region - 10)), audio}));
  }
}

// Zeros as far as the largest tag reaches make one; a byte more, and they are no tag's.
TEST(ZerosReachingPastTheLargestTagStay) {
  files::TempFolder folder;
  std::string path = folder.Text("zeros.mp3");
  constexpr uint32_t kLargestTag = 0x0FFFFFFF;
  Bytes frame = Frames(1);  // then the file's end
  for (std::streamoff zeros :
       {std::streamoff{kLargestTag} + 10, std::streamoff{kLargestTag} + 11}) {
    std::ofstream(path, std::ios::binary)
        .seekp(zeros)
        .write(reinterpret_cast<const char*>(frame.data()), 417);
    RemoveTags(path.c_str());
    Bytes start(10);
    std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(start.data()), 10);
    CHECK(start == (zeros == kLargestTag + 10 ? Id3v2Header(kLargestTag) : Zeros(10)));
  }
}

TEST(FilesOfFiveGibibytesAreCleaned) {
  files::TempFolder folder;
  std::filesystem::path path = folder.Path() / "big.mp3";
  const uintmax_t size = 5ull << 30;
  Bytes audio = Pattern(100, 7);
  files::Write(path, Join({Id3v2Header(4000), Pattern(4000), audio}));
  std::filesystem::resize_file(path, size - 128);
  {
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out | std::ios::ate);
    Bytes trailer = Trailer();
    out.write(reinterpret_cast<const char*>(trailer.data()), 128);
  }
  CHECK_EQ(std::filesystem::file_size(path), size);
  RemoveTags(path.string().c_str());
  CHECK_EQ(std::filesystem::file_size(path), size - 128);
  Bytes start(4110);
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(start.data()), 4110);
  CHECK(start == Join({Emptied(4000), audio}));
}
