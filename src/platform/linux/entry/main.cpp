// The Linux start-up: each argument is one path, taken in the order given; with none the
// program gets one empty path, as an empty command-line tail gives on Windows. "--help",
// "--version", "--terminal" and "--no-dialog" are the only options, and "--" ends them, so a
// path named like one can be given.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/failure_record.h"
#include "console.h"
#include "drivers.h"
#include "ui/ui.h"
#include "user_driver.h"

namespace {

constexpr int kCannotStart = 1;
// With no dialog to list them, a run that could not change everything says so in its status;
// a forced end (1) and no dialog (255) say more and keep theirs.
constexpr int kSomethingNotChanged = 2;

const char kUsage[] =
    "Usage: vardel [--] [PATH]...\n"
    "Removes ID3 tags from MP3 files in place, with no undo: an ID3v1 trailer is cut off, an\n"
    "ID3v2 tag emptied (its header kept, all after it zeros, so players skip it; one that holds\n"
    "nothing is left), and zeros an earlier zeroing left before the audio get an empty tag's\n"
    "header. Each PATH is a file, or a folder whose \".mp3\" files are cleaned, its subfolders\n"
    "included (but not those whose names begin with \".\"). Hold Shift to confirm each file.\n"
    "\n"
    "  --terminal  show the progress on the terminal even where a display is at hand\n"
    "  --no-dialog show nothing and ask nothing: for scripts, cron jobs and services\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "  --          end of options: the arguments after it are paths\n"
    "\n"
    "Exit status: 0 when the run ended by itself (completed or stopped), 1 when it could not\n"
    "start or had to be ended forcibly (as after a stop while the list is being built), 255\n"
    "when the dialog could not be opened; with --no-dialog, 2 when a file or a given path\n"
    "could not be changed.\n"
    "\n"
    "Without a display the progress is shown on the terminal: Escape or Ctrl-C asks to stop.\n"
    "Shift can be read only from a display; on a terminal alone it is never held.\n"
    "Files that could not be changed are listed, with why, in a box at the end of the run.\n"
    "With --no-dialog nothing is asked; SIGTERM, SIGHUP and SIGINT stop the run after the\n"
    "file at hand, and each file that could not be changed, and any other error, is a line on\n"
    "stderr.\n";

// The scan holds a descriptor for each folder it is inside, so a tree deeper than the soft
// limit (often 1024, where the hard one is far higher) would end there: the limit is raised to
// all the system allows this process, so that a tree is scanned as deep as it can be.
void RaiseDescriptorLimit() {
  rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

// A process started with its standard descriptors closed (by a daemon, a job runner) would
// hand their numbers to the first files it opens, and a line said on standard error would be
// written into an MP3: each closed one is opened on /dev/null first; false where one cannot
// be. A standard error whose reader has gone (a pipe into head) fails the write that meets it
// instead of ending the process in the middle of a file's change.
bool KeepStandardDescriptors() {
  std::signal(SIGPIPE, SIG_IGN);
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF && open("/dev/null", O_RDWR) != fd) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!KeepStandardDescriptors()) return kCannotStart;
  static std::vector<const char*> paths;
  bool options = true;
  platform::DriverOrder order = platform::DriverOrder::kDisplayFirst;
  for (int i = 1; i < argc; ++i) {
    if (options && std::strcmp(argv[i], "--") == 0) {
      options = false;
    } else if (options && std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (options && std::strcmp(argv[i], "--terminal") == 0) {
      order = platform::DriverOrder::kTerminalFirst;
    } else if (options && std::strcmp(argv[i], "--no-dialog") == 0) {
      order = platform::DriverOrder::kNoDialog;
    } else if (options && std::strcmp(argv[i], "--version") == 0) {
      std::printf("vardel %s\n", VARDEL_VERSION);
      return 0;
    } else {
      paths.push_back(argv[i]);
    }
  }
  RaiseDescriptorLimit();
  if (const char* why = platform::PrepareUserSide()) {
    std::fprintf(stderr, "vardel: cannot start: %s: %s\n", why, std::strerror(errno));
    return kCannotStart;
  }
  platform::UseDrivers(order);
  if (order == platform::DriverOrder::kNoDialog) platform::AttachStandardError();
  if (paths.empty()) paths.push_back("");
  paths.push_back(nullptr);
  // The exit status is the result's low byte: -1 (no dialog) becomes 255.
  int result = ProgramMain(nullptr, paths.data()) & 0xFF;
  if (order == platform::DriverOrder::kNoDialog && result == 0 && FailureCount() > 0) {
    return kSomethingNotChanged;
  }
  return result;
}
