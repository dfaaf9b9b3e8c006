// The program's own folder scan, as a whole process: BuildFileList over the Linux kernel side
// on each path given, with no window and no file cleaned. Prints how many entries it listed.
#include <cstdio>

#include "filelist/filelist.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) BuildFileList(argv[i], nullptr);
  std::printf("%u\n", FileListCount());
  return 0;
}
