// Text made safe and fitting for the terminal: what a window's or a box's bytes look like on it.
#pragma once

#include <string>
#include <string_view>

namespace platform::terminal {

// Appends text as the terminal should show it, at most columns wide, and returns the columns
// used. Characters of the locale's encoding are shown as they are; control characters (C0, DEL
// and C1, which would start escape sequences) as \xNN for each of their bytes; bytes that are
// not valid in the encoding as one replacement mark each. What does not fit is cut off, never
// wrapped, and never cut inside a character or an escape.
int AppendShown(std::string& out, std::string_view text, int columns);

// Whether the locale's encoding is UTF-8 (then the replacement mark is U+FFFD, else "?").
bool LocaleIsUtf8();

}  // namespace platform::terminal
