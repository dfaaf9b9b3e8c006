// The calling thread's last error, as the calls that report one leave it.
#include "objects.h"

namespace {

thread_local DWORD LastError = 0;

}  // namespace

// Keeps: the error the calling thread's last failing call left, per thread. Maps to a
// thread-local value that the layer's calls set (errno is not read: the program asks only
// about the enumeration's Win32 errors).
DWORD WINAPI GetLastError(void) { return LastError; }

void platform::SetLastError(DWORD error) { LastError = error; }
