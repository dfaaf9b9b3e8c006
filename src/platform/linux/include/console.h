// The process's standard error: what the entry point tells the kernel side of the process it
// starts (whether it runs as a console program, with a standard error of its own, or as a
// windowed one, with none), and the lines any part of the Linux layer says there itself. Every
// line that can hold a name reaches standard error through the kernel side, its text shown as
// shown_text.h says.
#pragma once

#include <string_view>

namespace platform {

// From now on GetStdHandle(STD_ERROR_HANDLE) is descriptor 2: for a run that shows no dialog.
// A write to it is one line: its bytes shown, its final line break kept.
void AttachStandardError();

// Says each line of text on standard error after "vardel: ", whatever the run: a report kept
// past the dialog it was in, the reason no dialog opened. No heap is used (a thread ended
// forcibly may have died holding its lock).
void SayOnStandardError(std::string_view text);

}  // namespace platform
