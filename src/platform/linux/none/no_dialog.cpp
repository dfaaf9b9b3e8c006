// The driver of a run with no dialog (--no-dialog): for scripts, cron jobs, containers and
// services. Nothing is drawn and nothing is asked: it is the null driver (loops that only serve
// the core's descriptors, the calls from the worker and the termination signals; Shift never
// held, so "Confirm" never comes), but for an error box, which becomes a line on stderr.
#include <cstdio>

#include "no_dialog.h"

namespace platform::nodialog {
namespace {

// Nobody is there to answer: an error is said on stderr, and every box is answered at once as
// the core answers one that is not shown. The box that lists the files that could not be
// changed says nothing new: each was a line on stderr as it failed.
void OpenBox(Box* box, const BoxContent& content) {
  if ((content.type & MB_ICONMASK) == MB_ICONERROR) {
    std::fprintf(stderr, "vardel: %s\n", content.text);
  }
  BoxAnswered(box, UnshownAnswer(content.type));
}

}  // namespace
}  // namespace platform::nodialog

namespace platform {

const UserDriver NoDialogDriver = {.OpenBox = nodialog::OpenBox};

}  // namespace platform
