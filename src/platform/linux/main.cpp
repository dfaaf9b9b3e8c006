// The Linux start-up: each argument is one path, taken in the order given; with none the
// program gets one empty path, as an empty command-line tail gives on Windows.
#include "ui/ui.h"

int main(int argc, char** argv) {
  static const char* const noPaths[] = {"", nullptr};
  const char* const* paths = argc > 1 ? argv + 1 : noPaths;
  // The exit status is the result's low byte: -1 (no dialog) becomes 255.
  return ProgramMain(nullptr, paths) & 0xFF;
}
