#!/usr/bin/python3
"""A music library on a network mount: the tree over slowfs (tests/linux/slowfs.cpp), which
delays every file-system operation as a NAS's round trip would, against the floor run on one
process and 16 at a time, find alone and mid3v2.

  network.py BUILD_DIR WORK_DIR [RUNS [BEFORE_PROGRAM]]

Files of 134 KB (a 4 KB ID3v2.3 tag, audio bytes, an ID3v1 trailer). The flat tree: 200 in
16 folders. The library, shaped as people keep one: 60 artist folders of 1 to 3 albums, each of
8 to 14 tracks and a cover.jpg, 1425 tracks in 187 folders; also through the kernel's
write-behind cache, as NFS and SMB clients keep writes. Each tree tagged, and already clean.
Each row runs on a fresh copy beneath a fresh mount, RUNS times (rows taken in turn, so that
the machine's drift touches them alike); the median is shown, with how many files are still
tagged afterwards. BEFORE_PROGRAM, another build of the program, is timed beside this one.
"""
import contextlib
import os
import random
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
# The library: artists with (albums, how many) and albums' track counts that sum to its totals.
ARTISTS, ALBUM_COUNTS = 60, {1: 13, 2: 27, 3: 20}
ALBUM_TRACKS, TRACKS, FEWEST, MOST = 11, 1425, 8, 14
COVER_BYTES = 24 * 1024
PARALLEL = 16  # the floor's processes at once
# (label, delay, write-behind, shape) of each mount's rows.
MOUNTS = [("%.1f ms" % (delay / 1000), delay, False, shape)
          for delay in DELAYS_US for shape in ("flat", "library")]
MOUNTS.append(("1.0 ms, write-behind", 1000, True, "library"))


def track_data(clean):
    audio_size = FILE_BYTES - TAG_BYTES - mp3.HEADER_SIZE - mp3.TRAILER_SIZE
    return (mp3.cleaned(TAG_BYTES, mp3.audio_bytes(audio_size)) if clean
            else mp3.tagged(TAG_BYTES, audio_size))


def library_files(clean):
    """{path: bytes} of the library, the same at every call."""
    chosen = random.Random(FILES)
    albums = [count for count, artists in ALBUM_COUNTS.items() for _ in range(artists)]
    chosen.shuffle(albums)
    tracks = [ALBUM_TRACKS] * sum(albums)
    for album in range(TRACKS - sum(tracks)):
        tracks[album] += 1
    for _ in range(len(tracks)):  # spread from FEWEST to MOST, the sum kept
        more, fewer = chosen.randrange(len(tracks)), chosen.randrange(len(tracks))
        if more != fewer and tracks[more] < MOST and tracks[fewer] > FEWEST:
            tracks[more], tracks[fewer] = tracks[more] + 1, tracks[fewer] - 1
    data, cover, files, album = track_data(clean), bytes(COVER_BYTES), {}, 0
    for artist in range(ARTISTS):
        for _ in range(albums[artist]):
            folder = os.path.join("artist%02d" % artist, "album%d" % album)
            files[os.path.join(folder, "cover.jpg")] = cover
            for track in range(tracks[album]):
                files[os.path.join(folder, "%02d track.mp3" % track)] = data
            album += 1
    return files


def make_tree(root, clean, shape):
    """The corpus: tagged, or as a run leaves it (trailer cut, tag zeroed)."""
    shutil.rmtree(root, ignore_errors=True)
    if shape == "library":
        mp3.write_tree(root, library_files(clean))
        return
    data = track_data(clean)
    mp3.write_tree(root, {os.path.join("album%02d" % (track % FOLDERS), "track%03d.mp3" % track):
                          data for track in range(FILES)})


class Mount:
    def __init__(self, slowfs, source, mount, delay, write_behind):
        os.makedirs(mount, exist_ok=True)
        self.mount = mount
        self.fs = subprocess.Popen([slowfs, source, mount, "--delay-us", str(delay)] +
                                   (["--write-behind"] if write_behind else []),
                                   stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + MOUNT_WAIT
        while not os.path.ismount(mount) and time.monotonic() < deadline:
            time.sleep(0.01)
        if not os.path.ismount(mount):
            sys.exit("slowfs could not mount")

    def close(self):
        subprocess.run(["fusermount3", "-u", self.mount])
        self.fs.wait()


def measure(build, work, runs, kind, mount_kind, before):
    """{row: (median seconds, still tagged)} for one tree over one mount."""
    _, delay, write_behind, shape = mount_kind
    source, mount = os.path.join(work, "copy"), os.path.join(work, "mount")
    slowfs = os.path.join(build, "tests", "linux", "slowfs")

    @contextlib.contextmanager
    def ready(_):
        make_tree(source, kind == "clean", shape)
        fs = Mount(slowfs, source, mount, delay, write_behind)
        yield mount, source
        fs.close()

    return storage_rows.measure(storage_rows.rows(build, PARALLEL, before, find=True), runs, ready)


def main():
    build, work = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    before = sys.argv[4] if len(sys.argv) > 4 else None
    if not (os.path.exists(os.path.join(build, "tests", "linux", "slowfs"))
            and os.path.exists("/dev/fuse")):
        print("network rows: skipped (no slowfs or no /dev/fuse)")
        return
    os.makedirs(work, exist_ok=True)
    storage_rows.print_header("delay per operation")
    for mount_kind in MOUNTS:
        for kind in ("tagged", "clean"):
            storage_rows.print_rows("%s, %s" % (mount_kind[0], mount_kind[3]), kind, PARALLEL,
                                    measure(build, work, runs, kind, mount_kind, before))
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
