// The file list and the folder scan, on real folders.
#include <filesystem>
#include <string>
#include <vector>

#include "filelist/filelist.h"
#include "support/check.h"
#include "support/file_list.h"
#include "support/files.h"
#include "support/small_stack.h"

namespace fs = std::filesystem;

namespace {

using listing::Build;
using listing::Listed;

void Touch(const fs::path& path) { files::Write(path, files::Pattern(10)); }

// Names in the order the platform enumerates the folder.
std::vector<std::string> EnumerationOrder(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// Each level of a scan holds its folder's enumeration open, a descriptor on Linux, where a
// process is commonly allowed 1024 open files: a chain of folders stays well below that.
constexpr int kDeepestChain = 900;

bool Enumerable(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileExA((folder + kPathSeparator + "*.*").c_str(), FindExInfoStandard,
                                 &entry, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

// Folders named "d", each in the one before, as deep as the platform's own calls still
// enumerate them (a program's ANSI calls take paths up to MAX_PATH on Windows, PATH_MAX on
// Linux) or kDeepestChain levels; returns the deepest, which holds a.mp3.
std::string FolderChain(const std::string& top) {
  std::string deepest = top;
  for (int depth = 0; depth < kDeepestChain; ++depth) {
    std::string next = deepest + kPathSeparator + "d";
    std::error_code error;
    if (!fs::create_directory(next, error) || !Enumerable(next)) break;
    deepest = next;
  }
  Touch(deepest + kPathSeparator + "a.mp3");
  return deepest;
}

}  // namespace

TEST(ListKeepsOrderAndDuplicates) {
  FileListClear();
  for (const char* path : {"b", "a", "b", ""}) FileListAppend(path, std::string(path).size());
  CHECK_EQ(FileListCount(), 4u);
  CHECK(Listed() == (std::vector<std::string>{"b", "a", "b", ""}));
  CHECK_EQ(FileListCount(), 0u);
}

TEST(SinglePathsAreTheOneEntry) {
  files::TempFolder folder;
  Touch(folder.Path() / "song.wav");
  CHECK(Build(folder.Text("song.wav")) == std::vector<std::string>{folder.Text("song.wav")});
  CHECK(Build(folder.Text("missing.mp3")) == std::vector<std::string>{folder.Text("missing.mp3")});
  CHECK(Build("") == std::vector<std::string>{""});
}

TEST(ScanListsMp3FilesDepthFirstInEnumerationOrder) {
  files::TempFolder folder;
  for (const char* name : {"a.mp3", "B.MP3", "c.mp3.txt", "mp3", "e.mP3", "f.Mp3x"}) {
    Touch(folder.Path() / name);
  }
  fs::create_directories(folder.Path() / "x" / "y");
  Touch(folder.Path() / "x" / "d.Mp3");
  Touch(folder.Path() / "x" / "y" / "deep.mp3");
  fs::create_directory(folder.Path() / "x.mp3");  // entered, not listed
  Touch(folder.Path() / "x.mp3" / "in.mp3");
  fs::create_directory(folder.Path() / ".hidden");  // not entered
  Touch(folder.Path() / ".hidden" / "no.mp3");
  fs::create_directory(folder.Path() / ".old.mp3");  // not entered, listed like a file
  Touch(folder.Path() / ".old.mp3" / "no.mp3");

  const std::string sep = kPathSeparator;
  std::vector<std::string> expected;
  for (const std::string& name : EnumerationOrder(folder.Path())) {
    std::string full = folder.Text() + sep + name;
    if (name == "x") {
      for (const std::string& inner : EnumerationOrder(folder.Path() / "x")) {
        if (inner == "d.Mp3") expected.push_back(full + sep + inner);
        if (inner == "y") expected.push_back(full + sep + "y" + sep + "deep.mp3");
      }
    } else if (name == "x.mp3") {
      expected.push_back(full + sep + "in.mp3");
    } else if (name == "a.mp3" || name == "B.MP3" || name == "e.mP3" || name == ".old.mp3") {
      expected.push_back(full);
    }
  }
  CHECK_EQ(expected.size(), 7u);
  CHECK(Build(folder.Text()) == expected);
}

TEST(TrailingSeparatorIsDoubled) {
  files::TempFolder folder;
  Touch(folder.Path() / "a.mp3");
  const std::string sep = kPathSeparator;
  CHECK(Build(folder.Text() + sep) ==
        std::vector<std::string>{folder.Text() + sep + sep + "a.mp3"});
}

TEST(EmptyAndMissingFoldersGiveNothing) {
  files::TempFolder folder;
  CHECK(Build(folder.Text()).empty());
  FileListClear();
  ScanFolder(folder.Text("missing"), nullptr);
  CHECK(Listed().empty());
}

TEST(StopBeforeScanListsNothing) {
  files::TempFolder folder;
  Touch(folder.Path() / "a.mp3");
  HANDLE stop = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  CHECK(Build(folder.Text(), stop).empty());
  CloseHandle(stop);
}

// A worker's stack is far larger, but a scan that took stack per folder level would still run
// out of it on a deep enough tree. On Windows a test program's paths stop at MAX_PATH, about a
// hundred levels here, which even such a scan fits in; Linux goes as deep as the chain does.
TEST(ScanOfTheDeepestTreeNeedsNoMoreStack) {
  constexpr size_t kSmallStack = 64 * 1024;
  files::TempFolder folder;
  std::string deepest = FolderChain(folder.Text());
  std::vector<std::string> listed;
  CHECK(RunOnSmallStack(kSmallStack, [&] { listed = Build(folder.Text()); }));
  CHECK(listed == std::vector<std::string>{deepest + kPathSeparator + "a.mp3"});
}
