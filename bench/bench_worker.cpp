// Files per second for a whole worker run (scan and cleaning) over freshly tagged files, with
// the recorder standing in for the dialog. Prints figures; asserts nothing.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/run_state.h"
#include "filelist/filelist.h"
#include "support/files.h"
#include "support/recorder.h"
#include "worker/worker.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  int count = argc > 1 ? std::atoi(argv[1]) : 2000;
  files::Bytes tagged = files::Join({files::Id3v2Header(6000), files::Pattern(6000),
                                     files::Pattern(64 * 1024), files::Trailer()});
  DialogWindow = recorder::Dialog;
  StopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  for (int round = 0; round < 3; ++round) {
    files::TempFolder folder;
    files::WriteAlbums(folder.Path(), count, tagged);
    recorder::Reset();
    std::string top = folder.Text();
    const char* paths[] = {top.c_str(), nullptr};
    Clock::time_point start = Clock::now();
    WorkerThreadProc(paths);
    double run = Seconds(start);
    start = Clock::now();
    FileListClear();
    BuildFileList(top.c_str(), StopEvent);
    double scan = Seconds(start);
    FileListClear();
    std::printf(
        "round %d: %d files, run %.3f s = %.0f files/s; scan alone %.4f s; %zu user calls\n", round,
        count, run, count / run, scan, recorder::Log.size());
  }
  return 0;
}
