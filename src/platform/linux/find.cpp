// Folder enumeration over opendir(3) and readdir(3).
#include <cstring>
#include <dirent.h>
#include <fnmatch.h>
#include <string>
#include <sys/stat.h>

#include "objects.h"

using namespace platform;

namespace {

struct Find : Object {
  DIR* Folder;
  std::string Pattern;  // empty: every entry matches
};

// The attribute bits of an entry come from its directory entry; only a link, or a file
// system that gives no type, costs one stat (following the link: a link to a folder is one).
DWORD EntryAttributes(DIR* folder, const dirent* entry) {
  if (entry->d_type == DT_DIR) return FILE_ATTRIBUTE_DIRECTORY;
  if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return FILE_ATTRIBUTE_NORMAL;
  struct stat status;
  if (fstatat(dirfd(folder), entry->d_name, &status, 0) == 0 && S_ISDIR(status.st_mode)) {
    return FILE_ATTRIBUTE_DIRECTORY;
  }
  return FILE_ATTRIBUTE_NORMAL;
}

bool NextEntry(Find* find, LPWIN32_FIND_DATAA data) {
  while (const dirent* entry = readdir(find->Folder)) {
    if (!find->Pattern.empty() && fnmatch(find->Pattern.c_str(), entry->d_name, 0) != 0) continue;
    size_t length = std::strlen(entry->d_name);
    if (length >= sizeof data->cFileName) continue;
    std::memcpy(data->cFileName, entry->d_name, length + 1);
    data->dwFileAttributes = EntryAttributes(find->Folder, entry);
    return true;
  }
  return false;
}

}  // namespace

// Keeps: enumerates the folder named by the pattern's path with the entries matching its last
// component, "." and ".." included, in the file system's order, each with its attribute bits
// and name; INVALID_HANDLE_VALUE when nothing can be enumerated. "*.*" and "*" match every
// entry, as on Windows; other patterns go through fnmatch(3). Maps to opendir(3)/readdir(3).
HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  AbandonGuard guard;
  const char* slash = std::strrchr(pattern, '/');
  std::string folder = slash == nullptr ? "." : std::string(pattern, slash + 1);
  const char* match = slash == nullptr ? pattern : slash + 1;
  DIR* handle = opendir(folder.c_str());
  if (handle == nullptr) return INVALID_HANDLE_VALUE;
  Find* find = new Find{{Kind::Find}, handle, {}};
  if (std::strcmp(match, "*.*") != 0 && std::strcmp(match, "*") != 0) find->Pattern = match;
  if (!NextEntry(find, data)) {
    CloseFind(find);
    return INVALID_HANDLE_VALUE;
  }
  return find;
}

// Keeps: the next entry, or FALSE after the last one. Maps to readdir(3).
BOOL WINAPI FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA data) {
  AbandonGuard guard;
  Object* object = ObjectFromHandle(handle);
  if (object == nullptr || object->kind != Kind::Find) return FALSE;
  return NextEntry(static_cast<Find*>(object), data) ? TRUE : FALSE;
}

// Keeps: ends the enumeration and frees its handle. Maps to closedir(3).
BOOL WINAPI FindClose(HANDLE handle) {
  AbandonGuard guard;
  Object* object = ObjectFromHandle(handle);
  if (object == nullptr || object->kind != Kind::Find) return FALSE;
  return CloseFind(object);
}

BOOL platform::CloseFind(Object* object) {
  Find* find = static_cast<Find*>(object);
  closedir(find->Folder);
  delete find;
  return TRUE;
}
