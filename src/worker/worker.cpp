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

// A file whose open and reads took this long together waited on its storage (a cold disk's
// read, a mount's round trips): served by the system's cache they take a few microseconds.
// After that many such files in a row, the files after the one at hand are opened and read
// ahead, so that their waits overlap. One file held up by the scheduler is no storage's doing,
// and a warm run makes the calls it always made. Only those calls are timed: a look-ahead could
// make them ahead, never the changes.
constexpr int64_t kWaitedMicroseconds = 50;
constexpr int64_t kMicrosecondsPerSecond = 1000000;
constexpr int kWaitingFilesInARow = 3;
// Fewer entries left than this are not worth starting helpers for.
constexpr DWORD kWorthOpeningAhead = 3;

struct Controls {
  HWND Percent;
  HWND Progress;
  HWND FileName;
};

// The performance counter's ticks in kWaitedMicroseconds.
int64_t WaitedTicks() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart * kWaitedMicroseconds / kMicrosecondsPerSecond;
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
// its open and its reads together waited on its storage.
bool ProcessEntry(const Controls& controls, OpenAhead*& ahead, LPCSTR path, double percentDone,
                  int64_t waitedTicks) {
  char percentText[16];
  std::snprintf(percentText, sizeof percentText, "%.01f%%", percentDone);
  SetWindowTextA(controls.Percent, percentText);
  SetWindowTextA(controls.FileName, path);
  if (ShiftHeld() &&
      MessageBoxA(DialogWindow, path, "Confirm", MB_YESNO | MB_ICONQUESTION) != IDYES) {
    Decline(ahead);
    return false;
  }
  return Clean(ahead, path).readTicks >= waitedTicks;
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
  int waitingInARow = 0;
  int64_t waitedTicks = WaitedTicks();
  while (FileListCount() > 0) {
    bool waited = ProcessEntry(controls, ahead, FileListFront(), PercentDone, waitedTicks);
    waitingInARow = waited ? waitingInARow + 1 : 0;
    if (StopRequested()) {
      EndOpenAhead(ahead);
      return 0;
    }
    AdvanceFront(ahead);
    if (ahead == nullptr && waitingInARow >= kWaitingFilesInARow &&
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
