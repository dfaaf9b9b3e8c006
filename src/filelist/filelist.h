// The list of files of one run, and the scan that fills it.
#pragma once

#include <string>
#include <vector>

#include "platform.h"

// First-in-first-out list of full paths. The paths lie back to back, NUL-terminated, in one
// text, so appending costs no allocation per entry beyond the text's own growth.
struct FileListData {
  std::string Text;
  std::vector<size_t> Starts;
  size_t Front = 0;
};

extern FileListData FileList;

void FileListAppend(LPCSTR path, size_t length);
LPCSTR FileListFront();
void FileListRemoveFront();
DWORD FileListCount();
void FileListClear();

// Fills FileList from one path: a folder is scanned, anything else is the one entry.
void BuildFileList(LPCSTR path);

// Appends every ".mp3" file of the folder tree, depth-first in enumeration order.
void ScanFolder(std::string folder);
