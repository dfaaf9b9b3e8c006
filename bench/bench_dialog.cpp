// What the progress dialog costs the worker per file: the three updates it waits on (the
// percentage, the path line, one step of the bar), sent from another thread to the real Qt
// dialog on the offscreen platform, set against a bare mutex/condition-variable round trip
// between two threads on the same machine. Then the whole program on a folder, dialog included.
// Prints figures; asserts nothing.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "common/run_state.h"
#include "drivers.h"
#include "support/files.h"
#include "ui/ui.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr UINT BenchDone = WM_USER + 100;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Two threads hand a flag back and forth: the floor under any update that waits on another
// thread.
double BareRoundTrip(int trips) {
  std::mutex mutex;
  std::condition_variable changed;
  int asked = 0, answered = 0;
  std::thread server([&] {
    for (int i = 1; i <= trips; ++i) {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return asked == i; });
      answered = i;
      changed.notify_all();
    }
  });
  Clock::time_point start = Clock::now();
  for (int i = 1; i <= trips; ++i) {
    std::unique_lock<std::mutex> lock(mutex);
    asked = i;
    changed.notify_all();
    changed.wait(lock, [&] { return answered == i; });
  }
  double total = Seconds(start);
  server.join();
  return total / trips;
}

struct Updates {
  int files = 0;  // how many rounds of the three updates
  double percent = 0, path = 0, step = 0, total = 0;
  double local = 0;  // the same rounds made on the dialog's own thread
};

// The same calls as the worker's, in the same order, with texts like the worker's.
void UpdateRounds(HWND dialog, Updates& figures, bool split) {
  HWND percent = GetDlgItem(dialog, IDC_PERCENT);
  HWND path = GetDlgItem(dialog, IDC_FILENAME);
  HWND bar = GetDlgItem(dialog, IDC_PROGRESS);
  SendMessageA(bar, PBM_SETRANGE32, 0, figures.files);
  SendMessageA(bar, PBM_SETSTEP, 1, 0);
  char text[64], name[96];
  double* parts[] = {&figures.percent, &figures.path, &figures.step};
  Clock::time_point start = Clock::now();
  for (int i = 0; i < figures.files; ++i) {
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * i / figures.files);
    std::snprintf(name, sizeof name, "/home/user/Music/album%d/track%d.mp3", i / 100, i);
    Clock::time_point at = Clock::now();
    for (int part = 0; part < 3; ++part) {
      if (part == 0) SetWindowTextA(percent, text);
      if (part == 1) SetWindowTextA(path, name);
      if (part == 2) SendMessageA(bar, PBM_STEPIT, 0, 0);
      if (split) *parts[part] += Seconds(at);
      if (split) at = Clock::now();
    }
  }
  (split ? figures.total : figures.local) = Seconds(start);
}

std::thread Sender;

// Rounds from another thread while the dialog is up, then the same rounds on the dialog's own
// thread, where the calls run at once: what is left there is the widgets' own work.
INT_PTR CALLBACK BenchDialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
  static Updates* figures = nullptr;
  if (message == WM_INITDIALOG) {
    figures = reinterpret_cast<Updates*>(lParam);
    Sender = std::thread([window] {
      UpdateRounds(window, *figures, true);
      PostMessageA(window, BenchDone, 0, 0);
    });
    return TRUE;
  }
  if (message == BenchDone) {
    Sender.join();
    UpdateRounds(window, *figures, false);
    EndDialog(window, 0);
    return TRUE;
  }
  return FALSE;
}

void MeasureUpdates(int count, double bare) {
  Updates figures;
  figures.files = count;
  INT_PTR result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr,
                                   BenchDialogProc, reinterpret_cast<LPARAM>(&figures));
  if (result != 0) {
    std::printf("the dialog could not be created\n");
    return;
  }
  double perFile = figures.total / count;
  std::printf(
      "%6d files: %.2f us per file (percent %.2f, path %.2f, step %.2f us); "
      "%.1f x three bare round trips; on the dialog's thread %.2f us\n",
      count, perFile * 1e6, figures.percent / count * 1e6, figures.path / count * 1e6,
      figures.step / count * 1e6, perFile / (3 * bare), figures.local / count * 1e6);
}

// The real program on a folder of small tagged files: scan, cleaning and the dialog together.
void MeasureProgram(int count) {
  files::TempFolder folder;
  files::Bytes tagged = files::Join(
      {files::Id3v2Header(2000), files::Pattern(2000), files::Pattern(4096), files::Trailer()});
  files::WriteAlbums(folder.Path(), count, tagged);
  std::string top = folder.Text();
  const char* paths[] = {top.c_str(), nullptr};
  platform::UseDrivers(platform::DriverOrder::kDisplayFirst);
  Clock::time_point start = Clock::now();
  int result = ProgramMain(nullptr, paths);
  double run = Seconds(start);
  std::printf("program on %d files: exit %d, %.3f s = %.0f files/s\n", count, result, run,
              count / run);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int programFiles = argc > 1 ? std::atoi(argv[1]) : 2000;
  double bare = BareRoundTrip(200000);
  std::printf("bare mutex/condition-variable round trip: %.2f us\n", bare * 1e6);
  // The first round also pays for the fonts and first paints; the later ones are the steady cost.
  for (int round = 0; round < 3; ++round) {
    for (int count : {2000, 20000}) MeasureUpdates(count, bare);
  }
  MeasureProgram(programFiles);
  return 0;
}
