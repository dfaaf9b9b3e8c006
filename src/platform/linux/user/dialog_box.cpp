// Modal dialogs built from the resource script's templates: their records, their modal loop,
// their input and their end.
#include <algorithm>
#include <vector>

#include "records.h"
#include "hooks.h"

namespace platform {
namespace {

std::vector<Dialog*> OpenDialogs;

// A window's record starts with the template's text, in a buffer long enough for any path.
void Record(Window* window, WindowKind kind, int id, Dialog* dialog, const char* text) {
  constexpr size_t kTextReserve = 4096;  // PATH_MAX
  window->kind = kind;
  window->id = id;
  window->dialog = dialog;
  window->text.reserve(kTextReserve);
  window->text.assign(text);
}

WindowKind KindOf(const DialogControl& control) {
  switch (ClassOf(control)) {
    case ControlClass::kButton:
      return WindowKind::Button;
    case ControlClass::kProgress:
      return WindowKind::Progress;
    default:
      return WindowKind::Static;
  }
}

Dialog* MakeDialog(const DialogTemplate& layout, DLGPROC procedure) {
  auto* dialog = new Dialog;
  dialog->procedure = procedure;
  Record(&dialog->self, WindowKind::Dialog, 0, dialog, layout.caption);
  dialog->controlCount = layout.controlCount;
  for (int i = 0; i < dialog->controlCount; ++i) {
    const DialogControl& control = layout.controls[i];
    Window* window = &dialog->controls[i];
    Record(window, KindOf(control), control.id, dialog, control.text);
    window->index = i;
  }
  return dialog;
}

INT_PTR RunModal(Dialog* dialog, LPARAM initParam) {
  bool focus = DeliverToDialog(dialog, WM_INITDIALOG, 0, initParam) != FALSE;
  if (!dialog->ended) {
    Driver().Reveal(dialog, focus);
    Driver().RunLoop(&dialog->loop);
  }
  return dialog->result;
}

}  // namespace

Window* RecordOf(HWND handle) {
  for (Dialog* dialog : OpenDialogs) {
    if (handle == HandleOf(&dialog->self)) return &dialog->self;
    for (int i = 0; i < dialog->controlCount; ++i) {
      if (handle == HandleOf(&dialog->controls[i])) return &dialog->controls[i];
    }
  }
  return nullptr;
}

Window* FindControl(HWND dialogHandle, int id) {
  Window* self = reinterpret_cast<Window*>(dialogHandle);
  if (self == nullptr || self->kind != WindowKind::Dialog) return nullptr;
  Dialog* dialog = self->dialog;
  for (int i = 0; i < dialog->controlCount; ++i) {
    if (dialog->controls[i].id == id) return &dialog->controls[i];
  }
  return nullptr;
}

LRESULT DeliverToDialog(Dialog* dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return dialog->procedure(HandleOf(&dialog->self), message, wParam, lParam);
}

bool InputHeldBack(const Dialog* dialog) { return dialog->boxesOpen > 0; }

void CommandInput(Dialog* dialog, int id) {
  if (InputHeldBack(dialog)) return;
  Window* control = FindControl(HandleOf(&dialog->self), id);
  LPARAM from = control != nullptr ? reinterpret_cast<LPARAM>(HandleOf(control)) : 0;
  DeliverToDialog(dialog, WM_COMMAND, static_cast<WPARAM>(id), from);
}

void CloseInput(Dialog* dialog) {
  if (!InputHeldBack(dialog)) DeliverToDialog(dialog, WM_CLOSE, 0, 0);
}

void StopOpenDialogs() {
  // A copy: a procedure may open or end dialogs.
  std::vector<Dialog*> open;
  for (Dialog* dialog : OpenDialogs) {
    if (dialog->ended) continue;
    dialog->stopSignalled = true;
    open.push_back(dialog);
  }
  if (AnswerOwnBoxes()) return;
  for (Dialog* dialog : open) {
    if (!dialog->ended) DeliverToDialog(dialog, WM_CLOSE, 0, 0);
  }
}

void ShowFrameNow() {
  for (Dialog* dialog : OpenDialogs) ShowChanges(dialog);
}

}  // namespace platform

using namespace platform;

// Keeps: builds the dialog from the template named, delivers WM_INITDIALOG with initParam
// (focus to the first tab stop when the procedure returns TRUE), shows it and runs its modal
// loop until EndDialog; returns EndDialog's result, or -1 when the dialog cannot be created
// (no template, or no driver could be opened: then the entry point's chooser said why). Maps to
// records made from the template's tables, shown by the driver chosen at the first dialog, and
// the driver's loop.
INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR name, HWND, DLGPROC procedure, LPARAM initParam) {
  const DialogTemplate* layout = FindTemplate(name);
  if (layout == nullptr || !EnsureUserSide()) return -1;
  Dialog* dialog = MakeDialog(*layout, procedure);
  Driver().MakeViews(dialog, *layout);
  OpenDialogs.push_back(dialog);
  INT_PTR result = RunModal(dialog, initParam);
  OpenDialogs.erase(std::find(OpenDialogs.begin(), OpenDialogs.end(), dialog));
  DropQueuedCalls();
  CloseCallersBoxes(dialog);
  Driver().DropViews(dialog);
  delete dialog;
  return result;
}

// Keeps: sets the dialog's result and ends its modal loop; the loop returns once the handler
// that called it, and any message box open inside that handler, have returned. Waits for the
// dialog's thread when called from another. Maps to the driver's ExitLoop.
BOOL WINAPI EndDialog(HWND handle, INT_PTR result) {
  Call call;
  call.window = handle;
  call.lParam = result;
  call.work = [](Call& call) {
    Window* window = RecordOf(call.window);
    if (window == nullptr || window->kind != WindowKind::Dialog) return Complete(call, FALSE);
    window->dialog->result = call.lParam;
    window->dialog->ended = true;
    Driver().ExitLoop(&window->dialog->loop);
    Complete(call, TRUE);
  };
  return static_cast<BOOL>(RunOnDialogThread(call));
}
