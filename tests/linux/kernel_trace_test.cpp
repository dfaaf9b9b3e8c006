// What the program asks of the kernel per file and per folder, and the Linux-only cases:
// FIFOs, sockets, devices, links and byte-string names.
#include <filesystem>
#include <set>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "common/run_state.h"
#include "filelist/filelist.h"
#include "support/check.h"
#include "support/file_list.h"
#include "support/files.h"
#include "support/recorder.h"
#include "tagremoval/tagremoval.h"
#include "trace.h"
#include "worker/worker.h"

namespace fs = std::filesystem;
using files::Bytes;
using Lines = std::vector<std::string>;

namespace {

const std::string Open = "CreateFileA 3221225472 1 3 0 ok";

Lines TraceRemoveTags(const std::string& path, RemovalResult* result = nullptr) {
  trace::Reset();
  RemovalOutcome outcome = RemoveTags(path.c_str());
  if (result != nullptr) *result = outcome.result;
  Lines calls = trace::Calls;
  trace::Reset();
  return calls;
}

using listing::Build;

// The names in a folder that were opened (not just looked at) since the last question.
class OpenWatch {
 public:
  explicit OpenWatch(const std::string& folder) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    inotify_add_watch(fd_, folder.c_str(), IN_OPEN);
  }
  ~OpenWatch() { close(fd_); }
  Lines Opened() {
    Lines names;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = read(fd_, buffer, sizeof buffer)) > 0;) {
      for (char* at = buffer; at < buffer + got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(at);
        if (event->len > 0) names.push_back(event->name);
        at += sizeof(inotify_event) + event->len;
      }
    }
    return names;
  }

 private:
  int fd_;
};

size_t CountStarting(const Lines& lines, const std::string& prefix) {
  size_t count = 0;
  for (const std::string& line : lines) count += line.rfind(prefix, 0) == 0;
  return count;
}

}  // namespace

TEST(RemoveTagsMakesOnlyTheCallsItNeeds) {
  files::TempFolder folder;
  std::string path = folder.Text("a.mp3");
  const Bytes tagged =
      files::Join({files::Id3v2Header(5000), files::Pattern(9000), files::Trailer()});
  files::Write(path, tagged);
  CHECK(TraceRemoveTags(path) ==
        (Lines{Open, "GetFileType 1", "SetFilePointerEx -128 2 ok", "ReadFile 3 -> 3 ok",
               "SetFilePointerEx -128 2 ok", "SetEndOfFile ok", "SetFilePointerEx 0 0 ok",
               "ReadFile 11 -> 11 ok", "SetFilePointerEx 10 0 ok", "WriteFile 4086 ZeroBlock ok",
               "WriteFile 914 ZeroBlock ok", "CloseHandle ok"}));
  files::Write(path, files::Pattern(300));
  CHECK(TraceRemoveTags(path) ==
        (Lines{Open, "GetFileType 1", "SetFilePointerEx -128 2 ok", "ReadFile 3 -> 3 ok",
               "SetFilePointerEx 0 0 ok", "ReadFile 11 -> 11 ok", "CloseHandle ok"}));
  files::Write(path, files::Pattern(127));
  CHECK(TraceRemoveTags(path) ==
        (Lines{Open, "GetFileType 1", "SetFilePointerEx -128 2 failed", "CloseHandle ok"}));
  files::Write(path, files::Trailer());
  CHECK(TraceRemoveTags(path) ==
        (Lines{Open, "GetFileType 1", "SetFilePointerEx -128 2 ok", "ReadFile 3 -> 3 ok",
               "SetFilePointerEx -128 2 ok", "SetEndOfFile ok", "SetFilePointerEx 0 0 ok",
               "ReadFile 11 -> 0 ok", "CloseHandle ok"}));

  // A run over files the cache holds opens each of them as RemoveTags does, none ahead. A
  // loaded machine can hold up a cached call now and then, never three runs' worth in a row.
  files::TempFolder warm;
  constexpr size_t kWarmFiles = 12;
  constexpr int kTries = 3;
  recorder::Reset();
  DialogWindow = recorder::Dialog;
  StopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const char* paths[] = {warm.Path().c_str(), nullptr};
  bool noneAhead = false;
  for (int attempt = 0; attempt < kTries && !noneAhead; ++attempt) {
    for (size_t i = 0; i < kWarmFiles; ++i)
      files::Write(warm.Text(std::to_string(i) + ".mp3"), tagged);
    trace::Reset();
    WorkerThreadProc(paths);
    noneAhead = CountStarting(trace::Calls, Open) == kWarmFiles;  // a helper's open has flags
  }
  CHECK(noneAhead);
  trace::Reset();
  CloseHandle(StopEvent);
  StopEvent = nullptr;
}

// Opening a device can have effects of its own (a tape rewinds, a serial line's modem lines
// change): nothing but a regular file is opened for writing, which inotify would see. The rest
// get a handle that only names them, and are not regular files.
TEST(OnlyRegularFilesAreOpenedForWriting) {
  files::TempFolder folder;
  OpenWatch watch(folder.Text());
  std::string fifo = folder.Text("x.mp3");
  CHECK_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto named = [](DWORD type) {
    return Lines{Open, "GetFileType " + std::to_string(type), "CloseHandle ok"};
  };
  RemovalResult result = RemovalResult::kChanged;
  CHECK(TraceRemoveTags(fifo, &result) == named(FILE_TYPE_PIPE));
  CHECK(result == RemovalResult::kNotRegularFile);
  result = RemovalResult::kChanged;
  CHECK(TraceRemoveTags(folder.Text(), &result) == Lines{"CreateFileA 3221225472 1 3 0 failed"});
  CHECK(result == RemovalResult::kNotRegularFile);
  std::string device = folder.Text("null.mp3");
  bool root = mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;  // as /dev/null
  if (root) CHECK(TraceRemoveTags(device) == named(FILE_TYPE_CHAR));

  std::string socketPath = folder.Text("s.mp3");
  int server = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  CHECK_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  CHECK(TraceRemoveTags(socketPath) == named(FILE_TYPE_PIPE));
  close(server);
  CHECK(fs::is_fifo(fifo) && fs::is_socket(socketPath));
  CHECK(watch.Opened().empty());

  std::string file = folder.Text("a.mp3");
  files::Write(file, files::Pattern(200));
  TraceRemoveTags(file);
  CHECK(watch.Opened() == (Lines{"a.mp3"}));
  CHECK(TraceRemoveTags(folder.Text("missing.mp3"), &result) ==
        Lines{"CreateFileA 3221225472 1 3 0 failed"});
  CHECK(result == RemovalResult::kNotOpened && GetLastError() == ERROR_FILE_NOT_FOUND);
}

// A descriptor number comes back for the next file opened: its type is that file's, never one
// remembered from the closed handle.
TEST(FileTypeIsNeverTheClosedHandlesOne) {
  files::TempFolder folder;
  std::string file = folder.Text("a.mp3"), fifo = folder.Text("f.mp3");
  files::Write(file, files::Pattern(200));
  CHECK_EQ(mkfifo(fifo.c_str(), 0600), 0);
  HANDLE regular = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  CHECK_EQ(GetFileType(regular), FILE_TYPE_DISK);
  CHECK(CloseHandle(regular));
  HANDLE pipe =
      CreateFileA(fifo.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  CHECK(pipe == regular);
  CHECK_EQ(GetFileType(pipe), FILE_TYPE_PIPE);
  CHECK(CloseHandle(pipe));
}

TEST(ScanEnumeratesEachFolderOnceAndStopsEnteringFolders) {
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  files::TempFolder folder;
  for (const char* sub : {"one", "two"}) {
    fs::create_directories(folder.Path() / sub / "inner");
    files::Write(folder.Path() / sub / (std::string(sub) + ".mp3"), {});
    files::Write(folder.Path() / sub / "inner" / "deep.mp3", {});
  }
  files::Write(folder.Path() / "a.mp3", {});
  files::Write(folder.Path() / "z.mp3", {});
  trace::Reset();
  CHECK_EQ(Build(folder.Text(), stop).size(), 6u);
  CHECK_EQ(CountStarting(trace::Calls, "FindFirstFileExA"), 5u);

  // A stop while the first subfolder is being enumerated: that folder and the top one are
  // finished, no other folder is entered.
  trace::Reset();
  int enumerations = 0;
  trace::OnCall = [&](const std::string& line) {
    if (line.rfind("FindFirstFileExA", 0) == 0 && ++enumerations == 2) SetEvent(stop);
  };
  std::vector<std::string> listed = Build(folder.Text(), stop);
  CHECK_EQ(CountStarting(trace::Calls, "FindFirstFileExA"), 2u);
  trace::Reset();
  std::set<std::string> names;
  for (const std::string& path : listed) names.insert(fs::path(path).filename().string());
  CHECK_EQ(listed.size(), 3u);
  CHECK(names.count("a.mp3") && names.count("z.mp3") &&
        (names.count("one.mp3") ^ names.count("two.mp3")));
  CloseHandle(stop);

  // The worker's scan stops on the run's own stop event.
  recorder::Reset();
  DialogWindow = recorder::Dialog;
  StopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  enumerations = 0;
  trace::OnCall = [&](const std::string& line) {
    if (line.rfind("FindFirstFileExA", 0) == 0 && ++enumerations == 2) SetEvent(StopEvent);
  };
  std::string top = folder.Text();
  const char* paths[] = {top.c_str(), nullptr};
  WorkerThreadProc(paths);
  CHECK_EQ(CountStarting(trace::Calls, "FindFirstFileExA"), 2u);
  trace::Reset();
  FileListClear();
  CloseHandle(StopEvent);
  StopEvent = nullptr;
}

TEST(AnEntryWhoseNameDoesNotFitIsSkippedNotTheRestOfItsFolder) {
  files::TempFolder folder;
  for (const char* name : {"a", "b", "c", "d", "e", "f", "g"}) {
    files::Write(folder.Path() / (std::string(name) + ".mp3"), {});
  }
  std::vector<std::string> all = Build(folder.Text());
  CHECK_EQ(all.size(), 7u);
  // FindNextFileA's first entry: the file system's order may put a file before ".".
  std::string first = trace::FirstFound;
  size_t start = fs::path(all[0]).filename() == first ? 1 : 0;
  for (size_t at : {start, all.size() / 2, all.size() - 1}) {
    trace::Reset();
    trace::MoreDataAt = fs::path(all[at]).filename().string();
    std::vector<std::string> expected = all;
    expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(at));
    CHECK(Build(folder.Text()) == expected);
  }
  // An enumeration that keeps failing so without moving on ends its folder, and the scan.
  trace::Reset();
  trace::MoreDataStuck = 1000;
  std::vector<std::string> listed = Build(folder.Text());
  CHECK(listed.empty() || (listed.size() == 1 && fs::path(listed[0]).filename() == first));
  CHECK(trace::MoreDataStuck > 0);
  trace::Reset();
}

TEST(LinksAreFollowedButCyclesEnd) {
  files::TempFolder folder;
  fs::create_directory(folder.Path() / "sub");
  files::Write(folder.Path() / "a.mp3", {});
  files::Write(folder.Path() / "sub" / "b.mp3", {});
  fs::create_directory_symlink("..", folder.Path() / "sub" / "up");
  fs::create_directory_symlink(".", folder.Path() / "sub" / "self");
  fs::create_directory_symlink("sub", folder.Path() / "link");
  fs::create_symlink("a.mp3", folder.Path() / "file-link.mp3");
  fs::create_symlink("nowhere", folder.Path() / "dangling.mp3");
  std::vector<std::string> listed = Build(folder.Text());
  std::multiset<std::string> got(listed.begin(), listed.end());
  std::multiset<std::string> expected{folder.Text("a.mp3"), folder.Text("sub/b.mp3"),
                                      folder.Text("link/b.mp3"), folder.Text("file-link.mp3"),
                                      folder.Text("dangling.mp3")};
  CHECK(got == expected);
  // A link given as the path is a folder too; from there, "up" is no cycle.
  listed = Build(folder.Text("link"));
  got = std::multiset<std::string>(listed.begin(), listed.end());
  expected = {folder.Text("link/b.mp3"), folder.Text("link/up/a.mp3"),
              folder.Text("link/up/file-link.mp3"), folder.Text("link/up/dangling.mp3")};
  CHECK(got == expected);
}

TEST(NamesAreBytesPassedUnchanged) {
  files::TempFolder folder;
  std::string name = folder.Text() + "/\xff\xfe caf\xe9.mp3";
  files::Write(name,
               files::Join({files::Id3v2Header(20), files::Pattern(20), files::Pattern(400)}));
  CHECK(Build(folder.Text()) == std::vector<std::string>{name});
  RemoveTags(name.c_str());
  CHECK(files::Read(name) ==
        files::Join({files::Id3v2Header(20), Bytes(20, 0), files::Pattern(400)}));
}
