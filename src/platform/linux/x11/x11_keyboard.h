// What the user side asks of the X server directly, kept apart from Qt's headers (Xlib's macros
// clash with them).
#pragma once

namespace platform {

// Whether XOpenDisplay reaches the display DISPLAY names.
bool X11DisplayReachable();

// Opens our own connection and follows the keyboard's modifier state on it (XKB state
// notifications), on a thread of its own, so that X11ShiftHeld is a memory read once that
// thread has read the state a first time (the first call waits for that, a second at most).
// X11ShiftHeld is false (unknown) without that connection.
void X11OpenKeyboard();
bool X11ShiftHeld(bool* held);

}  // namespace platform
