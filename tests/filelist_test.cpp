// The file list and the folder scan, on real folders.
#include <filesystem>
#include <string>
#include <vector>

#include "common/run_state.h"
#include "filelist/filelist.h"
#include "support/check.h"
#include "support/files.h"
#include "support/stop_event.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Listed() {
  std::vector<std::string> entries;
  while (FileListCount() > 0) {
    entries.push_back(FileListFront());
    FileListRemoveFront();
  }
  return entries;
}

std::vector<std::string> Build(const std::string& path) {
  FileListClear();
  BuildFileList(path.c_str());
  return Listed();
}

void Touch(const fs::path& path) { files::Write(path, files::Pattern(10)); }

// Names in the order the platform enumerates the folder.
std::vector<std::string> EnumerationOrder(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
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
  StopEventForTest stop;
  files::TempFolder folder;
  Touch(folder.Path() / "song.wav");
  CHECK(Build(folder.Text("song.wav")) == std::vector<std::string>{folder.Text("song.wav")});
  CHECK(Build(folder.Text("missing.mp3")) == std::vector<std::string>{folder.Text("missing.mp3")});
  CHECK(Build("") == std::vector<std::string>{""});
}

TEST(ScanListsMp3FilesDepthFirstInEnumerationOrder) {
  StopEventForTest stop;
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
  StopEventForTest stop;
  files::TempFolder folder;
  Touch(folder.Path() / "a.mp3");
  const std::string sep = kPathSeparator;
  CHECK(Build(folder.Text() + sep) ==
        std::vector<std::string>{folder.Text() + sep + sep + "a.mp3"});
}

TEST(EmptyAndUnreadableFoldersGiveNothing) {
  StopEventForTest stop;
  files::TempFolder folder;
  CHECK(Build(folder.Text()).empty());
  FileListClear();
  ScanFolder(folder.Text("missing"));
  CHECK(Listed().empty());
}

TEST(StopBeforeScanListsNothing) {
  StopEventForTest stop;
  files::TempFolder folder;
  Touch(folder.Path() / "a.mp3");
  SetEvent(StopEvent);
  CHECK(Build(folder.Text()).empty());
}
