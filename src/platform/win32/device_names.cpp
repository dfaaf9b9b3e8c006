// The names Windows keeps for devices in every folder.
#include <cstring>

#include "platform.h"

namespace {

constexpr const char* kDeviceNames[] = {"CON", "PRN", "AUX", "NUL"};
constexpr const char* kNumberedDevices[] = {"COM", "LPT"};
constexpr size_t kNumberedLength = 3;

bool SameLetters(const char* a, const char* b, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// The last component's name before any extension or stream, without the blanks Windows drops
// from its end. A lead byte of the code page takes its trail byte with it, which may be a
// backslash's.
void BaseName(const char* path, const char** base, size_t* length) {
  const char* name = path;
  for (const char* at = path; *at != '\0'; ++at) {
    if (IsDBCSLeadByte(static_cast<BYTE>(*at)) && at[1] != '\0') {
      ++at;
    } else if (*at == '\\' || *at == '/') {
      name = at + 1;
    }
  }
  size_t end = std::strcspn(name, ".:");
  while (end > 0 && name[end - 1] == ' ') --end;
  *base = name;
  *length = end;
}

}  // namespace

bool NamesDevice(const char* path) {
  const char* base = nullptr;
  size_t length = 0;
  BaseName(path, &base, &length);
  if (length == std::strlen(kDeviceNames[0])) {
    for (const char* device : kDeviceNames) {
      if (SameLetters(base, device, length)) return true;
    }
  }
  if (length == kNumberedLength + 1 && base[kNumberedLength] >= '1' &&
      base[kNumberedLength] <= '9') {
    for (const char* device : kNumberedDevices) {
      if (SameLetters(base, device, kNumberedLength)) return true;
    }
  }
  return false;
}
