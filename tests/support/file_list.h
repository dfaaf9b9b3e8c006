// The file list as the suites read it: emptied into a vector, front first.
#pragma once

#include <string>
#include <vector>

namespace listing {

// Takes every entry of FileList, front first, leaving it empty.
std::vector<std::string> Listed();

// Builds FileList afresh from one path and takes it.
std::vector<std::string> Build(const std::string& path);

}  // namespace listing
