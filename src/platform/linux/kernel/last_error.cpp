// The calling thread's last error, and the text that says what an error means.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "objects.h"

namespace {

thread_local DWORD LastError = 0;

// The system errors a file or folder call can meet, as Win32 numbers them; an errno with no
// Win32 number of its own (or one that shares it, as EPERM would EACCES's) is carried as an
// application-defined code (bit 29) over the errno, so that its own text is given.
struct ErrorPair {
  int errnoValue;
  DWORD win32;
};
constexpr ErrorPair kErrors[] = {
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {EACCES, ERROR_ACCESS_DENIED},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EROFS, ERROR_WRITE_PROTECT},
    {EIO, ERROR_READ_FAULT},
    {EBUSY, ERROR_SHARING_VIOLATION},
    {ENOSPC, ERROR_DISK_FULL},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
};
constexpr DWORD kCustomerCode = 1u << 29;
constexpr size_t kLongestErrorText = 256;
constexpr DWORD kErrnoMask = 0xFFFFu;

DWORD Win32FromErrno(int value) {
  for (const ErrorPair& pair : kErrors) {
    if (pair.errnoValue == value) return pair.win32;
  }
  return kCustomerCode | static_cast<DWORD>(value);
}

// The errno whose text stands for a Win32 code, or 0 for a code this layer never sets.
int ErrnoFromWin32(DWORD code) {
  if (code & kCustomerCode) return static_cast<int>(code & kErrnoMask);
  for (const ErrorPair& pair : kErrors) {
    if (pair.win32 == code) return pair.errnoValue;
  }
  return 0;
}

}  // namespace

// Keeps: the error the calling thread's last failing call left, per thread. Maps to a
// thread-local value that the layer's calls set, from errno where the system gave one.
DWORD WINAPI GetLastError(void) { return LastError; }

void platform::SetLastError(DWORD error) { LastError = error; }

void platform::SetLastErrorFromErrno() { LastError = Win32FromErrno(errno); }

// Keeps: with FORMAT_MESSAGE_FROM_SYSTEM, the system's text for an error code written into the
// caller's buffer (never allocated), NUL-terminated, its length returned; 0 when the code has
// no text or the buffer is too small. Maps to strerror_r(3) of the errno the code stands for,
// so the text is the one the user's system gives in its own language.
DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size,
                            va_list*) {
  int value = ErrnoFromWin32(messageId);
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) ||
      value == 0 || buffer == nullptr || size == 0) {
    return 0;
  }
  char text[kLongestErrorText];
  const char* said = strerror_r(value, text, sizeof text);
  int length = std::snprintf(buffer, size, "%s", said);
  return length < 0 || static_cast<DWORD>(length) >= size ? 0 : static_cast<DWORD>(length);
}
