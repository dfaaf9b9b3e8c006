#include "commandline.h"

#include <cstring>

namespace {

bool IsBlankOrControl(unsigned char byte) { return byte >= 0x01 && byte <= 0x20; }

unsigned char* SkipQuotedName(unsigned char* at, UINT codePage) {
  ++at;
  while (*at != '\0' && *at != '"') {
    if (IsDBCSLeadByteEx(codePage, *at) && at[1] != '\0') ++at;
    ++at;
  }
  return *at == '"' ? at + 1 : at;
}

bool IsSeparator(char byte) { return byte == ' ' || byte == '\t'; }

// Where an argument is read from and where what it stands for is written. Nothing read stands
// for more bytes than it takes, so the writing never overtakes the reading.
struct Cursor {
  char* in;
  char* out;
  bool quoted;
};

// A run of backslashes: before a quote half of them stay, and an odd one out makes the quote a
// literal one; anywhere else all of them stay.
void ReadBackslashes(Cursor& at) {
  size_t count = 0;
  while (at.in[count] == '\\') ++count;
  bool beforeQuote = at.in[count] == '"';
  size_t kept = beforeQuote ? count / 2 : count;
  std::memset(at.out, '\\', kept);
  at.out += kept;
  at.in += count;
  if (beforeQuote && count % 2 == 1) {
    *at.out++ = '"';
    ++at.in;
  }
}

// A quote that no backslash makes literal opens or closes the quotes; inside them, a second
// quote right after it is a literal quote, and the quotes are closed.
void ReadQuote(Cursor& at) {
  ++at.in;
  if (at.quoted && *at.in == '"') {
    *at.out++ = '"';
    ++at.in;
    at.quoted = false;
  } else {
    at.quoted = !at.quoted;
  }
}

void ReadCharacter(Cursor& at, UINT codePage) {
  bool pair = IsDBCSLeadByteEx(codePage, static_cast<unsigned char>(*at.in)) && at.in[1] != '\0';
  *at.out++ = *at.in++;
  if (pair) *at.out++ = *at.in++;
}

// Reads one argument, up to a blank or tab outside quotes or the end of the text.
void ReadArgument(Cursor& at, UINT codePage) {
  at.quoted = false;
  while (*at.in != '\0' && (at.quoted || !IsSeparator(*at.in))) {
    if (*at.in == '\\') {
      ReadBackslashes(at);
    } else if (*at.in == '"') {
      ReadQuote(at);
    } else {
      ReadCharacter(at, codePage);
    }
  }
}

}  // namespace

LPSTR CommandLineTail(LPSTR line, UINT codePage) {
  unsigned char* at = reinterpret_cast<unsigned char*>(line);
  if (*at == '"') {
    at = SkipQuotedName(at, codePage);
  } else {
    while (*at > 0x20) ++at;
  }
  while (IsBlankOrControl(*at)) ++at;
  return reinterpret_cast<LPSTR>(at);
}

LPSTR UnquoteSinglePath(LPSTR tail) {
  size_t length = std::strlen(tail);
  if (length < 2 || tail[0] != '"' || tail[length - 1] != '"') return tail;
  if (std::memchr(tail + 1, '"', length - 2) != nullptr) return tail;
  tail[length - 1] = '\0';
  return tail + 1;
}

std::vector<LPCSTR> SplitArguments(LPSTR text, UINT codePage) {
  std::vector<LPCSTR> arguments;
  Cursor at = {text, text, false};
  for (;;) {
    while (IsSeparator(*at.in)) ++at.in;
    if (*at.in == '\0') return arguments;
    arguments.push_back(at.out);
    ReadArgument(at, codePage);
    bool last = *at.in == '\0';
    *at.out++ = '\0';
    if (last) return arguments;
    ++at.in;
  }
}

std::vector<LPCSTR> TailPaths(LPCSTR tail, std::string& storage, UINT codePage) {
  storage.assign(tail);
  LPCSTR whole = UnquoteSinglePath(storage.data());
  if (*whole == '\0' || GetFileAttributesA(whole) != INVALID_FILE_ATTRIBUTES) {
    return {whole, nullptr};
  }
  storage.assign(tail);
  std::vector<LPCSTR> paths = SplitArguments(storage.data(), codePage);
  paths.push_back(nullptr);
  return paths;
}
