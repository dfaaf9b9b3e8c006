#include "common/failure_record.h"
#include "common/run_state.h"
#include "ui/ui.h"
#include "worker/worker.h"

namespace {

BOOL OnInitDialog(HWND window, LPARAM paths) {
  DialogWindow = window;
  StopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (StopEvent != nullptr) {
    DWORD threadId = 0;
    WorkerThread =
        CreateThread(nullptr, 0, WorkerThreadProc, reinterpret_cast<LPVOID>(paths), 0, &threadId);
  }
  if (StopEvent == nullptr || WorkerThread == nullptr) {
    if (StopEvent != nullptr) CloseHandle(StopEvent);
    StopEvent = nullptr;
    MessageBoxA(window, "Error creating worker thread!", nullptr, MB_ICONERROR | MB_OK);
    EndDialog(window, 1);
  }
  return TRUE;
}

// Whatever could not be changed is said once, before the dialog goes, whether the run
// completed or was stopped.
void ReportFailures(HWND window) {
  if (FailureCount() == 0) return;
  MessageBoxA(window, FailureReport(), "Vardel", MB_ICONWARNING | MB_OK);
}

// Waits out the grace period, ends the worker if it is still going, and ends the dialog with
// its exit code. A finish message after the first (the worker's and a confirmed stop's can
// meet) finds the handles gone and does nothing: the dialog keeps the first result.
void OnFinish(HWND window) {
  if (WorkerThread == nullptr) return;
  if (WaitForSingleObject(WorkerThread, GRACE_PERIOD_MS) != WAIT_OBJECT_0) {
    TerminateThread(WorkerThread, 1);
  }
  DWORD exitCode = 1;
  GetExitCodeThread(WorkerThread, &exitCode);
  CloseHandle(StopEvent);
  CloseHandle(WorkerThread);
  StopEvent = nullptr;
  WorkerThread = nullptr;
  ReportFailures(window);
  EndDialog(window, static_cast<INT_PTR>(exitCode));
}

void OnClose(HWND window) {
  if (MessageBoxA(window, "Are you sure you want to stop?", "Question",
                  MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  // After a finish already handled StopEvent is gone; there is nothing left to stop.
  if (StopEvent != nullptr) SetEvent(StopEvent);
  SendMessageA(window, kFinishMessage, 0, 0);
}

}  // namespace

INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(window, lParam);
    case WM_CLOSE:
      OnClose(window);
      return TRUE;
    case WM_COMMAND:
      if (wParam == IDCANCEL) SendMessageA(window, WM_CLOSE, 0, 0);
      return TRUE;
    case kFinishMessage:
      OnFinish(window);
      return TRUE;
  }
  return FALSE;
}

int ProgramMain(HINSTANCE instance, const char* const* paths) {
  return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr,
                                          ProgressDialogProc, reinterpret_cast<LPARAM>(paths)));
}
