#include "worker/worker.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/failure_record.h"
#include "common/run_state.h"
#include "common/storage_wait.h"
#include "filelist/filelist.h"
#include "tagremoval/tagremoval.h"
#include "worker/open_ahead.h"

namespace {

// A file waited on its storage when its open, reads and changes together took a wait's time (a
// cold disk's read, a mount's round trips, a client's cache that serves every read while every
// truncation is a round trip). After kWaitsInARow such files, the files after the one at hand
// are opened and read ahead, so that their waits overlap; with fewer entries left than this it
// is not worth starting helpers.
constexpr DWORD kWorthOpeningAhead = 3;

struct Controls {
  HWND Percent;
  HWND Progress;
  HWND FileName;
};

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

// Opens and cleans the file itself, once no file it handed back is open. A file opened ahead
// under another of its names (another spelling, a link) shares it with a helper: then the
// look-ahead ends, closing all it opened, and the open is tried again.
RemovalOutcome CleanItself(OpenAhead*& ahead, LPCSTR path) {
  RemovalOutcome outcome = RemoveTags(path);
  if (ahead == nullptr || outcome.result != RemovalResult::kNotOpened ||
      outcome.error != ERROR_SHARING_VIOLATION) {
    return outcome;
  }
  EndOpenAheadClosingAll(ahead);
  ahead = nullptr;
  return RemoveTags(path);
}

// Records a file whose change failed. An empty path (a program started with no argument) names
// no file, and is not one that failed.
void RecordIfFailed(LPCSTR path, const RemovalOutcome& outcome) {
  if (IsFailure(outcome) && path[0] != '\0')
    RecordFailure(path, WhatFailed(outcome), outcome.error);
}

// Whether files and their changes wait on their storage. A local disk's cache takes a change in a
// few microseconds, and the worker makes it at once, as handing it on would only hold up the
// helpers' opens; once kWaitsInARow changes in a row have waited on round trips (a mount's cut
// and write), the helpers make them while the worker goes on.
struct ChangePace {
  int64_t waitedTicks = WaitedTicks();
  int64_t changesWaitedTicks = ChangesWaitedTicks();
  int waitedInARow = 0;
  bool handedOn = false;
  void Note(const RemovalOutcome& outcome, int64_t changeTicks) {
    if (outcome.result == RemovalResult::kNothingToRemove) return;  // no change was made
    waitedInARow = changeTicks >= changesWaitedTicks ? waitedInARow + 1 : 0;
    handedOn = handedOn || waitedInARow >= kWaitsInARow;
  }
};

// Cleans one file: where a helper opened it, from what it read ahead, by that helper while the
// worker goes on once changes wait (its outcome recorded in the list's order), else by the
// worker; else the worker opens and cleans it itself. True when the worker's own calls waited
// on the storage.
bool Clean(OpenAhead*& ahead, LPCSTR path, ChangePace& pace) {
  AheadFile opened;
  if (TakeFront(ahead, &opened)) {
    if (pace.handedOn) {
      StartChange(ahead);
      return true;
    }
    int64_t started = TicksNow();
    RemovalOutcome outcome = RemoveTagsOpened(opened.file, opened.start);
    pace.Note(outcome, TicksNow() - started);
    HandBack(ahead, opened.file);
    RecordIfFailed(path, outcome);
    return true;
  }
  AwaitClosed(ahead);
  int64_t started = TicksNow();
  RemovalOutcome outcome = CleanItself(ahead, path);
  int64_t took = TicksNow() - started;
  pace.Note(outcome, took - outcome.readTicks);
  RecordIfFailed(path, outcome);
  return took >= pace.waitedTicks;
}

// A file declined: closed unchanged if it was opened ahead.
void Decline(OpenAhead* ahead) {
  AheadFile opened;
  if (TakeFront(ahead, &opened)) HandBack(ahead, opened.file);
}

bool ShiftHeld() { return (GetKeyState(VK_SHIFT) & 0x8000) != 0; }

// Shows one entry, asks when Shift is held, and cleans it unless the answer was No. True when
// its calls waited on its storage.
bool ProcessEntry(const Controls& controls, OpenAhead*& ahead, LPCSTR path, double percentDone,
                  ChangePace& pace) {
  char percentText[16];
  std::snprintf(percentText, sizeof percentText, "%.01f%%", percentDone);
  SetWindowTextA(controls.Percent, percentText);
  SetWindowTextA(controls.FileName, path);
  if (ShiftHeld() &&
      MessageBoxA(DialogWindow, path, "Confirm", MB_YESNO | MB_ICONQUESTION) != IDYES) {
    Decline(ahead);
    return false;
  }
  return Clean(ahead, path, pace);
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
  ChangePace pace;
  while (FileListCount() > 0) {
    bool waited = ProcessEntry(controls, ahead, FileListFront(), PercentDone, pace);
    waitingInARow = waited ? waitingInARow + 1 : 0;
    if (StopRequested()) {
      EndOpenAhead(ahead);
      return 0;
    }
    AdvanceFront(ahead);
    if (ahead == nullptr && waitingInARow >= kWaitsInARow &&
        FileListCount() >= kWorthOpeningAhead) {
      ahead = StartOpenAhead(RecordIfFailed);
    }
    PercentDone += PercentStep;
    SendMessageA(controls.Progress, PBM_STEPIT, 0, 0);
  }
  EndOpenAhead(ahead);
  PostMessageA(DialogWindow, kFinishMessage, 0, 0);
  return 0;
}
