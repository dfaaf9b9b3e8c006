#include "tagremoval/tagremoval.h"

#include "tagremoval/steps.h"

namespace {

// Why a file could not be opened for writing: a folder is no file to change, as a device is.
RemovalOutcome NotOpened(LPCSTR path) {
  DWORD error = GetLastError();
  if (error == ERROR_ACCESS_DENIED) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return {RemovalResult::kNotRegularFile, RemovalStep::kNone, 0};
    }
  }
  return {RemovalResult::kNotOpened, RemovalStep::kNone, error};
}

}  // namespace

RemovalOutcome RemoveTags(LPCSTR path) {
  // A reserved device name opens the device wherever the path points: never opened at all.
  if (NamesDevice(path)) return {RemovalResult::kNotRegularFile, RemovalStep::kNone, 0};
  HANDLE file = removal::OpenForChange(path);
  if (file == INVALID_HANDLE_VALUE) return NotOpened(path);
  RemovalOutcome outcome = removal::CleanOpenFile(file);
  CloseHandle(file);
  return outcome;
}
