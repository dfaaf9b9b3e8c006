// The list of files of one run, and the scan that fills it.
#pragma once

#include <string>

#include "platform.h"

// FileList, the process-wide first-in-first-out list of full paths (filelist.cpp), and what
// may be done with it. The front of an empty list is nullptr.
void FileListAppend(LPCSTR path, size_t length);
LPCSTR FileListFront();
// The entry offset places behind the front (0: the front).
LPCSTR FileListAt(DWORD offset);
void FileListRemoveFront();
DWORD FileListCount();
void FileListClear();

// Fills FileList from one path: a folder is scanned, anything else is the one entry. Once the
// event stop is set, the scan enters no further folder; a null stop is never set.
void BuildFileList(LPCSTR path, HANDLE stop);

// Appends every ".mp3" file of the folder tree, depth-first in enumeration order, entering no
// folder once stop is set.
void ScanFolder(std::string folder, HANDLE stop);
