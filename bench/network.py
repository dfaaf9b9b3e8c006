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
import contextlib
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/support"))
import mp3  # noqa: E402
import storage_rows  # noqa: E402

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
    def __init__(self, slowfs, source, mount, delay):
        os.makedirs(mount, exist_ok=True)
        self.mount = mount
        self.fs = subprocess.Popen([slowfs, source, mount, "--delay-us", str(delay)],
                                   stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + MOUNT_WAIT
        while not os.path.ismount(mount) and time.monotonic() < deadline:
            time.sleep(0.01)
        if not os.path.ismount(mount):
            sys.exit("slowfs could not mount")

    def close(self):
        subprocess.run(["fusermount3", "-u", self.mount])
        self.fs.wait()


def measure(build, work, runs, kind, delay):
    """{row: (median seconds, still tagged)} for one tree over one mount delay."""
    source, mount = os.path.join(work, "copy"), os.path.join(work, "mount")
    slowfs = os.path.join(build, "tests", "linux", "slowfs")

    @contextlib.contextmanager
    def ready(_):
        make_tree(source, kind == "clean")
        fs = Mount(slowfs, source, mount, delay)
        yield mount, source
        fs.close()

    return storage_rows.measure(storage_rows.rows(build, FOLDERS), runs, ready)


def main():
    build, work = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    if not (os.path.exists(os.path.join(build, "tests", "linux", "slowfs"))
            and os.path.exists("/dev/fuse")):
        print("network rows: skipped (no slowfs or no /dev/fuse)")
        return
    os.makedirs(work, exist_ok=True)
    storage_rows.print_header("delay per operation")
    for delay in DELAYS_US:
        for kind in ("tagged", "clean"):
            storage_rows.print_rows("%.1f ms" % (delay / 1000), kind, FOLDERS,
                                    measure(build, work, runs, kind, delay))
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
