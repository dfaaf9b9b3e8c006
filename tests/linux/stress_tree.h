// The small trees of the stressed runs: tagged files in a few subfolders, one of them with a
// large tag, and what a run may leave of them.
#pragma once

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/files.h"
#include "tagremoval/tagremoval.h"

namespace stress {

constexpr size_t kLargeTag = 256 * 1024;
constexpr int kLargeTagWrites = kLargeTag / sizeof ZeroBlock + 1;
constexpr int kSubfolders = 3;

struct Tree {
  std::unique_ptr<files::TempFolder> folder = std::make_unique<files::TempFolder>();
  std::vector<std::string> small;
  std::string large;
  std::map<std::string, files::Bytes> after;  // every file as the run left it
};

// Between one and mostSmallFiles small files, and the large one.
Tree MakeTree(std::minstd_rand& random, int mostSmallFiles);
// Each file is exactly cleaned or exactly untouched; keeps what the run left.
void CheckEachFileWhole(Tree& tree);
void CheckUnchangedSinceItsEnd(const Tree& tree);
size_t CountCleaned(const Tree& tree);

}  // namespace stress
