#include "common/failure_record.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

// A kept path longer than this is shown by its end, where its file's name is.
constexpr size_t kKeptPathBytes = 512;
// A path on standard error: whole up to this, longer than any a system opens (4 KiB on Linux,
// 32,767 characters of at most three bytes each on Windows).
constexpr size_t kSaidPathBytes = 96 * 1024;
constexpr size_t kReasonBytes = 256;
constexpr char kCutMark[] = "...";
constexpr char kLinePrefix[] = "vardel: ";

constexpr char kCountLine[] = "%lu files could not be changed:";
constexpr char kFailureLine[] = "\n%s: %s";
constexpr char kMoreLine[] = "\nand %lu more.";
// Room for the count, a line per kept failure and the rest, numbers at their widest.
constexpr size_t kNumberBytes = 10;
constexpr size_t kReportBytes =
    sizeof kCountLine + kNumberBytes +
    kKeptFailures * (sizeof kFailureLine + kKeptPathBytes + kReasonBytes) + sizeof kMoreLine +
    kNumberBytes;

struct KeptFailure {
  char path[kKeptPathBytes];
  char reason[kReasonBytes];
};

KeptFailure Kept[kKeptFailures];
// Total counts a failure first; Kept is filled before Recorded counts it, so a reader (after a
// forced end, perhaps in the middle of a recording) sees only whole entries and never fewer in
// all than it is shown.
std::atomic<DWORD> Recorded{0};
std::atomic<DWORD> Total{0};
char Report[kReportBytes];

// A byte that continues a UTF-8 character (10xxxxxx), where a cut must not start.
constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuation = 0x80;

// The system's text for an error, without the line break and full stop Windows ends it with.
void SystemText(DWORD error, char* text, size_t size) {
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, static_cast<DWORD>(size), nullptr);
  if (length == 0) {
    std::snprintf(text, size, "error %lu", static_cast<unsigned long>(error));
    return;
  }
  while (length > 0 && std::strchr("\r\n. ", text[length - 1]) != nullptr) text[--length] = '\0';
}

// What went wrong, then the system's text for the error behind it, if any.
void FormReason(LPCSTR what, DWORD error, char* reason) {
  int used = std::snprintf(reason, kReasonBytes, error == 0 ? "%s" : "%s: ", what);
  if (error == 0 || used < 0 || static_cast<size_t>(used) + 1 >= kReasonBytes) return;
  SystemText(error, reason + used, kReasonBytes - static_cast<size_t>(used));
}

// The path in size bytes, or its end behind a mark, never starting inside a UTF-8 character.
void KeepPath(LPCSTR path, char* kept, size_t size) {
  size_t length = std::strlen(path);
  if (length < size) {
    std::memcpy(kept, path, length + 1);
    return;
  }
  const char* from = path + length - (size - sizeof kCutMark);
  while ((static_cast<unsigned char>(*from) & kContinuationMask) == kContinuation) ++from;
  std::snprintf(kept, size, "%s%s", kCutMark, from);
}

// One line on standard error in one write, which is all a line is to the system that shows
// it: the path whole, unless longer than any a system opens. Only the worker thread records.
char Line[sizeof kLinePrefix + kSaidPathBytes + sizeof ": \n" + kReasonBytes];

void SayLine(LPCSTR path, LPCSTR reason) {
  HANDLE out = GetStdHandle(STD_ERROR_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  size_t prefix = sizeof kLinePrefix - 1;
  std::memcpy(Line, kLinePrefix, prefix);
  KeepPath(path, Line + prefix, kSaidPathBytes);
  size_t used = prefix + std::strlen(Line + prefix);
  used += static_cast<size_t>(std::snprintf(Line + used, sizeof Line - used, ": %s\n", reason));
  DWORD written = 0;
  WriteFile(out, Line, static_cast<DWORD>(used), &written, nullptr);
}

}  // namespace

void RecordFailure(LPCSTR path, LPCSTR what, DWORD error) {
  char reason[kReasonBytes];
  FormReason(what, error, reason);
  SayLine(path, reason);
  Total.fetch_add(1, std::memory_order_release);
  DWORD recorded = Recorded.load(std::memory_order_relaxed);
  if (recorded < kKeptFailures) {
    KeepPath(path, Kept[recorded].path, kKeptPathBytes);
    std::memcpy(Kept[recorded].reason, reason, sizeof reason);
    Recorded.store(recorded + 1, std::memory_order_release);
  }
}

DWORD FailureCount() { return Total.load(std::memory_order_acquire); }

LPCSTR FailureReport() {
  DWORD total = FailureCount();
  DWORD kept = Recorded.load(std::memory_order_acquire);
  size_t used = static_cast<size_t>(std::snprintf(
      Report, sizeof Report, "%lu %s not be changed:", static_cast<unsigned long>(total),
      total == 1 ? "file could" : "files could"));
  for (DWORD i = 0; i < kept && used < sizeof Report; ++i) {
    used += static_cast<size_t>(std::snprintf(Report + used, sizeof Report - used, "\n%s: %s",
                                              Kept[i].path, Kept[i].reason));
  }
  if (total > kept && used < sizeof Report) {
    std::snprintf(Report + used, sizeof Report - used, "\nand %lu more.",
                  static_cast<unsigned long>(total - kept));
  }
  return Report;
}

void ClearFailures() {
  Recorded = 0;
  Total = 0;
}
