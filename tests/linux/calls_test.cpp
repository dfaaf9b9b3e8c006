// How the dialog's thread serves the waiting calls of another thread, on the real Qt dialog
// (offscreen): the finish handling serves nothing while it waits, even when it starts inside
// the serving of a stream of calls, and a caller still waiting when the grace period ends is
// ended for good. Each case runs with the usual spin and with a spin longer than the grace
// period, so that the caller is still spinning for its answer when it is abandoned: a spin that
// ignored abandonment would hang the run until the driver gives up.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "common/run_state.h"
#include "dialog_runner.h"
#include "drivers.h"
#include "gate.h"
#include "hooks.h"
#include "steps.h"
#include "support/check.h"
#include "ui/ui.h"

using namespace runner;
using namespace steps;
using namespace std::chrono_literals;

namespace {

// Longer than the grace period and than the driver's patience.
constexpr std::chrono::microseconds kLongSpin = 60s;

template <typename Body>
void WithCallerSpin(std::chrono::microseconds spin, Body body) {
  std::chrono::microseconds previous = platform::SetCallerSpin(spin);
  body();
  platform::SetCallerSpin(previous);
}

constexpr int kStepsBeforeFinish = 2000;
HANDLE Pumper = nullptr;

// Steps the bar without pause, posting the finish message midway and going on.
DWORD WINAPI PumpSteps(LPVOID dialog) {
  HWND window = static_cast<HWND>(dialog);
  HWND bar = GetDlgItem(window, IDC_PROGRESS);
  for (int i = 0;; ++i) {
    if (i == kStepsBeforeFinish) PostMessageA(window, WM_USER, 0, 0);
    SendMessageA(bar, PBM_STEPIT, 0, 0);
  }
}

struct FinishSeen {
  LRESULT positionBefore = -1;
  LRESULT positionAfter = -1;
  DWORD wait = WAIT_FAILED;
};
FinishSeen Seen;

// The finish handling's shape around a pumping thread, reading the bar's position (on the
// dialog's own thread, so at once) before and after the wait.
INT_PTR CALLBACK PumpDialogProc(HWND window, UINT message, WPARAM, LPARAM) {
  HWND bar = GetDlgItem(window, IDC_PROGRESS);
  if (message == WM_INITDIALOG) {
    SendMessageA(bar, PBM_SETRANGE32, 0, INT32_MAX);
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    Pumper = CreateThread(nullptr, 0, PumpSteps, window, 0, nullptr);
    return TRUE;
  }
  if (message != WM_USER) return FALSE;
  Seen.positionBefore = SendMessageA(bar, PBM_GETPOS, 0, 0);
  Seen.wait = WaitForSingleObject(Pumper, GRACE_PERIOD_MS);
  Seen.positionAfter = SendMessageA(bar, PBM_GETPOS, 0, 0);
  if (Seen.wait != WAIT_OBJECT_0) TerminateThread(Pumper, 1);
  DWORD code = 0;
  GetExitCodeThread(Pumper, &code);
  CloseHandle(Pumper);
  EndDialog(window, static_cast<INT_PTR>(code));
  return TRUE;
}

void FinishWhileServingAStreamOfCalls() {
  Seen = FinishSeen();
  INT_PTR result = 0;
  {
    Watchdog watchdog([] { std::printf("  the dialog never ended; giving up\n"); });
    platform::UseDrivers(platform::DriverOrder::kDisplayFirst);
    result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, PumpDialogProc, 0);
  }
  CHECK_EQ(result, 1);
  CHECK_EQ(Seen.wait, static_cast<DWORD>(WAIT_TIMEOUT));
  // Every step before the post was answered, in order, and none during the wait.
  CHECK(Seen.positionBefore >= kStepsBeforeFinish);
  CHECK_EQ(Seen.positionAfter, Seen.positionBefore);
}

// The worker has cleaned the first file; its next action is an update that waits for the
// dialog's thread: the bar's step (held after the stop test that found no stop), or the texts
// of the next file. Yes now: the finish handling serves no call, so the worker is ended after
// the grace period, and it touches no file, then or later.
void YesWhenTheNextActionIsAnUpdate() {
  for (gate::At at : {gate::At::StopTest, gate::At::Texts}) {
    files::TempFolder folder;
    std::vector<std::string> names;
    std::string first;
    CHECK_EQ(StopOnceHeld(at, folder, &names, &first), 1);
    std::this_thread::sleep_for(200ms);
    CHECK(Cleaned(first));
    for (const std::string& name : names) CHECK(name == first ? Cleaned(name) : Untouched(name));
  }
}

}  // namespace

TEST(FinishHandlingInsideTheServingOfCallsServesNoneAndEndsTheCallerForcibly) {
  FinishWhileServingAStreamOfCalls();
  WithCallerSpin(kLongSpin, FinishWhileServingAStreamOfCalls);
}

TEST(YesWhenTheWorkersNextActionIsAnUpdateEndsWithOneAndTheWorkerStopsForGood) {
  YesWhenTheNextActionIsAnUpdate();
  WithCallerSpin(kLongSpin, YesWhenTheNextActionIsAnUpdate);
}
