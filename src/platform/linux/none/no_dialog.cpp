// The driver of a run with no dialog (--no-dialog): for scripts, cron jobs, containers and
// services. Nothing is drawn and nothing is asked: the loops only serve the core's descriptors
// (the calls from the worker and the termination signals), an error box becomes a line on
// stderr, and Shift is never held, so "Confirm" never comes.
#include <cstdio>

#include "no_dialog.h"

namespace platform::nodialog {
namespace {

bool Open(const char**) { return true; }

void NoViews(Dialog*, const DialogTemplate&) {}
void Nothing(Dialog*) {}
void NothingRevealed(Dialog*, bool) {}
void NoState(Dialog*, int, const ShownState&) {}

// Nobody is there to answer: an error is said on stderr, and every box is answered at once as
// the core answers one that is not shown. The box that lists the files that could not be
// changed says nothing new: each was a line on stderr as it failed.
void OpenBox(Box* box, const BoxContent& content) {
  if ((content.type & MB_ICONMASK) == MB_ICONERROR) {
    std::fprintf(stderr, "vardel: %s\n", content.text);
  }
  BoxAnswered(box, UnshownAnswer(content.type));
}

void CloseBox(Box*) {}

void RunLoop(Loop* loop) { ServeWatched(loop); }

void ExitLoop(Loop* loop) { loop->ended = true; }

bool ShiftHeld() { return false; }

}  // namespace
}  // namespace platform::nodialog

namespace platform {

const UserDriver NoDialogDriver = {
    nodialog::Open,     nodialog::NoViews,  nodialog::NothingRevealed,
    nodialog::Nothing,  nodialog::NoState,  nodialog::Nothing,
    nodialog::OpenBox,  nodialog::CloseBox, nodialog::RunLoop,
    nodialog::ExitLoop, AddWatched,         nodialog::ShiftHeld,
};

}  // namespace platform
