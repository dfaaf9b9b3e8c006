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
  int64_t started = removal::Ticks();
  HANDLE file = removal::OpenForChange(path);
  int64_t opening = removal::Ticks() - started;
  if (file == INVALID_HANDLE_VALUE) {
    RemovalOutcome notOpened = NotOpened(path);
    notOpened.readTicks = opening;
    return notOpened;
  }
  RemovalOutcome outcome = removal::CleanOpenFile(file);
  CloseHandle(file);
  outcome.readTicks += opening;
  return outcome;
}
