#include "trace.h"

#include "objects.h"
#include "platform.h"
#include "tagremoval/tagremoval.h"

namespace trace {

std::vector<std::string> Calls;
std::function<void(const std::string&)> OnCall;
std::string MoreDataAt;
int MoreDataStuck = 0;
std::string FirstFound;
Fault Injected;

void Reset() {
  Injected = {};
  Calls.clear();
  OnCall = nullptr;
  MoreDataAt.clear();
  MoreDataStuck = 0;
}

}  // namespace trace

namespace {

template <typename Result>
Result Log(Result result, const std::string& line) {
  trace::Calls.push_back(line);
  if (trace::OnCall) trace::OnCall(line);
  return result;
}

std::string Flag(BOOL ok) { return ok ? " ok" : " failed"; }

// Whether this call is the one to fail; counts the calls of its kind.
bool Injects(const std::string& call) {
  trace::Fault& fault = trace::Injected;
  if (fault.call != call || fault.nth <= 0 || --fault.nth > 0) return false;
  platform::SetLastError(fault.error);
  return true;
}

}  // namespace

extern "C" {

HANDLE __real_CreateFileA(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
DWORD __real_GetFileType(HANDLE);
BOOL __real_SetFilePointerEx(HANDLE, LARGE_INTEGER, PLARGE_INTEGER, DWORD);
BOOL __real_ReadFile(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
BOOL __real_WriteFile(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
BOOL __real_SetEndOfFile(HANDLE);
BOOL __real_CloseHandle(HANDLE);
HANDLE __real_FindFirstFileExA(LPCSTR, FINDEX_INFO_LEVELS, LPVOID, FINDEX_SEARCH_OPS, LPVOID,
                               DWORD);
BOOL __real_FindNextFileA(HANDLE, LPWIN32_FIND_DATAA);

HANDLE __wrap_CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE templateFile) {
  HANDLE file = Injects("CreateFileA") ? INVALID_HANDLE_VALUE
                                       : __real_CreateFileA(path, access, share, security,
                                                            disposition, flags, templateFile);
  return Log(file, "CreateFileA " + std::to_string(access) + " " + std::to_string(share) + " " +
                       std::to_string(disposition) + " " + std::to_string(flags) +
                       (file == INVALID_HANDLE_VALUE ? " failed" : " ok"));
}

DWORD __wrap_GetFileType(HANDLE file) {
  DWORD type = __real_GetFileType(file);
  return Log(type, "GetFileType " + std::to_string(type));
}

BOOL __wrap_SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER position,
                             DWORD origin) {
  BOOL ok =
      !Injects("SetFilePointerEx") && __real_SetFilePointerEx(file, distance, position, origin);
  return Log(ok, "SetFilePointerEx " + std::to_string(distance.QuadPart) + " " +
                     std::to_string(origin) + Flag(ok));
}

BOOL __wrap_ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED o) {
  *read = 0;
  BOOL ok = !Injects("ReadFile") && __real_ReadFile(file, buffer, count, read, o);
  return Log(ok, "ReadFile " + std::to_string(count) + " -> " + std::to_string(*read) + Flag(ok));
}

BOOL __wrap_WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED o) {
  bool shortWrite = trace::Injected.shortWrite;
  bool injected = Injects("WriteFile");
  BOOL ok = injected ? shortWrite && __real_WriteFile(file, buffer, count / 2, written, o)
                     : __real_WriteFile(file, buffer, count, written, o);
  std::string source = buffer == ZeroBlock ? " ZeroBlock" : " other";
  return Log(ok, "WriteFile " + std::to_string(count) + source + Flag(ok));
}

BOOL __wrap_SetEndOfFile(HANDLE file) {
  BOOL ok = !Injects("SetEndOfFile") && __real_SetEndOfFile(file);
  return Log(ok, "SetEndOfFile" + Flag(ok));
}

BOOL __wrap_CloseHandle(HANDLE object) {
  BOOL ok = __real_CloseHandle(object);
  return Log(ok, "CloseHandle" + Flag(ok));
}

HANDLE __wrap_FindFirstFileExA(LPCSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data,
                               FINDEX_SEARCH_OPS search, LPVOID filter, DWORD flags) {
  HANDLE find = __real_FindFirstFileExA(pattern, level, data, search, filter, flags);
  if (find != INVALID_HANDLE_VALUE)
    trace::FirstFound = static_cast<LPWIN32_FIND_DATAA>(data)->cFileName;
  return Log(find, "FindFirstFileExA " + std::string(pattern) + " " + std::to_string(level) +
                       (find == INVALID_HANDLE_VALUE ? " failed" : " ok"));
}

BOOL __wrap_FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
  if (trace::MoreDataStuck > 0) {
    --trace::MoreDataStuck;
    platform::SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  BOOL ok = __real_FindNextFileA(find, data);
  if (ok && trace::MoreDataAt == data->cFileName) {
    platform::SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  return ok;
}
}
