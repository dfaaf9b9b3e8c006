#include "worker/worker.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/failure_record.h"
#include "common/run_state.h"
#include "filelist/filelist.h"
#include "tagremoval/tagremoval.h"

namespace {

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
  for (int i = 0; i < count; ++i, path += std::strlen(path) + 1) BuildFileList(path);
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

// Cleans one file, recording it if that failed. An empty path (a program started with no
// argument) names no file, and is not one that failed.
void Clean(LPCSTR path) {
  RemovalOutcome outcome = RemoveTags(path);
  if (IsFailure(outcome) && path[0] != '\0')
    RecordFailure(path, WhatFailed(outcome), outcome.error);
}

bool ShiftHeld() { return (GetKeyState(VK_SHIFT) & 0x8000) != 0; }

// Shows one entry, asks when Shift is held, and cleans it unless the answer was No.
void ProcessEntry(const Controls& controls, LPCSTR path, double percentDone) {
  char percentText[16];
  std::snprintf(percentText, sizeof percentText, "%.01f%%", percentDone);
  SetWindowTextA(controls.Percent, percentText);
  SetWindowTextA(controls.FileName, path);
  if (ShiftHeld() &&
      MessageBoxA(DialogWindow, path, "Confirm", MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  Clean(path);
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
  while (FileListCount() > 0) {
    ProcessEntry(controls, FileListFront(), PercentDone);
    if (StopRequested()) return 0;
    FileListRemoveFront();
    PercentDone += PercentStep;
    SendMessageA(controls.Progress, PBM_STEPIT, 0, 0);
  }
  PostMessageA(DialogWindow, kFinishMessage, 0, 0);
  return 0;
}
