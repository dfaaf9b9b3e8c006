// The folders read ahead of the scan by helper threads, once folders take a slow mount's time:
// each is read whole into a record of its own (its identity, then its entries) so that the
// round trips of many folders overlap. The scan takes each record up where its walk meets that
// folder, and decides there, as without them, whether to enter it: the readers enter nothing,
// and the list comes out the same.
#pragma once

#include <string>

#include "filelist/folder_listing.h"

struct FolderReaders;

// At most this many folders are read ahead or held by the scan at once: records allocated once.
constexpr int kFoldersAhead = 256;

// The first reader, with no record asked for yet; nullptr where no thread could be started.
FolderReaders* StartFolderReaders();

// Asks for the folder prefix + name (prefix ends with the separator) to be read ahead: its
// record, or -1 when every record is in use. With andInside, the folders in it are asked for
// once it is read, without; so the readers stay at most two levels ahead of the walk, and a
// link back up a tree costs at most two levels' reads.
int ReadAhead(FolderReaders* readers, const std::string& prefix, const char* name, size_t length,
              bool andInside);

// The record's folder as read: waited for, or read by the caller where no reader took it up.
Listing* TakeRead(FolderReaders* readers, int record);

// The scan is done with a record, entered or not: it goes, with every record asked for from its
// entries that the scan did not take up.
void ReleaseRead(FolderReaders* readers, int record);

// Every record goes; the readers leave once their reads have returned, and the last one out
// frees what they share. A reader held in a read of a hung mount is left to the process's end.
void EndFolderReaders(FolderReaders* readers);
