// Folder enumeration over opendir(3) and readdir(3).
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fnmatch.h>
#include <string>
#include <sys/stat.h>

#include "objects.h"

using namespace platform;

namespace {

struct Find : Object {
  DIR* folder;
  std::string pattern;  // empty: every entry matches
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

// The next matching entry. A name too long for cFileName fails with ERROR_MORE_DATA and is
// passed over, as on Windows (no Linux file system here holds one: names end at 255 bytes).
bool NextEntry(Find* find, LPWIN32_FIND_DATAA data) {
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(find->folder);
    if (entry == nullptr) break;
    if (!find->pattern.empty() && fnmatch(find->pattern.c_str(), entry->d_name, 0) != 0) continue;
    size_t length = std::strlen(entry->d_name);
    if (length >= sizeof data->cFileName) {
      SetLastError(ERROR_MORE_DATA);
      return false;
    }
    std::memcpy(data->cFileName, entry->d_name, length + 1);
    data->dwFileAttributes = EntryAttributes(find->folder, entry);
    return true;
  }
  // readdir(3) leaves errno alone at the end and sets it when the folder cannot be read on.
  if (errno != 0) {
    SetLastErrorFromErrno();
  } else {
    SetLastError(ERROR_NO_MORE_FILES);
  }
  return false;
}

}  // namespace

// Keeps: enumerates the folder named by the pattern's path with the entries matching its last
// component, "." and ".." included, in the file system's order, each with its attribute bits
// and name; INVALID_HANDLE_VALUE when nothing can be enumerated. "*.*" and "*" match every
// entry, as on Windows; other patterns go through fnmatch(3). Takes the basic and the standard
// information level alike (there are no 8.3 names) and only a search by name; any other
// level, search, filter or flag fails with ERROR_INVALID_PARAMETER. Maps to
// opendir(3)/readdir(3).
HANDLE WINAPI FindFirstFileExA(LPCSTR pattern, FINDEX_INFO_LEVELS level, LPVOID buffer,
                               FINDEX_SEARCH_OPS search, LPVOID filter, DWORD flags) {
  AbandonGuard guard;
  if ((level != FindExInfoStandard && level != FindExInfoBasic) ||
      search != FindExSearchNameMatch || filter != nullptr || flags != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto data = static_cast<LPWIN32_FIND_DATAA>(buffer);
  const char* slash = std::strrchr(pattern, '/');
  std::string folder = slash == nullptr ? "." : std::string(pattern, slash + 1);
  const char* match = slash == nullptr ? pattern : slash + 1;
  DIR* handle = opendir(folder.c_str());
  if (handle == nullptr) {
    SetLastErrorFromErrno();
    return INVALID_HANDLE_VALUE;
  }
  Find* find = new Find{{Kind::Find}, handle, {}};
  if (std::strcmp(match, "*.*") != 0 && std::strcmp(match, "*") != 0) find->pattern = match;
  if (!NextEntry(find, data)) {
    CloseFind(find);
    return INVALID_HANDLE_VALUE;
  }
  return find;
}

// Keeps: the next entry, or FALSE: ERROR_NO_MORE_FILES after the last one, ERROR_MORE_DATA
// for an entry whose name does not fit (the next call goes on after it). Maps to readdir(3).
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
  closedir(find->folder);
  delete find;
  return TRUE;
}
