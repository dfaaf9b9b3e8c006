// The driver of a run with no dialog (--no-dialog): for scripts, cron jobs, containers and
// services. Nothing is drawn and nothing is asked: it is the null driver (loops that only serve
// the core's descriptors, the calls from the worker and the termination signals; Shift never
// held, so "Confirm" never comes), but for an error box, which becomes a line on stderr.
#include "console.h"
#include "no_dialog.h"

namespace platform::nodialog {
namespace {

// An error is said on stderr. The box that lists the files that could not be changed says
// nothing new: each was a line on stderr as it failed.
void SayError(const BoxContent& content) {
  if ((content.type & MB_ICONMASK) == MB_ICONERROR) {
    SayOnStandardError(content.text);
  }
}

// Nobody is there to answer: every box is answered at once as the core answers one that is
// not shown.
void OpenBox(Box* box, const BoxContent& content) {
  SayError(content);
  BoxAnswered(box, UnshownAnswer(content.type));
}

void KeepReport(const BoxContent& content, bool shown) {
  if (!shown) SayError(content);
}

}  // namespace
}  // namespace platform::nodialog

namespace platform {

const UserDriver NoDialogDriver = {.OpenBox = nodialog::OpenBox,
                                   .KeepReport = nodialog::KeepReport};

}  // namespace platform
