// Files over POSIX descriptors.
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

#include "objects.h"

using namespace platform;

namespace {

// A failed call's result, with the last error set from errno or as given.
template <typename Result>
Result Failed(Result result) {
  SetLastErrorFromErrno();
  return result;
}
template <typename Result>
Result Failed(Result result, DWORD error) {
  SetLastError(error);
  return result;
}

DWORD AttributesFromMode(mode_t mode) {
  return S_ISDIR(mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

// The descriptor last opened and found a regular file, until it is closed: an open file's type
// never changes, so GetFileType, which the program calls right after the open, needs no second
// fstat(2). Cleared before its descriptor is closed, so its number is never taken for another
// file; another open only replaces it, which costs GetFileType an fstat.
std::atomic<int> LastOpenedRegular{-1};
// The one file being changed and the thread changing it: from its first truncation or write
// until it is closed, by whichever thread (a file may be opened by one thread, changed by
// another and closed by a third), or until the thread changing it turns to another file. A
// thread that only opened and read a file is not changing it.
std::atomic<int> ChangedFd{-1};
std::atomic<std::thread::id> ChangingThread{};

void NoteChange(int fd) {
  ChangingThread = std::this_thread::get_id();
  ChangedFd = fd;
}

// A file call by the thread changing a file, on another file: that change is over.
void NoteFileCall(HANDLE file) {
  int changed = ChangedFd.load();
  if (changed < 0 || changed == FdFromHandle(file)) return;
  if (ChangingThread.load() == std::this_thread::get_id())
    ChangedFd.compare_exchange_strong(changed, -1);
}

// Notes the call's file before the call's own check, so that a thread whose change is over
// stops at the start of its next file call once the process is ending.
struct FileCallGuard {
  explicit FileCallGuard(HANDLE file) : noted((NoteFileCall(file), true)) {}
  bool noted;
  AbandonGuard guard;
};

// What the kernel is asked to read at once for a file opened with FILE_FLAG_SEQUENTIAL_SCAN:
// the start, where an ID3v2 tag and most of its region lie, and the last page, where an ID3v1
// trailer lies. Both then come in together, in one request where the file is small, while the
// opener goes on; the reads that follow wait for them at most once.
constexpr off_t kStartReadAhead = 128 * 1024;
constexpr off_t kEndReadAhead = 4096;

void ReadAheadStartAndEnd(int fd, off_t size) {
  posix_fadvise(fd, 0, kStartReadAhead, POSIX_FADV_WILLNEED);
  if (size > kStartReadAhead) {
    posix_fadvise(fd, size - kEndReadAhead, kEndReadAhead, POSIX_FADV_WILLNEED);
  }
}

int OpenFlags(DWORD access) {
  int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  if (access == 0) return flags | O_PATH;
  if ((access & GENERIC_READ) && (access & GENERIC_WRITE)) return flags | O_RDWR;
  return flags | ((access & GENERIC_WRITE) ? O_WRONLY : O_RDONLY);
}

// Opening a device can have effects of its own (a tape rewinds, a serial line's modem lines
// change), and a FIFO or socket is no file to change: for writing, only what stat(2) calls a
// regular file is opened, and the descriptor must be that same regular file; anything swapped
// in for it in between is closed at once, unused. Anything else but a folder gets a descriptor
// that only names it (O_PATH opens no device), so that GetFileType tells what it is, as it
// does on Windows for a device opened there.
int OpenForWriting(LPCSTR path, int flags, bool readAhead) {
  struct stat before;
  if (stat(path, &before) != 0) return Failed(-1);
  if (S_ISDIR(before.st_mode)) return Failed(-1, ERROR_ACCESS_DENIED);
  if (!S_ISREG(before.st_mode)) {
    int fd = open(path, O_PATH | O_CLOEXEC);
    return fd < 0 ? Failed(-1) : fd;
  }
  int fd = open(path, flags);
  if (fd < 0) return Failed(-1);
  struct stat after;
  if (fstat(fd, &after) != 0 || !S_ISREG(after.st_mode) || after.st_dev != before.st_dev ||
      after.st_ino != before.st_ino) {
    close(fd);
    return Failed(-1, ERROR_SHARING_VIOLATION);
  }
  LastOpenedRegular = fd;
  if (readAhead) ReadAheadStartAndEnd(fd, after.st_size);
  return fd;
}

}  // namespace

bool platform::ThreadChangingFile(std::thread::id thread) {
  return ChangedFd.load() >= 0 && ChangingThread.load() == thread;
}

bool platform::CurrentThreadChangingFile() {
  return ThreadChangingFile(std::this_thread::get_id());
}

// Keeps: opens an existing path only (OPEN_EXISTING), with the access asked for, returning
// INVALID_HANDLE_VALUE on failure with the reason for GetLastError; a folder opens only with
// FILE_FLAG_BACKUP_SEMANTICS (else ERROR_ACCESS_DENIED), as on Windows. Maps to open(2) with
// O_NONBLOCK, so that nothing blocks the opener; for writing, to stat(2) first and open(2)
// only for a regular file, which fstat(2) then confirms, so that no device, FIFO or socket is
// ever opened for writing: those get an O_PATH descriptor that GetFileType tells apart.
// Access 0 (attributes only) is O_PATH. POSIX has no share modes: the share argument is taken
// and not enforced. FILE_FLAG_SEQUENTIAL_SCAN is kept as Windows keeps it, a hint to read ahead
// that changes no result: on a file opened for writing (only the tag remover opens one) it asks
// the kernel for the file's start and last page at once (posix_fadvise), where its opener reads
// next; elsewhere it is taken and not used.
HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD disposition, DWORD flags, HANDLE) {
  AbandonGuard guard;
  if (disposition != OPEN_EXISTING || path == nullptr) {
    return Failed(INVALID_HANDLE_VALUE, ERROR_INVALID_PARAMETER);
  }
  if (access & GENERIC_WRITE) {
    int fd = OpenForWriting(path, OpenFlags(access), (flags & FILE_FLAG_SEQUENTIAL_SCAN) != 0);
    return fd < 0 ? INVALID_HANDLE_VALUE : HandleFromFd(fd);
  }
  int fd = open(path, OpenFlags(access));
  if (fd < 0) return Failed(INVALID_HANDLE_VALUE);
  // A reader opens a folder only with FILE_FLAG_BACKUP_SEMANTICS.
  struct stat status;
  if (!(flags & FILE_FLAG_BACKUP_SEMANTICS) && fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
    close(fd);
    return Failed(INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED);
  }
  return HandleFromFd(fd);
}

// Keeps: FILE_TYPE_DISK for a file or folder on disk, FILE_TYPE_PIPE for a FIFO or socket,
// FILE_TYPE_CHAR for a device. Maps to fstat(2), or to what the open for writing just found;
// block devices are reported as FILE_TYPE_CHAR too, so that nothing takes a disk device for a
// file.
DWORD WINAPI GetFileType(HANDLE file) {
  FileCallGuard guard(file);
  if (IsFileHandle(file) && FdFromHandle(file) == LastOpenedRegular) return FILE_TYPE_DISK;
  struct stat status;
  if (!IsFileHandle(file) || fstat(FdFromHandle(file), &status) != 0) return FILE_TYPE_UNKNOWN;
  if (S_ISREG(status.st_mode) || S_ISDIR(status.st_mode)) return FILE_TYPE_DISK;
  if (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_CHAR;
}

// Keeps: a 64-bit move from FILE_BEGIN, FILE_CURRENT or FILE_END that fails (FALSE, with
// ERROR_NEGATIVE_SEEK) rather than go before the start, with the new position returned. Maps
// to lseek(2), whose EINVAL is that error.
BOOL WINAPI SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition,
                             DWORD origin) {
  FileCallGuard guard(file);
  static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (!IsFileHandle(file) || origin > FILE_END) return Failed(FALSE, ERROR_INVALID_PARAMETER);
  off_t position = lseek(FdFromHandle(file), distance.QuadPart, kWhence[origin]);
  if (position < 0 && errno == EINVAL) return Failed(FALSE, ERROR_NEGATIVE_SEEK);
  if (position < 0) return Failed(FALSE);
  if (newPosition != nullptr) newPosition->QuadPart = position;
  return TRUE;
}

// Keeps: reads up to count bytes at the position, fewer only at the end of the file, with the
// count read returned; TRUE on success. Maps to read(2), repeated until done.
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED) {
  FileCallGuard guard(file);
  if (read != nullptr) *read = 0;
  if (!IsFileHandle(file)) return Failed(FALSE, ERROR_INVALID_PARAMETER);
  DWORD done = 0;
  while (done < count) {
    ssize_t got = ::read(FdFromHandle(file), static_cast<char*>(buffer) + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Failed(FALSE);
    if (got == 0) break;
    done += static_cast<DWORD>(got);
  }
  if (read != nullptr) *read = done;
  return TRUE;
}

// Keeps: writes all count bytes at the position or fails (FALSE). Maps to write(2), repeated
// until done; a write that takes nothing is a full disk. On standard error (descriptor 2, which
// the entry point keeps open, so that it is never a file the run opened) the bytes are a line,
// shown as shown_text.h says.
BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED) {
  FileCallGuard guard(file);
  if (written != nullptr) *written = 0;
  if (!IsFileHandle(file)) return Failed(FALSE, ERROR_INVALID_PARAMETER);
  // A line on standard error changes no file.
  if (FdFromHandle(file) == STDERR_FILENO) return WriteStandardError(buffer, count, written);
  NoteChange(FdFromHandle(file));
  DWORD done = 0;
  while (done < count) {
    ssize_t put =
        ::write(FdFromHandle(file), static_cast<const char*>(buffer) + done, count - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return Failed(FALSE);
    if (put == 0) return Failed(FALSE, ERROR_DISK_FULL);
    done += static_cast<DWORD>(put);
  }
  if (written != nullptr) *written = done;
  return TRUE;
}

// Keeps: the file ends at the current position; TRUE on success. Maps to lseek(2) and
// ftruncate(2).
BOOL WINAPI SetEndOfFile(HANDLE file) {
  FileCallGuard guard(file);
  if (!IsFileHandle(file)) return Failed(FALSE, ERROR_INVALID_PARAMETER);
  NoteChange(FdFromHandle(file));
  off_t position = lseek(FdFromHandle(file), 0, SEEK_CUR);
  if (position < 0 || ftruncate(FdFromHandle(file), position) != 0) return Failed(FALSE);
  return TRUE;
}

// Keeps: the attributes, size, link count and the volume serial number and file index that
// together tell one file or folder from every other. Maps to fstat(2): the volume is the
// device number in the kernel's 32-bit encoding, the index the inode number.
BOOL WINAPI GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
  AbandonGuard guard;
  struct stat status;
  if (!IsFileHandle(file) || fstat(FdFromHandle(file), &status) != 0) return FALSE;
  uint32_t major = gnu_dev_major(status.st_dev), minor = gnu_dev_minor(status.st_dev);
  uint64_t size = static_cast<uint64_t>(status.st_size);
  uint64_t index = static_cast<uint64_t>(status.st_ino);
  information->dwFileAttributes = AttributesFromMode(status.st_mode);
  information->dwVolumeSerialNumber = (minor & 0xFFu) | (major << 8) | ((minor & ~0xFFu) << 12);
  information->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  information->nFileSizeLow = static_cast<DWORD>(size);
  information->nNumberOfLinks = static_cast<DWORD>(status.st_nlink);
  information->nFileIndexHigh = static_cast<DWORD>(index >> 32);
  information->nFileIndexLow = static_cast<DWORD>(index);
  return TRUE;
}

// Keeps: closes a file, event, thread or enumeration handle once; FALSE for anything else.
// Maps to close(2) for files and to releasing the layer's own object otherwise.
BOOL WINAPI CloseHandle(HANDLE object) {
  // A change is over once its file is being closed, by whichever thread: a thread that stops
  // here at the process's end must not keep the end waiting for the thread that changed it.
  if (IsFileHandle(object)) {
    int fd = FdFromHandle(object);
    if (ChangedFd.compare_exchange_strong(fd, -1)) ChangeEnded();
  }
  AbandonGuard guard;
  if (IsFileHandle(object)) {
    int fd = FdFromHandle(object);
    LastOpenedRegular.compare_exchange_strong(fd, -1);
    return close(FdFromHandle(object)) == 0;
  }
  Object* target = ObjectFromHandle(object);
  if (target == nullptr) return FALSE;
  switch (target->kind) {
    case Kind::Event:
      return CloseEvent(target);
    case Kind::Thread:
      return CloseThread(target);
    case Kind::Find:
      return FALSE;
  }
  return FALSE;
}

// Keeps: the attribute bits of a path, following links (a link to a folder is a folder), or
// INVALID_FILE_ATTRIBUTES when they cannot be read, with the reason. Maps to stat(2).
DWORD WINAPI GetFileAttributesA(LPCSTR path) {
  AbandonGuard guard;
  struct stat status;
  if (path == nullptr) return Failed(INVALID_FILE_ATTRIBUTES, ERROR_INVALID_PARAMETER);
  if (stat(path, &status) != 0) return Failed(INVALID_FILE_ATTRIBUTES);
  return AttributesFromMode(status.st_mode);
}

// Keeps: the length in bytes, 0 for a null pointer. Maps to strlen.
int WINAPI lstrlenA(LPCSTR text) {
  return text == nullptr ? 0 : static_cast<int>(std::strlen(text));
}
