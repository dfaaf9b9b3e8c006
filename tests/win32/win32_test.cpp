// Windows-only cases, against Wine's real file system calls.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

#include "support/check.h"
#include "support/file_list.h"
#include "support/files.h"
#include "tagremoval/tagremoval.h"

namespace fs = std::filesystem;
using files::Bytes;

namespace {

const Bytes Audio = files::Pattern(600);
const Bytes Tagged = files::Join({files::Id3v2Header(100), Audio, files::Trailer()});
const Bytes Cleaned =
    files::Join({files::Id3v2Header(100), Bytes(100, 0), Bytes(Audio.begin() + 100, Audio.end())});

HANDLE OpenElsewhere(const std::string& path, DWORD access, DWORD share) {
  return CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

TEST(ShareModeLetsOthersOnlyRead) {
  files::TempFolder folder;
  std::string path = folder.Text("a.mp3");
  files::Write(path, Tagged);
  // Held open elsewhere by a reader that shares reading only: ours, a writer, is refused.
  HANDLE reader = OpenElsewhere(path, GENERIC_READ, FILE_SHARE_READ);
  CHECK(reader != INVALID_HANDLE_VALUE);
  RemovalOutcome refused = RemoveTags(path.c_str());
  CHECK(refused.result == RemovalResult::kNotOpened && refused.error == ERROR_SHARING_VIOLATION);
  CHECK(files::Read(path) == Tagged);
  CloseHandle(reader);
  // A reader that lets others write as well does not keep the file from being cleaned.
  reader = OpenElsewhere(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  RemoveTags(path.c_str());
  CloseHandle(reader);
  CHECK(files::Read(path) == Cleaned);
}

// The tree is laid out by the host beforehand (Wine makes no links itself): a.mp3, sub\b.mp3
// and sub\up, a link back to the top.
TEST(LinkedFolderCyclesEnd) {
  const char* top = std::getenv("VARDEL_CYCLE_TREE");
  CHECK(top != nullptr);
  if (top == nullptr) return;
  CHECK(GetFileAttributesA((std::string(top) + "\\sub\\up").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  std::vector<std::string> entries = listing::Build(top);
  std::multiset<std::string> listed(entries.begin(), entries.end());
  std::string base = top;
  CHECK(listed == (std::multiset<std::string>{base + "\\a.mp3", base + "\\sub\\b.mp3"}));
}

// A reserved device name is never opened at all, in any folder, case or extension.
TEST(DeviceNamesAreNeverOpened) {
  files::TempFolder folder;
  for (const char* name : {"con.mp3", "NUL.mp3", "Aux .mp3", "com1.mp3", "LPT9.a.mp3", "prn"}) {
    CHECK(NamesDevice((folder.Text() + "\\" + name).c_str()));
    CHECK(RemoveTags((folder.Text() + "\\" + name).c_str()).result ==
          RemovalResult::kNotRegularFile);
  }
  for (const char* name : {"com0.mp3", "com10.mp3", "console.mp3", "xnul.mp3", "con\\a.mp3"}) {
    CHECK(!NamesDevice((folder.Text() + "\\" + name).c_str()));
  }
}
