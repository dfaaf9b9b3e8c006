// The program's own folder scan, as a whole process: BuildFileList over the Linux kernel side
// on each path given, with no window and no file cleaned. Prints how many entries it listed, or
// with --list first, each entry on a line.
#include <cstdio>
#include <cstring>

#include "filelist/filelist.h"

int main(int argc, char** argv) {
  bool list = argc > 1 && std::strcmp(argv[1], "--list") == 0;
  for (int i = list ? 2 : 1; i < argc; ++i) BuildFileList(argv[i], nullptr);
  if (!list) std::printf("%u\n", FileListCount());
  for (; list && FileListCount() > 0; FileListRemoveFront()) std::printf("%s\n", FileListFront());
  return 0;
}
