#include "trace.h"

#include "platform.h"
#include "tagremoval/tagremoval.h"

namespace trace {

std::vector<std::string> Calls;
std::function<void(const std::string&)> OnCall;

void Reset() {
  Calls.clear();
  OnCall = nullptr;
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

}  // namespace

extern "C" {

HANDLE __real_CreateFileA(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
DWORD __real_GetFileType(HANDLE);
BOOL __real_SetFilePointerEx(HANDLE, LARGE_INTEGER, PLARGE_INTEGER, DWORD);
BOOL __real_ReadFile(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
BOOL __real_WriteFile(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
BOOL __real_SetEndOfFile(HANDLE);
BOOL __real_CloseHandle(HANDLE);
HANDLE __real_FindFirstFileA(LPCSTR, LPWIN32_FIND_DATAA);

HANDLE __wrap_CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                          DWORD disposition, DWORD flags, HANDLE templateFile) {
  HANDLE file = __real_CreateFileA(path, access, share, security, disposition, flags, templateFile);
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
  BOOL ok = __real_SetFilePointerEx(file, distance, position, origin);
  return Log(ok, "SetFilePointerEx " + std::to_string(distance.QuadPart) + " " +
                     std::to_string(origin) + Flag(ok));
}

BOOL __wrap_ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED o) {
  BOOL ok = __real_ReadFile(file, buffer, count, read, o);
  return Log(ok, "ReadFile " + std::to_string(count) + " -> " + std::to_string(*read) + Flag(ok));
}

BOOL __wrap_WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED o) {
  BOOL ok = __real_WriteFile(file, buffer, count, written, o);
  std::string source = buffer == ZeroBlock ? " ZeroBlock" : " other";
  return Log(ok, "WriteFile " + std::to_string(count) + source + Flag(ok));
}

BOOL __wrap_SetEndOfFile(HANDLE file) {
  BOOL ok = __real_SetEndOfFile(file);
  return Log(ok, "SetEndOfFile" + Flag(ok));
}

BOOL __wrap_CloseHandle(HANDLE object) {
  BOOL ok = __real_CloseHandle(object);
  return Log(ok, "CloseHandle" + Flag(ok));
}

HANDLE __wrap_FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  HANDLE find = __real_FindFirstFileA(pattern, data);
  return Log(find, std::string("FindFirstFileA ") + pattern +
                       (find == INVALID_HANDLE_VALUE ? " failed" : " ok"));
}
}
