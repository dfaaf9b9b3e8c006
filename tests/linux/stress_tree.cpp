#include "stress_tree.h"

#include <algorithm>
#include <filesystem>

#include "steps.h"
#include "support/check.h"

namespace stress {
namespace {

const files::Bytes LargeTagged =
    files::Join({files::Id3v2Header(kLargeTag), files::Pattern(kLargeTag), files::Trailer()});

bool LargeCleaned(const files::Bytes& bytes) {
  constexpr size_t kHeader = 10, kRegion = kLargeTag + kHeader;
  files::Bytes expected(LargeTagged.begin(), LargeTagged.end() - files::Trailer().size());
  std::fill(expected.begin() + kHeader, expected.begin() + kRegion, 0);
  return bytes == expected;
}

}  // namespace

Tree MakeTree(std::minstd_rand& random, int mostSmallFiles) {
  Tree tree;
  for (int i = 0; i < kSubfolders; ++i) {
    std::filesystem::create_directories(tree.folder->Path() / ("sub" + std::to_string(i)));
  }
  int count = 1 + static_cast<int>(random() % mostSmallFiles);
  for (int i = 0; i < count; ++i) {
    std::string sub = "sub" + std::to_string(random() % kSubfolders);
    tree.small.push_back(tree.folder->Text(sub + "/f" + std::to_string(i) + ".mp3"));
    files::Write(tree.small.back(), steps::Tagged);
  }
  tree.large = tree.folder->Text("sub" + std::to_string(random() % kSubfolders) + "/large.mp3");
  files::Write(tree.large, LargeTagged);
  return tree;
}

void CheckEachFileWhole(Tree& tree) {
  for (const std::string& name : tree.small) {
    CHECK(steps::Cleaned(name) || steps::Untouched(name));
    tree.after[name] = files::Read(name);
  }
  files::Bytes large = files::Read(tree.large);
  CHECK(large == LargeTagged || LargeCleaned(large));
  tree.after[tree.large] = large;
}

void CheckUnchangedSinceItsEnd(const Tree& tree) {
  for (const auto& [name, bytes] : tree.after) CHECK(files::Read(name) == bytes);
}

size_t CountCleaned(const Tree& tree) {
  size_t count = 0;
  for (const std::string& name : tree.small) count += steps::Cleaned(name);
  return count + LargeCleaned(files::Read(tree.large));
}

}  // namespace stress
