#include "trace.h"

#include <chrono>
#include <map>
#include <mutex>

#include "objects.h"
#include "platform.h"
#include "tagremoval/tagremoval.h"

namespace trace {

std::vector<std::string> Calls;
std::function<void(const std::string&)> OnCall;
std::string MoreDataAt;
int MoreDataStuck = 0;
std::string FirstFound;
std::atomic<bool> SlowOpens{false};

namespace {

// The look-ahead's helpers make their calls beside the worker's.
std::recursive_mutex Lock;
Fault Injected;
std::thread::id InjectedOn;
std::string Hit;
std::map<HANDLE, std::string> OpenPaths;

}  // namespace

void Inject(const Fault& fault) {
  std::lock_guard<std::recursive_mutex> lock(Lock);
  Injected = fault;
  InjectedOn = std::this_thread::get_id();
  Hit.clear();
}

std::string FaultHit() {
  std::lock_guard<std::recursive_mutex> lock(Lock);
  return Hit;
}

void Reset() {
  std::lock_guard<std::recursive_mutex> lock(Lock);
  SlowOpens = false;
  Injected = {};
  Hit.clear();
  Calls.clear();
  OnCall = nullptr;
  MoreDataAt.clear();
  MoreDataStuck = 0;
}

}  // namespace trace

namespace {

constexpr auto kSlowOpen = std::chrono::milliseconds(3);

template <typename Result>
Result Log(Result result, const std::string& line) {
  std::lock_guard<std::recursive_mutex> lock(trace::Lock);
  trace::Calls.push_back(line);
  if (trace::OnCall) trace::OnCall(line);
  return result;
}

std::string Flag(BOOL ok) { return ok ? " ok" : " failed"; }

// Whether this call, on the file of handle or path, is the one to fail; counts the calls of
// its kind on the threads the fault is for.
bool Injects(const std::string& call, HANDLE file, const char* path = nullptr) {
  std::lock_guard<std::recursive_mutex> lock(trace::Lock);
  trace::Fault& fault = trace::Injected;
  if (fault.call != call || fault.nth <= 0) return false;
  if ((std::this_thread::get_id() == trace::InjectedOn) == fault.elsewhere) return false;
  if (--fault.nth > 0) return false;
  auto open = trace::OpenPaths.find(file);
  trace::Hit = path != nullptr ? path : open != trace::OpenPaths.end() ? open->second : "?";
  platform::SetLastError(fault.error);
  return true;
}

void Opened(HANDLE file, const char* path) {
  std::lock_guard<std::recursive_mutex> lock(trace::Lock);
  if (file != INVALID_HANDLE_VALUE) trace::OpenPaths[file] = path;
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
  if (trace::SlowOpens) std::this_thread::sleep_for(kSlowOpen);
  HANDLE file =
      Injects("CreateFileA", nullptr, path)
          ? INVALID_HANDLE_VALUE
          : __real_CreateFileA(path, access, share, security, disposition, flags, templateFile);
  Opened(file, path);
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
  BOOL ok = !Injects("SetFilePointerEx", file) &&
            __real_SetFilePointerEx(file, distance, position, origin);
  return Log(ok, "SetFilePointerEx " + std::to_string(distance.QuadPart) + " " +
                     std::to_string(origin) + Flag(ok));
}

BOOL __wrap_ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED o) {
  *read = 0;
  BOOL ok = !Injects("ReadFile", file) && __real_ReadFile(file, buffer, count, read, o);
  return Log(ok, "ReadFile " + std::to_string(count) + " -> " + std::to_string(*read) + Flag(ok));
}

BOOL __wrap_WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED o) {
  bool shortWrite = trace::Injected.shortWrite;
  bool injected = Injects("WriteFile", file);
  BOOL ok = injected ? shortWrite && __real_WriteFile(file, buffer, count / 2, written, o)
                     : __real_WriteFile(file, buffer, count, written, o);
  std::string source = buffer == ZeroBlock ? " ZeroBlock" : " other";
  return Log(ok, "WriteFile " + std::to_string(count) + source + Flag(ok));
}

BOOL __wrap_SetEndOfFile(HANDLE file) {
  BOOL ok = !Injects("SetEndOfFile", file) && __real_SetEndOfFile(file);
  return Log(ok, "SetEndOfFile" + Flag(ok));
}

BOOL __wrap_CloseHandle(HANDLE object) {
  {
    std::lock_guard<std::recursive_mutex> lock(trace::Lock);
    trace::OpenPaths.erase(object);
  }
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
