// slowfs: a FUSE file system for the suites and benchmarks that passes a folder through, as a
// slow or stuck network mount would show it.
//   slowfs SOURCE MOUNTPOINT [--delay-us N] [--hang-open NAME] [--hang-log FILE] [FUSE options]
// Every operation first sleeps N microseconds. An open of a file whose base name is NAME never
// succeeds: it appends one line to FILE, so that a test knows its caller is inside the open,
// and is held until the kernel interrupts the request (its caller killed) or the file system
// is unmounted. Runs in the foreground, multi-threaded, with the kernel checking permissions
// from the modes as on a real disk; the file handles are descriptors of the files beneath.
#define FUSE_USE_VERSION 31
#include <fuse.h>
#include <fuse_lowlevel.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

namespace {

struct Options {
  unsigned delayUs = 0;
  const char* hangOpen = nullptr;
  const char* hangLog = nullptr;
};

Options options;
std::string source;

// How often a held open looks whether it was interrupted.
constexpr auto kHangPoll = std::chrono::milliseconds(10);
// A directory entry's type, as readdir gives it, turned into a mode's type bits.
constexpr int kTypeShift = 12;

const fuse_opt kOptionSpecs[] = {{"--delay-us %u", offsetof(Options, delayUs), 0},
                                 {"--delay-us=%u", offsetof(Options, delayUs), 0},
                                 {"--hang-open %s", offsetof(Options, hangOpen), 0},
                                 {"--hang-open=%s", offsetof(Options, hangOpen), 0},
                                 {"--hang-log %s", offsetof(Options, hangLog), 0},
                                 {"--hang-log=%s", offsetof(Options, hangLog), 0},
                                 FUSE_OPT_END};

// The delay every operation starts with, and the path beneath it names.
std::string Enter(const char* path) {
  if (options.delayUs != 0) std::this_thread::sleep_for(std::chrono::microseconds(options.delayUs));
  return source + path;
}

int Result(int returned) { return returned < 0 ? -errno : returned; }

bool IsHung(std::string_view path) {
  return options.hangOpen != nullptr && path.substr(path.rfind('/') + 1) == options.hangOpen;
}

// Says it is held, then waits for the kernel's interrupt or the end of the session.
int HoldOpen(const char* path) {
  if (options.hangLog != nullptr) {
    if (FILE* log = std::fopen(options.hangLog, "a")) {
      std::fprintf(log, "open %s\n", path);
      std::fclose(log);
    }
  }
  fuse_session* session = fuse_get_session(fuse_get_context()->fuse);
  while (!fuse_interrupted() && !fuse_session_exited(session))
    std::this_thread::sleep_for(kHangPoll);
  return -EINTR;
}

int GetAttr(const char* path, struct stat* st, fuse_file_info* fi) {
  std::string real = Enter(path);
  return Result(fi != nullptr ? fstat(fi->fh, st) : lstat(real.c_str(), st));
}

int ReadLink(const char* path, char* buffer, size_t size) {
  ssize_t length = readlink(Enter(path).c_str(), buffer, size - 1);
  if (length < 0) return -errno;
  buffer[length] = '\0';
  return 0;
}

int Access(const char* path, int mask) { return Result(access(Enter(path).c_str(), mask)); }

int OpenDir(const char* path, fuse_file_info* fi) {
  DIR* dir = opendir(Enter(path).c_str());
  if (dir == nullptr) return -errno;
  fi->fh = reinterpret_cast<uintptr_t>(dir);
  return 0;
}

// The whole listing in one call, in the order of the folder beneath, with each entry's type.
int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info* fi,
            fuse_readdir_flags) {
  Enter(path);
  DIR* dir = reinterpret_cast<DIR*>(fi->fh);
  rewinddir(dir);
  while (const dirent* entry = readdir(dir)) {
    struct stat st = {};
    st.st_ino = entry->d_ino;
    st.st_mode = static_cast<mode_t>(entry->d_type) << kTypeShift;
    if (fill(buffer, entry->d_name, &st, 0, fuse_fill_dir_flags{}) != 0) return -ENOMEM;
  }
  return 0;
}

int ReleaseDir(const char* path, fuse_file_info* fi) {
  Enter(path);
  closedir(reinterpret_cast<DIR*>(fi->fh));
  return 0;
}

int Open(const char* path, fuse_file_info* fi) {
  std::string real = Enter(path);
  if (IsHung(real)) return HoldOpen(path);
  int fd = open(real.c_str(), fi->flags);
  if (fd < 0) return -errno;
  fi->fh = fd;
  return 0;
}

int Read(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
  Enter(path);
  return Result(static_cast<int>(pread(fi->fh, buffer, size, offset)));
}

int Write(const char* path, const char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
  Enter(path);
  return Result(static_cast<int>(pwrite(fi->fh, buffer, size, offset)));
}

int Truncate(const char* path, off_t size, fuse_file_info* fi) {
  std::string real = Enter(path);
  return Result(fi != nullptr ? ftruncate(fi->fh, size) : truncate(real.c_str(), size));
}

// A close of a duplicate: what the file beneath reports at close, reported at each close.
int Flush(const char* path, fuse_file_info* fi) {
  Enter(path);
  return Result(close(dup(fi->fh)));
}

int FSync(const char* path, int dataOnly, fuse_file_info* fi) {
  Enter(path);
  return Result(dataOnly != 0 ? fdatasync(fi->fh) : fsync(fi->fh));
}

int Release(const char* path, fuse_file_info* fi) {
  Enter(path);
  close(fi->fh);
  return 0;
}

int StatFs(const char* path, struct statvfs* st) {
  return Result(statvfs(Enter(path).c_str(), st));
}

// Inode numbers and entry types as the folder beneath has them.
void* Init(fuse_conn_info*, fuse_config* config) {
  config->use_ino = 1;
  return nullptr;
}

int KeepMountPoint(void*, const char* arg, int key, fuse_args*) {
  if (key != FUSE_OPT_KEY_NONOPT || !source.empty()) return 1;
  char real[PATH_MAX];
  if (realpath(arg, real) == nullptr) {
    std::perror(arg);
    std::exit(EXIT_FAILURE);
  }
  source = real;
  return 0;
}

fuse_operations Operations() {
  fuse_operations ops = {};
  ops.getattr = GetAttr;
  ops.readlink = ReadLink;
  ops.truncate = Truncate;
  ops.open = Open;
  ops.read = Read;
  ops.write = Write;
  ops.statfs = StatFs;
  ops.flush = Flush;
  ops.release = Release;
  ops.fsync = FSync;
  ops.opendir = OpenDir;
  ops.readdir = ReadDir;
  ops.releasedir = ReleaseDir;
  ops.init = Init;
  ops.access = Access;
  return ops;
}

}  // namespace

int main(int argc, char** argv) {
  fuse_args args = FUSE_ARGS_INIT(argc, argv);
  if (fuse_opt_parse(&args, &options, kOptionSpecs, KeepMountPoint) != 0 || source.empty()) {
    std::fprintf(stderr,
                 "usage: slowfs SOURCE MOUNTPOINT [--delay-us N] [--hang-open NAME] "
                 "[--hang-log FILE] [FUSE options]\n");
    return EXIT_FAILURE;
  }
  fuse_opt_add_arg(&args, "-f");
  // The thread limit is libfuse's own default, named because fuse_main of libfuse 3.14 passes
  // an unset one and warns about it.
  fuse_opt_add_arg(&args, "-odefault_permissions,fsname=slowfs,max_threads=10");
  fuse_operations ops = Operations();
  int code = fuse_main(args.argc, args.argv, &ops, nullptr);
  fuse_opt_free_args(&args);
  return code;
}
