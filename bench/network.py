#!/usr/bin/python3
"""A music library on a network mount: the tree over slowfs (tests/linux/slowfs.cpp), which
delays every file-system operation as a NAS's round trip would, against the floor run on one
process and on one process per folder, and mid3v2.

  network.py BUILD_DIR WORK_DIR [RUNS]

200 files of 134 KB (a 4 KB ID3v2 tag, audio bytes, an ID3v1 trailer) in 16 folders; the
tagged tree, and the same tree already clean. Each row runs on a fresh copy beneath a fresh
mount, RUNS times (rows taken in turn, so that the machine's drift touches them alike); the
median is shown, with how many files are still tagged afterwards.
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/support"))
import mp3  # noqa: E402

BUILD, WORK = sys.argv[1], sys.argv[2]
RUNS = int(sys.argv[3]) if len(sys.argv) > 3 else 3
VARDEL = os.path.join(BUILD, "vardel")
FLOOR = os.path.join(BUILD, "bench", "bench_floor")
SLOWFS = os.path.join(BUILD, "tests", "linux", "slowfs")
FILES, FOLDERS = 200, 16
FILE_BYTES, TAG_BYTES = 134 * 1024, 4096
DELAYS_US = (1000, 200)
MOUNT_WAIT = 10


def make_tree(root, clean):
    """The corpus: tagged, or as a run leaves it (trailer cut, tag zeroed)."""
    shutil.rmtree(root, ignore_errors=True)
    audio_size = FILE_BYTES - TAG_BYTES - mp3.HEADER_SIZE - mp3.TRAILER_SIZE
    data = (mp3.cleaned(TAG_BYTES, mp3.audio_bytes(audio_size)) if clean
            else mp3.tagged(TAG_BYTES, audio_size))
    mp3.write_tree(root, {os.path.join("album%02d" % (track % FOLDERS), "track%03d.mp3" % track):
                          data for track in range(FILES)})


class Mount:
    def __init__(self, source, mount, delay):
        os.makedirs(mount, exist_ok=True)
        self.mount = mount
        self.fs = subprocess.Popen([SLOWFS, source, mount, "--delay-us", str(delay)],
                                   stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + MOUNT_WAIT
        while not os.path.ismount(mount) and time.monotonic() < deadline:
            time.sleep(0.01)
        if not os.path.ismount(mount):
            sys.exit("slowfs could not mount")

    def close(self):
        subprocess.run(["fusermount3", "-u", self.mount])
        self.fs.wait()


def rows():
    parallel = ('ls -d "$1"/*/ | xargs -P %d -n 1 %s >/dev/null' % (FOLDERS, FLOOR))
    mid = 'find "$1" -name "*.mp3" -print0 | xargs -0 mid3v2 -D >/dev/null'
    return {"vardel --no-dialog": lambda m: [VARDEL, "--no-dialog", m],
            "floor, one process": lambda m: [FLOOR, m],
            "floor, %d processes in parallel" % FOLDERS: lambda m: ["sh", "-c", parallel, "sh", m],
            "mid3v2 -D": lambda m: ["sh", "-c", mid, "sh", m]}


def measure(kind, delay):
    """{row: (median seconds, still tagged)} for one tree over one mount delay."""
    source, mount = os.path.join(WORK, "copy"), os.path.join(WORK, "mount")
    times = {name: [] for name in rows()}
    left = {}
    for _ in range(RUNS):
        for name, command in rows().items():
            make_tree(source, kind == "clean")
            fs = Mount(source, mount, delay)
            started = time.perf_counter()
            subprocess.run(command(mount), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            times[name].append(time.perf_counter() - started)
            fs.close()
            left[name] = mp3.count_tagged(source)
    return {name: (statistics.median(times[name]), left[name]) for name in times}


def main():
    if not (os.path.exists(SLOWFS) and os.path.exists("/dev/fuse")):
        print("network rows: skipped (no slowfs or no /dev/fuse)")
        return
    os.makedirs(WORK, exist_ok=True)
    parallel_row = "floor, %d processes in parallel" % FOLDERS
    print("| delay per operation | tree | row | seconds | × parallel floor | mid3v2 / row "
          "| still tagged |")
    print("|---|---|---|---|---|---|---|")
    for delay in DELAYS_US:
        for kind in ("tagged", "clean"):
            figures = measure(kind, delay)
            floor, mid = figures[parallel_row][0], figures["mid3v2 -D"][0]
            for name, (seconds, left) in figures.items():
                print("| %.1f ms | %s | %s | %.3f | %.2f | %.2f | %d |" % (
                    delay / 1000, kind, name, seconds, seconds / floor, mid / seconds, left))
    shutil.rmtree(WORK, ignore_errors=True)


if __name__ == "__main__":
    main()
