// The file list as the suites read it: emptied into a vector, front first.
#pragma once

#include <string>
#include <vector>

#include "platform.h"

namespace listing {

// Takes every entry of FileList, front first, leaving it empty.
std::vector<std::string> Listed();

// Builds FileList afresh from one path, with the scan's stop event, and takes it.
std::vector<std::string> Build(const std::string& path, HANDLE stop = nullptr);

}  // namespace listing
