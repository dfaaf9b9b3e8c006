// Message boxes and the Shift key.
#include <algorithm>
#include <vector>

#include "records.h"

namespace platform {

// Yes to a question and OK to the rest: after a termination signal that is the user's confirmed
// stop, and with nobody to ask the run goes on as it would without asking.
int UnshownAnswer(UINT type) { return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK; }

namespace {

// Win32's caption for a box given none.
constexpr char kDefaultCaption[] = "Error";

// The boxes open: the dialog thread's own, each in its own loop there, and those of other
// threads, whose records live on the waiting caller's stack. Dialog's thread only.
std::vector<Box*> OpenBoxes;

// Win32 disables a box's owner while the box is open and nothing else, so two boxes owned by
// the dialog stay answerable together.
void OpenBox(Box* box, HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Window* window = RecordOf(owner);
  box->owner = window != nullptr && window->kind == WindowKind::Dialog ? window->dialog : nullptr;
  box->text = text;
  box->caption = caption != nullptr ? caption : kDefaultCaption;
  box->type = type;
  if (box->owner != nullptr) ++box->owner->boxesOpen;
  OpenBoxes.push_back(box);
  Driver().OpenBox(box, {box->text, box->caption, box->type, box->owner});
}

// Takes an open box off the screen and the lists; its owner takes input again.
void CloseBox(Box* box) {
  if (box->owner != nullptr) --box->owner->boxesOpen;
  OpenBoxes.erase(std::find(OpenBoxes.begin(), OpenBoxes.end(), box));
  Driver().CloseBox(box);
}

// A report that a termination signal answered is kept for whoever started the run: the dialog
// it belongs to goes at once.
void KeepIfReport(const Box& box, bool shown) {
  if (IsReport(box.type)) {
    Driver().KeepReport({box.text, box.caption, box.type, box.owner}, shown);
  }
}

// A box of the dialog's thread, in a loop of its own there.
int RunOwnBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Window* window = RecordOf(owner);
  if (window != nullptr && window->dialog->stopSignalled) {
    KeepIfReport({window->dialog, text, caption != nullptr ? caption : kDefaultCaption, type},
                 false);
    return UnshownAnswer(type);
  }
  Box box;
  Loop loop;
  box.loop = &loop;
  OpenBox(&box, owner, text, caption, type);
  Driver().RunLoop(&loop);
  return box.answer;
}

}  // namespace

void BoxAnswered(Box* box, int answer) {
  box->answer = answer;
  CloseBox(box);
  if (box->loop != nullptr) {
    Driver().ExitLoop(box->loop);
  } else {
    Complete(*box->call, answer);
  }
}

bool AnswerOwnBoxes() {
  std::vector<Box*> own;
  for (Box* box : OpenBoxes) {
    if (box->loop != nullptr) own.push_back(box);
  }
  for (Box* box : own) {
    KeepIfReport(*box, true);
    BoxAnswered(box, UnshownAnswer(box->type));
  }
  return !own.empty();
}

// Its caller has been ended or abandoned with the box still open: nobody is left to answer.
void CloseCallersBoxes(Dialog* dialog) {
  std::vector<Box*> left;
  for (Box* box : OpenBoxes) {
    if (box->owner == dialog && box->loop == nullptr) left.push_back(box);
  }
  for (Box* box : left) CloseBox(box);
}

}  // namespace platform

using namespace platform;

// Keeps: a box with the text, caption (nullptr: "Error"), icon and Yes/No or OK buttons asked
// for, modal to its owner, returning IDYES, IDNO or IDOK. On the dialog's thread it runs its own
// loop; from another thread it is opened on the dialog's thread without a loop of its own there
// and the caller waits for the answer. Its owner takes no input while it is open; a box opened
// from the worker and one opened by the dialog stay answerable together. Once a termination
// signal has come, a box of the dialog's thread for that dialog is answered Yes (or OK), an open
// one at once and a new one without being shown: the user's confirmed stop; what such a box
// reports is kept where it outlasts the run (as the driver keeps it: stderr by default). Maps to
// a box record the core keeps, shown by the driver; the owner's input is held back by the core.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (OnDialogThread()) return RunOwnBox(owner, text, caption, type);
  Call call;
  call.window = owner;
  call.text = text;
  call.caption = caption;
  call.type = type;
  Box box;
  box.call = &call;
  call.box = &box;
  call.work = [](Call& call) {
    OpenBox(call.box, call.window, call.text, call.caption, call.type);
  };
  return static_cast<int>(RunOnDialogThread(call));
}

// Keeps: the high-order bit (0x8000) set while the key is held down at this moment, without
// waiting for the dialog's thread; only VK_SHIFT is known. Maps to the driver's Shift state,
// read however the driver can (see each driver).
SHORT WINAPI GetKeyState(int key) {
  if (key != VK_SHIFT) return 0;
  return static_cast<SHORT>(Driver().ShiftHeld() ? 0x8000 : 0);
}
