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
