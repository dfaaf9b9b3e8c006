// The null driver: the slots a driver's table leaves out. Nothing is shown and no input is
// read, so a box can only be answered as one that is not shown, and Shift is never held.
#include "console.h"
#include "user_driver.h"

namespace platform::nulldriver {

bool Open(const char**) { return true; }

void MakeViews(Dialog*, const DialogTemplate&) {}

void Reveal(Dialog*, bool) {}

void DropViews(Dialog*) {}

void ShowState(Dialog*, int, const ShownState&) {}

void RequestFrame(Dialog*) {}

void OpenBox(Box* box, const BoxContent& content) { BoxAnswered(box, UnshownAnswer(content.type)); }

void CloseBox(Box*) {}

// A line of stderr for each of its lines: the window it was in goes with the run.
void KeepReport(const BoxContent& content, bool) { SayOnStandardError(content.text); }

void RunLoop(Loop* loop) { ServeWatched(loop); }

void ExitLoop(Loop* loop) { loop->ended = true; }

void WatchDescriptor(int fd, void (*ready)(int fd)) { AddWatched(fd, ready); }

bool ShiftHeld() { return false; }

}  // namespace platform::nulldriver
