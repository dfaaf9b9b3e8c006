#include "filelist/filelist.h"

#include <cstring>
#include <vector>

namespace {

// The paths lie back to back, NUL-terminated, in one text, so appending costs no allocation
// per entry beyond the text's own growth.
struct FileListData {
  std::string text;
  std::vector<size_t> starts;
  size_t front = 0;
};

// Created empty before the program's entry point runs; released at exit with what is left.
FileListData FileList;

}  // namespace

void FileListAppend(LPCSTR path, size_t length) {
  FileList.starts.push_back(FileList.text.size());
  FileList.text.append(path, length);
  FileList.text.push_back('\0');
}

LPCSTR FileListFront() {
  if (FileListCount() == 0) return nullptr;
  return FileList.text.c_str() + FileList.starts[FileList.front];
}

LPCSTR FileListAt(DWORD offset) {
  return FileList.text.c_str() + FileList.starts[FileList.front + offset];
}

void FileListRemoveFront() {
  if (++FileList.front == FileList.starts.size()) FileListClear();
}

DWORD FileListCount() { return static_cast<DWORD>(FileList.starts.size() - FileList.front); }

void FileListClear() {
  FileList.text.clear();
  FileList.starts.clear();
  FileList.front = 0;
}

void BuildFileList(LPCSTR path, HANDLE stop) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ScanFolder(path, stop);
  } else {
    FileListAppend(path, std::strlen(path));
  }
}
