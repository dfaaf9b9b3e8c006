// Texts and messages for the dialog and its controls: their state, which the driver shows.
#include <algorithm>

#include "records.h"

namespace platform {
namespace {

// The progress bar's messages, with Win32's results: the previous range, step or position.
LRESULT HandleProgress(Window* bar, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT previous = 0;
  switch (message) {
    case PBM_SETRANGE32:
      previous = (bar->low & 0xFFFF) | ((bar->high & 0xFFFF) << 16);
      bar->low = static_cast<int>(wParam);
      bar->high = static_cast<int>(lParam);
      bar->position = std::clamp(bar->position, bar->low, std::max(bar->low, bar->high));
      break;
    case PBM_SETSTEP:
      previous = bar->step;
      bar->step = static_cast<int>(wParam);
      return previous;
    case PBM_STEPIT:
      previous = bar->position;
      bar->position += bar->step;
      // Past the end the bar starts over from the beginning.
      if (bar->position > bar->high) bar->position = bar->low;
      break;
    case PBM_GETPOS:
      return bar->position;
    default:
      return 0;
  }
  ShowNextFrame(bar);
  return previous;
}

}  // namespace

void ApplyText(Window* window, LPCSTR text) {
  window->text.assign(text);
  ShowNextFrame(window);
}

void ShowNextFrame(Window* window) {
  window->changed = true;
  Dialog* dialog = window->dialog;
  if (dialog->framePending) return;
  dialog->framePending = true;
  Driver().RequestFrame(dialog);
}

void ShowChanges(Dialog* dialog) {
  dialog->framePending = false;
  auto show = [dialog](Window* window) {
    if (!window->changed) return;
    window->changed = false;
    ShownState state{window->text.c_str(), window->low, window->high, window->position};
    Driver().ShowState(dialog, window->index, state);
  };
  show(&dialog->self);
  for (int i = 0; i < dialog->controlCount; ++i) show(&dialog->controls[i]);
}

LRESULT HandleMessage(Window* window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window->kind == WindowKind::Dialog) {
    return DeliverToDialog(window->dialog, message, wParam, lParam);
  }
  if (window->kind == WindowKind::Progress) return HandleProgress(window, message, wParam, lParam);
  return 0;
}

}  // namespace platform

using namespace platform;

namespace {

void SetTextWork(Call& call) {
  Window* window = RecordOf(call.window);
  if (window != nullptr) ApplyText(window, call.text);
  Complete(call, window != nullptr);
}

BOOL SetText(HWND handle, LPCSTR text) {
  Call call;
  call.work = SetTextWork;
  call.window = handle;
  call.text = text;
  return static_cast<BOOL>(RunOnDialogThread(call));
}

}  // namespace

// Keeps: the text of the dialog's control with this identifier; waits until the dialog's
// thread has set it. Maps to GetDlgItem, then SetWindowTextA.
BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
  Window* control = FindControl(dialog, id);
  return control != nullptr && SetText(HandleOf(control), text);
}

// Keeps: the handle of the dialog's control with this identifier, or nullptr; needs nothing
// of the dialog's thread. Maps to a look-up in the dialog's records, fixed since its creation.
HWND WINAPI GetDlgItem(HWND dialog, int id) {
  Window* control = FindControl(dialog, id);
  return control != nullptr ? HandleOf(control) : nullptr;
}

// Keeps: a window's text (the dialog's caption, a label's or button's text), shown as plain
// text; waits until the dialog's thread has set it. Maps to the window record's text, which the
// driver shows at the next frame.
BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) { return SetText(window, text); }

// Keeps: the message handled by the window on the dialog's thread, the caller waiting for it
// and receiving its result; a message to the dialog goes to its procedure. Maps to the
// control's own state (the progress bar's range, step and position), which the driver shows at
// the next frame.
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Call call;
  call.window = window;
  call.message = message;
  call.wParam = wParam;
  call.lParam = lParam;
  call.work = [](Call& call) {
    Window* target = RecordOf(call.window);
    LRESULT result = 0;
    if (target != nullptr) result = HandleMessage(target, call.message, call.wParam, call.lParam);
    Complete(call, result);
  };
  return RunOnDialogThread(call);
}

// Keeps: queues the message for the window's thread and returns at once, TRUE when queued.
// Maps to our queue served by the dialog's thread's event loops.
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return QueuePosted(window, message, wParam, lParam) ? TRUE : FALSE;
}
