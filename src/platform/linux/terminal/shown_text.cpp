#include "shown_text.h"

#include <langinfo.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>

namespace platform::terminal {
namespace {

// One character's look: its bytes and columns.
struct Shown {
  char bytes[MB_LEN_MAX * sizeof "\\xNN"];  // a control character's bytes, each escaped
  int length;
  int columns;
};

// A control character, shown as the escapes of the bytes it took.
void Escape(Shown& shown, std::string_view bytes) {
  shown.length = 0;
  for (unsigned char byte : bytes) {
    std::snprintf(shown.bytes + shown.length, sizeof shown.bytes - shown.length, "\\x%02x", byte);
    shown.length += 4;
  }
  shown.columns = shown.length;
}

void Replace(Shown& shown) {
  const char* mark = LocaleIsUtf8() ? "\xEF\xBF\xBD" : "?";
  shown.length = static_cast<int>(std::strlen(mark));
  std::memcpy(shown.bytes, mark, shown.length);
  shown.columns = 1;
}

// The next character of text, with the number of bytes it took.
size_t Next(std::string_view text, std::mbstate_t& state, Shown& shown) {
  wchar_t wide = 0;
  size_t taken = std::mbrtowc(&wide, text.data(), text.size(), &state);
  if (taken == static_cast<size_t>(-1) || taken == static_cast<size_t>(-2)) {
    state = std::mbstate_t{};
    Replace(shown);
    return 1;
  }
  if (taken == 0) taken = 1;  // a NUL byte
  int width = std::iswcntrl(static_cast<wint_t>(wide)) ? -1 : ::wcwidth(wide);
  if (width < 0) {
    Escape(shown, text.substr(0, taken));
  } else {
    std::memcpy(shown.bytes, text.data(), taken);
    shown.length = static_cast<int>(taken);
    shown.columns = width;
  }
  return taken;
}

}  // namespace

bool LocaleIsUtf8() { return std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0; }

int AppendShown(std::string& out, std::string_view text, int columns) {
  std::mbstate_t state{};
  int used = 0;
  Shown shown;
  while (!text.empty()) {
    text.remove_prefix(Next(text, state, shown));
    if (used + shown.columns > columns) break;
    out.append(shown.bytes, shown.length);
    used += shown.columns;
  }
  return used;
}

}  // namespace platform::terminal
