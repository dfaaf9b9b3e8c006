// The batch worker against the recorder: the exact calls of a run, Shift, and the stop tests.
#include <filesystem>

#include "common/run_state.h"
#include "filelist/filelist.h"
#include "support/check.h"
#include "support/files.h"
#include "support/recorder.h"
#include "worker/worker.h"

using files::Bytes;
using Lines = std::vector<std::string>;

namespace {

const Lines Start = {"SetDlgItemTextA dialog 1002 Building file list...", "GetDlgItem dialog 1001",
                     "GetDlgItem dialog 1000", "GetDlgItem dialog 1002"};
const std::string Step = "SendMessageA progress PBM_STEPIT 0 0";
const std::string Finish = "PostMessageA dialog WM_USER 0 0";
const std::string Shift = "GetKeyState 16";

Lines Range(int count) {
  return {"SendMessageA progress PBM_SETRANGE32 0 " + std::to_string(count),
          "SendMessageA progress PBM_SETSTEP 1 0"};
}

Lines Entry(const std::string& percent, const std::string& path) {
  return {"SetWindowTextA percent " + percent, "SetWindowTextA filename " + path, Shift};
}

Lines Join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const Bytes Audio = files::Pattern(500);
const Bytes Tagged = files::Join({files::Id3v2Header(50), files::Pattern(50), Audio});
const Bytes Cleaned = files::Join({files::Id3v2Header(50), Bytes(50, 0), Audio});

// A run's stage: the dialog's handles in place, an empty list, a fresh recorder.
struct Run {
  Run() {
    recorder::Reset();
    FileListClear();
    DialogWindow = recorder::Dialog;
    StopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  }
  ~Run() {
    CloseHandle(StopEvent);
    StopEvent = nullptr;
    recorder::Reset();
  }
  DWORD Work(const std::string& path) {
    const char* paths[] = {path.c_str(), nullptr};
    return WorkerThreadProc(paths);
  }
};

// A folder of three tagged files, in enumeration order.
std::vector<std::string> ThreeFiles(const files::TempFolder& folder) {
  for (const char* name : {"1.mp3", "2.mp3", "3.mp3"}) files::Write(folder.Path() / name, Tagged);
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    paths.push_back(folder.Text() + kPathSeparator + entry.path().filename().string());
  }
  return paths;
}

}  // namespace

TEST(EmptyFolderRunsToTheFinish) {
  Run run;
  files::TempFolder folder;
  CHECK_EQ(run.Work(folder.Text()), 0u);
  CHECK(recorder::Log == Join({Start, Range(0), {Finish}}));
}

TEST(OneFileIsShownCleanedAndStepped) {
  Run run;
  files::TempFolder folder;
  files::Write(folder.Path() / "a.mp3", Tagged);
  std::string path = folder.Text("a.mp3");
  CHECK_EQ(run.Work(path), 0u);
  CHECK(recorder::Log == Join({Start, Range(1), Entry("0.0%", path), {Step, Finish}}));
  CHECK(files::Read(path) == Cleaned);
  CHECK_EQ(FileListCount(), 0u);
}

TEST(ThreeFilesShowTheShareFinishedBeforeEach) {
  Run run;
  files::TempFolder folder;
  std::vector<std::string> paths = ThreeFiles(folder);
  CHECK_EQ(run.Work(folder.Text()), 0u);
  CHECK(recorder::Log == Join({Start,
                               Range(3),
                               Entry("0.0%", paths[0]),
                               {Step},
                               Entry("33.3%", paths[1]),
                               {Step},
                               Entry("66.7%", paths[2]),
                               {Step, Finish}}));
  for (const std::string& path : paths) CHECK(files::Read(path) == Cleaned);
}

TEST(ShiftAsksPerFileAndNoSkipsButSteps) {
  Run run;
  files::TempFolder folder;
  std::vector<std::string> paths = ThreeFiles(folder);
  recorder::ShiftHeld = {true, false, true};
  recorder::MessageBoxAnswers = {IDNO, IDYES};
  CHECK_EQ(run.Work(folder.Text()), 0u);
  auto ask = [](const std::string& path) {
    return "MessageBoxA dialog " + path + " | Confirm | 36";
  };
  CHECK(recorder::Log == Join({Start,
                               Range(3),
                               Entry("0.0%", paths[0]),
                               {ask(paths[0]), Step},
                               Entry("33.3%", paths[1]),
                               {Step},
                               Entry("66.7%", paths[2]),
                               {ask(paths[2]), Step, Finish}}));
  CHECK(files::Read(paths[0]) == Tagged);
  CHECK(files::Read(paths[1]) == Cleaned);
  CHECK(files::Read(paths[2]) == Cleaned);
}

TEST(StopBeforeBuildingChangesNoControl) {
  Run run;
  files::TempFolder folder;
  ThreeFiles(folder);
  SetEvent(StopEvent);
  CHECK_EQ(run.Work(folder.Text()), 0u);
  CHECK(recorder::Log.empty());
  CHECK_EQ(FileListCount(), 0u);
}

TEST(StopDuringScanEntersNoFolderAndPostsNothing) {
  Run run;
  files::TempFolder folder;
  ThreeFiles(folder);
  recorder::OnCall = [](const std::string& line) {
    if (line == Start[0]) SetEvent(StopEvent);
  };
  CHECK_EQ(run.Work(folder.Text()), 0u);
  CHECK(recorder::Log == Join({Start, Range(0)}));
}

TEST(StopAfterBuildingShowsNoFile) {
  Run run;
  files::TempFolder folder;
  std::vector<std::string> paths = ThreeFiles(folder);
  recorder::OnCall = [](const std::string& line) {
    if (line == Range(3)[1]) SetEvent(StopEvent);
  };
  CHECK_EQ(run.Work(folder.Text()), 0u);
  CHECK(recorder::Log == Join({Start, Range(3)}));
  CHECK_EQ(FileListCount(), 3u);
  CHECK(files::Read(paths[0]) == Tagged);
}

TEST(StopAfterFileFinishesItButNeitherCountsNorSteps) {
  Run run;
  files::TempFolder folder;
  std::vector<std::string> paths = ThreeFiles(folder);
  recorder::OnCall = [&](const std::string& line) {
    if (line == "SetWindowTextA filename " + paths[1]) SetEvent(StopEvent);
  };
  CHECK_EQ(run.Work(folder.Text()), 0u);
  CHECK(recorder::Log ==
        Join({Start, Range(3), Entry("0.0%", paths[0]), {Step}, Entry("33.3%", paths[1])}));
  CHECK(files::Read(paths[1]) == Cleaned);
  CHECK(files::Read(paths[2]) == Tagged);
  CHECK_EQ(FileListCount(), 2u);
  CHECK_EQ(std::string(FileListFront()), paths[1]);
}

TEST(EachPathOfTheListIsBuiltInTurn) {
  Run run;
  files::TempFolder folder;
  std::vector<std::string> paths = ThreeFiles(folder);
  files::Write(folder.Path() / "single.wav", Tagged);
  std::string single = folder.Text("single.wav");
  std::string top = folder.Text();
  const char* list[] = {single.c_str(), top.c_str(), "", nullptr};
  CHECK_EQ(WorkerThreadProc(list), 0u);
  CHECK(recorder::Log == Join({Start,
                               Range(5),
                               Entry("0.0%", single),
                               {Step},
                               Entry("20.0%", paths[0]),
                               {Step},
                               Entry("40.0%", paths[1]),
                               {Step},
                               Entry("60.0%", paths[2]),
                               {Step},
                               Entry("80.0%", ""),
                               {Step, Finish}}));
  CHECK(files::Read(single) == Cleaned);
}
