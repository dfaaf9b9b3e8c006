#include "worker/worker.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/failure_record.h"
#include "common/run_state.h"
#include "filelist/filelist.h"
#include "tagremoval/tagremoval.h"
#include "worker/open_ahead.h"

namespace {

// Files whose calls took this long each, on average, lie on a slow mount (a network share:
// each call a round trip); after that many such files in a row, the files after the one at
// hand are opened ahead. A call to a local disk's cache takes some microseconds whatever the
// size of the tag, and one file held up by the scheduler is no mount's doing: a local run makes
// the calls it always made. A cold disk's seeks may start the look-ahead, which they gain from.
constexpr int64_t kSlowCallMicroseconds = 100;
constexpr int64_t kMicrosecondsPerSecond = 1000000;
constexpr int kSlowFilesInARow = 3;
// The calls of a file beside the writes that zero its tag: at most an open, a type test, four
// moves, two reads, a truncation and a close.
constexpr DWORD kCallsBesideWrites = 10;
// Fewer entries left than this are not worth starting helpers for.
constexpr DWORD kWorthOpeningAhead = 3;

struct Controls {
  HWND Percent;
  HWND Progress;
  HWND FileName;
};

// A slow mount's call, in the performance counter's ticks.
int64_t SlowCallTicks() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart * kSlowCallMicroseconds / kMicrosecondsPerSecond;
}

int64_t Ticks() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

// The worker's own copy of the path list: the paths back to back, each NUL-terminated.
std::string CopyPaths(const char* const* paths, int* count) {
  std::string copy;
  *count = 0;
  for (const char* const* path = paths; *path != nullptr; ++path, ++*count) {
    copy.append(*path);
    copy.push_back('\0');
  }
  return copy;
}

void BuildFromPaths(const std::string& copy, int count) {
  const char* path = copy.c_str();
  for (int i = 0; i < count; ++i, path += std::strlen(path) + 1) BuildFileList(path, StopEvent);
}

// What went wrong with a file, as its line in the record begins.
LPCSTR WhatFailed(const RemovalOutcome& outcome) {
  if (outcome.result == RemovalResult::kNotOpened) return "could not be opened";
  if (outcome.result == RemovalResult::kNotRegularFile) return "not a regular file";
  switch (outcome.step) {
    case RemovalStep::kReadingTrailer:
      return "failed while reading its end";
    case RemovalStep::kCuttingTrailer:
      return "failed while cutting off its ID3v1 tag";
    case RemovalStep::kReadingHeader:
      return "failed while reading its start";
    default:
      return outcome.error != 0 ? "failed while zeroing its ID3v2 tag"
                                : "failed while zeroing its ID3v2 tag: a write was cut short";
  }
}

// Opens and cleans the file itself once no file it handed back is open. A file opened ahead
// under another of its names (another spelling, a link) shares it with a helper: then the
// look-ahead ends, closing all it opened, and the open is tried again.
RemovalOutcome CleanItself(OpenAhead*& ahead, LPCSTR path) {
  AwaitClosed(ahead);
  RemovalOutcome outcome = RemoveTags(path);
  if (ahead == nullptr || outcome.result != RemovalResult::kNotOpened ||
      outcome.error != ERROR_SHARING_VIOLATION) {
    return outcome;
  }
  EndOpenAheadClosingAll(ahead);
  ahead = nullptr;
  return RemoveTags(path);
}

// Cleans one file, from what was read ahead where a helper opened it, else itself; records it
// if that failed. An empty path (a program started with no argument) names no file, and is not
// one that failed.
RemovalOutcome Clean(OpenAhead*& ahead, LPCSTR path) {
  AheadFile opened;
  RemovalOutcome outcome;
  if (TakeFront(ahead, &opened)) {
    outcome = RemoveTagsOpened(opened.file, opened.start);
    HandBack(ahead, opened.file);
  } else {
    outcome = CleanItself(ahead, path);
  }
  if (IsFailure(outcome) && path[0] != '\0')
    RecordFailure(path, WhatFailed(outcome), outcome.error);
  return outcome;
}

// A file declined: closed unchanged if it was opened ahead.
void Decline(OpenAhead* ahead) {
  AheadFile opened;
  if (TakeFront(ahead, &opened)) HandBack(ahead, opened.file);
}

bool ShiftHeld() { return (GetKeyState(VK_SHIFT) & 0x8000) != 0; }

// Shows one entry, asks when Shift is held, and cleans it unless the answer was No. True when
// the file's calls took as long as a slow mount's do.
bool ProcessEntry(const Controls& controls, OpenAhead*& ahead, LPCSTR path, double percentDone,
                  int64_t slowCall) {
  char percentText[16];
  std::snprintf(percentText, sizeof percentText, "%.01f%%", percentDone);
  SetWindowTextA(controls.Percent, percentText);
  SetWindowTextA(controls.FileName, path);
  if (ShiftHeld() &&
      MessageBoxA(DialogWindow, path, "Confirm", MB_YESNO | MB_ICONQUESTION) != IDYES) {
    Decline(ahead);
    return false;
  }
  int64_t started = Ticks();
  RemovalOutcome outcome = Clean(ahead, path);
  return Ticks() - started >= slowCall * (kCallsBesideWrites + outcome.writes);
}

}  // namespace

DWORD WINAPI WorkerThreadProc(LPVOID parameter) {
  int pathCount = 0;
  std::string paths = CopyPaths(static_cast<const char* const*>(parameter), &pathCount);
  if (StopRequested()) return 0;
  SetDlgItemTextA(DialogWindow, IDC_FILENAME, "Building file list...");
  BuildFromPaths(paths, pathCount);
  Controls controls;
  controls.Percent = GetDlgItem(DialogWindow, IDC_PERCENT);
  controls.Progress = GetDlgItem(DialogWindow, IDC_PROGRESS);
  controls.FileName = GetDlgItem(DialogWindow, IDC_FILENAME);
  DWORD count = FileListCount();
  SendMessageA(controls.Progress, PBM_SETRANGE32, 0, static_cast<LPARAM>(count));
  SendMessageA(controls.Progress, PBM_SETSTEP, 1, 0);
  double PercentDone = 0.0;
  double PercentStep = count > 0 ? 100.0 / static_cast<double>(count) : 0.0;
  if (StopRequested()) return 0;
  OpenAhead* ahead = nullptr;
  int slowInARow = 0;
  int64_t slowCall = SlowCallTicks();
  while (FileListCount() > 0) {
    bool slow = ProcessEntry(controls, ahead, FileListFront(), PercentDone, slowCall);
    slowInARow = slow ? slowInARow + 1 : 0;
    if (StopRequested()) {
      EndOpenAhead(ahead);
      return 0;
    }
    AdvanceFront(ahead);
    if (ahead == nullptr && slowInARow >= kSlowFilesInARow &&
        FileListCount() >= kWorthOpeningAhead) {
      ahead = StartOpenAhead();
    }
    PercentDone += PercentStep;
    SendMessageA(controls.Progress, PBM_STEPIT, 0, 0);
  }
  EndOpenAhead(ahead);
  PostMessageA(DialogWindow, kFinishMessage, 0, 0);
  return 0;
}
