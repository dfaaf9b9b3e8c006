// A log of the kernel calls the program makes, linked in with --wrap on Linux.
#pragma once

#include <atomic>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace trace {

extern std::vector<std::string> Calls;
// Called after each logged call with its log line.
extern std::function<void(const std::string&)> OnCall;

// The name of an entry for which FindNextFileA fails with ERROR_MORE_DATA once it has passed
// it, as Windows does for a name too long for WIN32_FIND_DATAA; and how many calls in a row
// fail so without passing anything (a system that does not move on).
extern std::string MoreDataAt;
extern int MoreDataStuck;
// The name of the entry the last FindFirstFileExA gave.
extern std::string FirstFound;

// A system call that fails as the system would, without being made: the nth call (from 1) of
// the named kind on the thread that injected it (elsewhere: on any other thread, the
// look-ahead's helpers) fails with error; with shortWrite, a WriteFile writes half its bytes
// instead and says so, as a full disk can.
struct Fault {
  std::string call;
  int nth = 0;
  unsigned error = 0;
  bool shortWrite = false;
  bool elsewhere = false;
};
void Inject(const Fault& fault);
// Every open takes a few milliseconds, as on a network mount: the worker then opens ahead.
extern std::atomic<bool> SlowOpens;
// The path of the file the injected fault fell on; empty while it fell on none.
std::string FaultHit();

void Reset();

}  // namespace trace
