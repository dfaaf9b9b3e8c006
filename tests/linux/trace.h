// A log of the kernel calls the program makes, linked in with --wrap on Linux.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace trace {

extern std::vector<std::string> Calls;
// Called after each logged call with its log line.
extern std::function<void(const std::string&)> OnCall;

void Reset();

}  // namespace trace
