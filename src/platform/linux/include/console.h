// What the entry point tells the kernel side of the process it starts: whether it runs as a
// console program, with a standard error of its own, or as a windowed one, with none.
#pragma once

namespace platform {

// From now on GetStdHandle(STD_ERROR_HANDLE) is descriptor 2: for a run that shows no dialog.
void AttachStandardError();

}  // namespace platform
