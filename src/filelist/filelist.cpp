#include "filelist/filelist.h"

#include <cstring>

#include "common/run_state.h"

FileListData FileList;

void FileListAppend(LPCSTR path, size_t length) {
  FileList.Starts.push_back(FileList.Text.size());
  FileList.Text.append(path, length);
  FileList.Text.push_back('\0');
}

LPCSTR FileListFront() { return FileList.Text.c_str() + FileList.Starts[FileList.Front]; }

void FileListRemoveFront() {
  if (++FileList.Front == FileList.Starts.size()) FileListClear();
}

DWORD FileListCount() { return static_cast<DWORD>(FileList.Starts.size() - FileList.Front); }

void FileListClear() {
  FileList.Text.clear();
  FileList.Starts.clear();
  FileList.Front = 0;
}

void BuildFileList(LPCSTR path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ScanFolder(path);
  } else {
    FileListAppend(path, std::strlen(path));
  }
}
