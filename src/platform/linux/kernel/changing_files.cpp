// Which threads are changing which files, for the process's end (sync.cpp).
#include <atomic>
#include <thread>
#include <unistd.h>

#include "objects.h"

using namespace platform;

namespace {

// The files being changed and the threads changing them: each from its first truncation or
// write until it is closed, by whichever thread (a file may be opened by one thread, changed by
// another and closed by a third), or until the thread changing it turns to another file. A
// thread that only opened and read a file is not changing it. A thread keeps its row while it
// lives; the worker and the look-ahead's helpers change a file each at most, and the rows
// outnumber them. A thread that finds no row free is left unnoted, as one that only reads.
constexpr int kChangeRows = 64;
struct ChangeRow {
  std::atomic<std::thread::id> thread{};
  std::atomic<int> fd{-1};
};
ChangeRow Changes[kChangeRows];

ChangeRow* RowOf(std::thread::id thread) {
  for (ChangeRow& row : Changes) {
    if (row.thread.load() == thread) return &row;
  }
  return nullptr;
}

}  // namespace

void platform::NoteChange(int fd) {
  if (fd == STDERR_FILENO) return;  // a line on standard error changes no file
  std::thread::id self = std::this_thread::get_id();
  ChangeRow* row = RowOf(self);
  for (int i = 0; row == nullptr && i < kChangeRows; ++i) {
    std::thread::id none{};
    if (Changes[i].thread.compare_exchange_strong(none, self)) row = &Changes[i];
  }
  if (row != nullptr) row->fd = fd;
}

void platform::NoteFileCall(HANDLE file) {
  ChangeRow* row = RowOf(std::this_thread::get_id());
  if (row == nullptr) return;
  int changed = row->fd.load();
  if (changed >= 0 && changed != FdFromHandle(file)) row->fd.compare_exchange_strong(changed, -1);
}

bool platform::ThreadChangingFile(std::thread::id thread) {
  ChangeRow* row = RowOf(thread);
  return row != nullptr && row->fd.load() >= 0;
}

void platform::ForgetChanges(std::thread::id thread) {
  if (ChangeRow* row = RowOf(thread)) {
    row->fd = -1;
    row->thread = std::thread::id{};
  }
}

bool platform::CurrentThreadChangingFile() {
  return ThreadChangingFile(std::this_thread::get_id());
}

void platform::NoteClosing(int fd) {
  for (ChangeRow& row : Changes) {
    int changed = fd;
    if (row.fd.compare_exchange_strong(changed, -1)) ChangeEnded();
  }
}
