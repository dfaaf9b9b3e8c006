#!/usr/bin/python3
"""Makes the benchmark's corpora with real tools: sox and lame for the audio, mutagen for the
tags. Each corpus is made once into its own folder and kept; a stamp file says it is complete.

  (a) small:  5000 files of about 130 KB: ID3v2.3 tag with a 64 KiB cover, then an ID3v1 trailer
  (b) songs:  200 song-size files of about 8 MB, tagged the same
  (c) empty:  10,000 empty ".mp3" files: nothing to clean, the batch's own overhead
  (d) tree:   100,000 entries, half of them ".mp3" files, for the scan
  (e) start:  one empty folder, for the program's start-up alone
  cold:       2000 files as in (a), for the run on a cold page cache (cold.py)

Files are spread over album folders of 100, as a music collection is.
"""
import os
import random
import shutil
import subprocess
import sys

from mutagen.id3 import APIC, COMM, ID3, TALB, TIT2, TPE1, TRCK, TYER

ALBUM_SIZE = 100
COVER_BYTES = 64 * 1024
SAMPLE_RATE = 44100
BITRATE_KBPS = 128
SMALL_SECONDS = 4      # about 65 KB of audio: with the cover, about 130 KB a file
SONG_SECONDS = 495     # about 7.9 MB of audio
TAG_PADDING = 1024   # fixed: mutagen would pad a larger file's tag more
COLD_FILES = 2000
STAMP = ".complete-2"  # a new name whenever what a corpus holds changes


def encode(seconds, target):
    """Pink noise, encoded by lame at a constant bit rate."""
    sox = subprocess.Popen(
        ["sox", "-n", "-r", str(SAMPLE_RATE), "-c", "2", "-b", "16", "-t", "wav", "-",
         "synth", str(seconds), "pinknoise", "vol", "0.3"],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    subprocess.run(["lame", "--quiet", "-b", str(BITRATE_KBPS), "-", target],
                   stdin=sox.stdout, check=True)
    sox.stdout.close()
    if sox.wait() != 0:
        sys.exit("sox failed")


def tag(path, title):
    """An ID3v2.3 tag with text frames and a 64 KiB cover, and an ID3v1 trailer."""
    cover = bytearray(random.Random(title).randbytes(COVER_BYTES))
    cover[:4] = b"\xff\xd8\xff\xe0"  # a JPEG's start, as a cover's would be
    tags = ID3()
    tags.add(TIT2(encoding=1, text=title))
    tags.add(TPE1(encoding=1, text="Vardel Benchmark Ensemble"))
    tags.add(TALB(encoding=1, text="Generated Recordings"))
    tags.add(TRCK(encoding=1, text="1"))
    tags.add(TYER(encoding=1, text="2026"))
    tags.add(COMM(encoding=1, lang="eng", desc="", text="made by the benchmark"))
    tags.add(APIC(encoding=0, mime="image/jpeg", type=3, desc="Cover", data=bytes(cover)))
    tags.save(path, v1=2, v2_version=3, padding=lambda _: TAG_PADDING)


def spread(folder, count, write):
    """Calls write(path, index) for count files in album folders of ALBUM_SIZE."""
    for index in range(count):
        album = os.path.join(folder, "album%03d" % (index // ALBUM_SIZE))
        if index % ALBUM_SIZE == 0:
            os.makedirs(album)
        write(os.path.join(album, "track%03d.mp3" % (index % ALBUM_SIZE)), index)


def tagged_copies(folder, count, seconds):
    work = folder + ".work"
    os.makedirs(work)
    source = os.path.join(work, "source.mp3")
    encode(seconds, source)
    tag(source, "Benchmark track")
    with open(source, "rb") as f:
        data = f.read()

    def write(path, _):
        with open(path, "wb") as f:
            f.write(data)

    spread(folder, count, write)
    shutil.rmtree(work)


def empty_files(folder, count):
    spread(folder, count, lambda path, _: open(path, "wb").close())


def scan_tree(folder, entries):
    """Folders of 100 entries each: 50 ".mp3" files, 49 other files, one subfolder (the last
    folder's entry is its own last file), so that entries counts every file and folder."""
    per_folder = 100
    folders = entries // per_folder
    current = folder
    for index in range(folders):
        current = os.path.join(current if index % 10 else folder, "f%04d" % index)
        os.makedirs(current)
        for n in range(50):
            open(os.path.join(current, "t%02d.mp3" % n), "wb").close()
        for n in range(49):
            open(os.path.join(current, "c%02d.jpg" % n), "wb").close()


MAKERS = {
    "small": lambda folder: tagged_copies(folder, 5000, SMALL_SECONDS),
    "songs": lambda folder: tagged_copies(folder, 200, SONG_SECONDS),
    "empty": lambda folder: empty_files(folder, 10000),
    "tree": lambda folder: scan_tree(folder, 100000),
    "start": lambda folder: None,
    "cold": lambda folder: tagged_copies(folder, COLD_FILES, SMALL_SECONDS),
}


def make(root, name):
    folder = os.path.join(root, name)
    if os.path.exists(os.path.join(folder, STAMP)):
        return folder
    shutil.rmtree(folder, ignore_errors=True)
    shutil.rmtree(folder + ".work", ignore_errors=True)
    os.makedirs(root, exist_ok=True)
    os.makedirs(folder)
    MAKERS[name](folder)
    open(os.path.join(folder, STAMP), "wb").close()
    return folder


if __name__ == "__main__":
    root = sys.argv[1]
    for corpus in sys.argv[2:] or MAKERS:
        print("corpus", corpus, make(root, corpus), flush=True)
