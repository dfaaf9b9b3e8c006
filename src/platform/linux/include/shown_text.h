// Text as a terminal may be shown it, for every part of the Linux layer that writes text a
// terminal shows: the terminal driver's screen and the lines it says again once the terminal is
// back, and the lines on standard error. Names reach a terminal only through here, so that no
// name's bytes drive it. Text is read as UTF-8 whatever the locale: control characters (C0,
// DEL and C1) are shown as \xNN for each of their bytes, so are the bytes that are not valid
// UTF-8, and a backslash as \\, so that what is shown reads back to exactly one text (as ls -b
// and git quote a name); every other character, a space, an accent, a CJK character or an
// emoji, is shown as it is.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// One character of text as shown: its bytes and the columns they take.
struct ShownCharacter {
  char bytes[2 * (sizeof "\\xNN" - 1)];  // the widest look: a C1 character's two bytes escaped
  int length;
  int columns;
};

// Reads the character text starts with (text is not empty); returns the bytes it took.
size_t NextShown(std::string_view text, ShownCharacter& shown);

// Appends text as shown, at most columns wide, and returns the columns used. What does not fit
// is cut off, never wrapped, and never cut inside a character or an escape. A character's
// columns are the locale's (wcwidth), one where the locale does not know it.
int AppendShown(std::string& out, std::string_view text, int columns);

}  // namespace platform
