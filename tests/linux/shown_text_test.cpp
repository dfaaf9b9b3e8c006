// What a terminal is shown of a name: cut at a width without splitting a character or an
// escape; control characters, invalid bytes and backslashes escaped, UTF-8 whatever the locale.
#include <clocale>
#include <string>

#include "support/check.h"
#include "shown_text.h"

namespace {

using platform::AppendShown;

std::string Shown(const std::string& text, int columns, int* used = nullptr) {
  std::string out;
  int width = AppendShown(out, text, columns);
  if (used != nullptr) *used = width;
  return out;
}

}  // namespace

TEST(Utf8NamesAreShownCutAndEscaped) {
  CHECK(std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr);
  int used = 0;
  CHECK_EQ(Shown("/music/Café \xf0\x9f\x8e\xb5.mp3", 80, &used),
           "/music/Café \xf0\x9f\x8e\xb5.mp3");
  CHECK_EQ(used, 18);
  // A wide character that would straddle the edge is left out whole.
  CHECK_EQ(Shown("ab\xe6\x97\xa5", 3, &used), "ab");
  CHECK_EQ(used, 2);
  CHECK_EQ(Shown("ab\xe6\x97\xa5", 4, &used), "ab\xe6\x97\xa5");
  CHECK_EQ(used, 4);
  // A combining accent takes no column.
  CHECK_EQ(Shown("e\xcc\x81x", 2), "e\xcc\x81x");
  // C0, DEL and C1 (here CSI, which starts a sequence on its own) are escaped byte by byte.
  CHECK_EQ(Shown("\x1b]0;t\x07\x7f\xc2\x9b", 80), "\\x1b]0;t\\x07\\x7f\\xc2\\x9b");
  // An escape never cut in two: all four columns, or none.
  CHECK_EQ(Shown("a\x1b", 4), "a");
  // Each invalid byte is escaped, and the text after it read again from the next byte: a cut
  // sequence, an overlong form, a surrogate, past U+10FFFF.
  CHECK_EQ(Shown("a\xff\xe6\x97z\xc0\xaf\xed\xa0\x80\xf4\x90", 80),
           "a\\xff\\xe6\\x97z\\xc0\\xaf\\xed\\xa0\\x80\\xf4\\x90");
  CHECK_EQ(Shown(std::string("a\0b", 3), 80), "a\\x00b");
  // A backslash is escaped too, so that what is shown reads back to one name.
  CHECK_EQ(Shown("a\\x1b", 80), "a\\\\x1b");
}

TEST(TheCLocaleShowsUtf8AsItIs) {
  CHECK(std::setlocale(LC_CTYPE, "C") != nullptr);
  CHECK_EQ(Shown("Caf\xc3\xa9\x1b", 80), "Caf\xc3\xa9\\x1b");
}
