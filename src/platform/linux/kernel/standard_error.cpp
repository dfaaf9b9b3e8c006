// Standard error, which a windowed program has none of, unless its entry point attaches it,
// and the lines said there, shown so that no name's bytes drive the terminal it may be.
#include <atomic>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "console.h"
#include "objects.h"
#include "shown_text.h"

using namespace platform;

namespace {

// Whether the process writes its own lines to standard error: a windowed program has none of
// its own, so only a run that shows no dialog says its failures there.
std::atomic<bool> StandardErrorAttached{false};

constexpr char kLinePrefix[] = "vardel: ";
constexpr char kLineBreak = '\n';
// What goes out in one write(2): a line of usual length.
constexpr size_t kSaidAtOnce = 1024;

// Bytes on their way to standard error through a buffer on the stack, so that a line of
// usual length goes out in one write(2).
class Said {
 public:
  ~Said() { Flush(); }

  // Whether every byte put so far went out; the system's error where one did not.
  bool Finish() {
    Flush();
    return error_ == 0;
  }
  int Error() const { return error_; }

  // A piece far shorter than the buffer: the prefix, a character as shown, a line break.
  void Put(std::string_view bytes) {
    if (used_ + bytes.size() > sizeof buffer_) Flush();
    std::memcpy(buffer_ + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }

  void PutShown(std::string_view text) {
    for (ShownCharacter shown; !text.empty();) {
      text.remove_prefix(NextShown(text, shown));
      Put({shown.bytes, static_cast<size_t>(shown.length)});
    }
  }

 private:
  void Flush() {
    for (size_t done = 0; done < used_;) {
      ssize_t put = write(STDERR_FILENO, buffer_ + done, used_ - done);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {  // nowhere to say it: the line is lost, as on a closed console
        error_ = put < 0 ? errno : ENOSPC;
        break;
      }
      done += static_cast<size_t>(put);
    }
    used_ = 0;
  }

  char buffer_[kSaidAtOnce];
  size_t used_ = 0;
  int error_ = 0;
};

}  // namespace

void platform::AttachStandardError() { StandardErrorAttached = true; }

void platform::SayOnStandardError(std::string_view text) {
  Said said;
  for (size_t start = 0; start <= text.size();) {
    size_t end = std::min(text.find(kLineBreak, start), text.size());
    said.Put(kLinePrefix);
    said.PutShown(text.substr(start, end - start));
    said.Put({&kLineBreak, 1});
    start = end + 1;
  }
}

BOOL platform::WriteStandardError(const void* bytes, DWORD count, LPDWORD written) {
  std::string_view line(static_cast<const char*>(bytes), count);
  bool ended = !line.empty() && line.back() == kLineBreak;
  Said said;
  said.PutShown(ended ? line.substr(0, line.size() - 1) : line);
  if (ended) said.Put({&kLineBreak, 1});
  if (!said.Finish()) {
    errno = said.Error();
    SetLastErrorFromErrno();
    return FALSE;
  }
  if (written != nullptr) *written = count;
  return TRUE;
}

// Keeps: the process's standard error handle, or nullptr for a process that has none (a
// windowed program started without one). Maps to descriptor 2 once the entry point has
// attached it (a run with no dialog); nullptr otherwise, so that no line runs through the
// terminal a dialog is drawn on.
HANDLE WINAPI GetStdHandle(DWORD which) {
  if (which != STD_ERROR_HANDLE || !StandardErrorAttached.load()) return nullptr;
  return HandleFromFd(STDERR_FILENO);
}
