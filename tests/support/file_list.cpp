#include "support/file_list.h"

#include "filelist/filelist.h"

namespace listing {

std::vector<std::string> Listed() {
  std::vector<std::string> entries;
  for (; FileListCount() > 0; FileListRemoveFront()) entries.push_back(FileListFront());
  return entries;
}

std::vector<std::string> Build(const std::string& path, HANDLE stop) {
  FileListClear();
  BuildFileList(path.c_str(), stop);
  return Listed();
}

}  // namespace listing
