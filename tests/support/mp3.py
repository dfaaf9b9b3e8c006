#!/usr/bin/python3
"""Tagged test MP3s for the suites and benchmarks written in Python and bash, and the trees made
of them: an ID3v2 header (the tag's size seven bits a byte), the tag, audio, and a 128-byte
ID3v1 trailer. Cleaned, such a file has lost its trailer and its header and tag are zeros.

Scripts import it with this folder on sys.path; the end-to-end suite runs it:

  mp3.py tree DIR [COUNT]     a tree of COUNT tagged files (400) in nested folders
  mp3.py names DIR            a tagged file under many scripts' names, at two depths
  mp3.py states DIR           how many of such a tree's files are "cleaned untouched other"
  mp3.py exactly-cleaned DIR  exit 0 when every file of a names tree is exactly cleaned
"""
import os
import struct
import subprocess
import sys

HEADER_SIZE = 10
TRAILER_SIZE = 128
MARKER = b"TAG"
SEVEN_BITS = 0x7F


def synchsafe(size):
    """A size as an ID3v2 header holds it: four bytes of seven bits each."""
    return bytes(size >> shift & SEVEN_BITS for shift in (21, 14, 7, 0))


def header(tag_size, major=3, flags=0):
    return b"ID3" + bytes([major, 0, flags]) + synchsafe(tag_size)


def counting(size, start=0, modulus=251):
    """Bytes that are never zero: start + 1, start + 2, ..., each taken modulo modulus first."""
    return bytes((start + i) % modulus + 1 for i in range(size))


def trailer(fill=bytes(range(1, TRAILER_SIZE - len(MARKER) + 1))):
    return MARKER + fill


TRAILER = trailer()


def build(tag, audio, end=TRAILER, major=3, flags=0):
    """A file of the tag (the bytes after the header), the audio and what ends it."""
    return header(len(tag), major, flags) + tag + audio + end


def cleaned(tag_size, audio):
    """What a file of a tag of tag_size bytes, audio and one trailer becomes once cleaned."""
    return bytes(HEADER_SIZE + tag_size) + audio


def parts(tag_size, audio_size=3000, seed=1):
    """The usual tag and audio: each counting on from seed, so each file's differ."""
    return counting(tag_size, seed), counting(audio_size, seed * 7, 249)


def tagged(tag_size, audio_size=3000, seed=1, trailers=1):
    return build(*parts(tag_size, audio_size, seed), TRAILER * trailers)


def write_tree(root, files):
    """Writes {path under root: bytes} in that order; returns {full path: bytes}."""
    written = {}
    for relative, data in files.items():
        path = os.path.join(root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        written[path] = data
    return written


def still_tagged(path):
    """Whether a file still starts with a valid ID3v2 header or ends in an ID3v1 trailer."""
    with open(path, "rb") as f:
        head = f.read(HEADER_SIZE)
        size = f.seek(0, os.SEEK_END)
        end = b""
        if size >= TRAILER_SIZE:
            f.seek(-TRAILER_SIZE, os.SEEK_END)
            end = f.read(len(MARKER))
    v2 = (head[:3] == b"ID3" and head[3] != 0xFF and head[4] != 0xFF
          and all(b <= SEVEN_BITS for b in head[6:HEADER_SIZE]))
    return v2 or end == MARKER


def count_tagged(folder):
    return sum(still_tagged(os.path.join(top, name)) for top, _, names in os.walk(folder)
               for name in names if name.lower().endswith(".mp3"))


class Model:
    """The rules' model as a program (expected_after): what a file that held original becomes."""

    KEPT = 512  # a round's files at most: the trees of earlier rounds are not asked again

    def __init__(self, program):
        self.process = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.known = {}

    def cleaned(self, original):
        if original not in self.known:
            if len(self.known) > self.KEPT:
                self.known.clear()
            self.process.stdin.write(struct.pack("<Q", len(original)) + original)
            self.process.stdin.flush()
            (size,) = struct.unpack("<Q", self.process.stdout.read(8))
            self.known[original] = self.process.stdout.read(size)
        return self.known[original]


# The end-to-end suite's files: a 1 KiB tag, 3000 bytes of audio, one of 250 kinds.
E2E_TAG, E2E_AUDIO, E2E_KINDS = bytes([1]) * 1024, 3000, 250
E2E_END = trailer(bytes([1]) * (TRAILER_SIZE - len(MARKER)))
NAMES = ["Björk - Jóga", "plain ascii", "Кино - Кукушка", "坂本龍一 - Merry Christmas",
         "emoji \U0001F3B5 song", "Μίκης Θεοδωράκης", "Cafe\u0301 combining", "فيروز - نسم علينا",
         "שלום חברים", "長" * 68]
NAME_FOLDERS = ["", "Кириллица", "音楽 \U0001F3B6/Ελληνικά", "עברית/فولدر"]


def e2e_audio(kind):
    return counting(E2E_AUDIO, kind, E2E_KINDS)


def e2e_tree(root, count):
    """count files, the kinds in turn, in 20 folders of three subfolders each."""
    kinds = [build(E2E_TAG, e2e_audio(kind), E2E_END) for kind in range(E2E_KINDS)]
    write_tree(root, {os.path.join("d%02d" % (i % 20), "e%d" % (i % 3), "t%06d.mp3" % i):
                      kinds[i % E2E_KINDS] for i in range(count)})


def names_tree(root):
    """Scripts outside a Western code page, a character outside the Basic Multilingual Plane,
    combining marks, right-to-left text, and a name of over 200 bytes in UTF-8."""
    data = build(E2E_TAG, e2e_audio(0), E2E_END)
    write_tree(root, {os.path.join(folder, name + ".mp3"): data
                      for folder in NAME_FOLDERS for name in NAMES})


def e2e_files(root):
    return [os.path.join(top, name) for top, _, names in os.walk(root) for name in names]


def e2e_states(root):
    counts = {"cleaned": 0, "untouched": 0, "other": 0}
    region = HEADER_SIZE + len(E2E_TAG)
    for path in e2e_files(root):
        with open(path, "rb") as f:
            data = f.read()
        if len(data) == region + E2E_AUDIO and data[:region] == bytes(region) and 0 not in data[region:]:
            counts["cleaned"] += 1
        elif (len(data) == region + E2E_AUDIO + TRAILER_SIZE and data[:3] == b"ID3"
              and data[-TRAILER_SIZE:].startswith(MARKER)):
            counts["untouched"] += 1
        else:
            counts["other"] += 1
    print(counts["cleaned"], counts["untouched"], counts["other"])


def exactly_cleaned(root):
    want = cleaned(len(E2E_TAG), e2e_audio(0))
    files = e2e_files(root)
    sys.exit(0 if files and all(open(f, "rb").read() == want for f in files) else 1)


if __name__ == "__main__":
    command, folder = sys.argv[1], sys.argv[2]
    {"tree": lambda: e2e_tree(folder, int(sys.argv[3]) if len(sys.argv) > 3 else 400),
     "names": lambda: names_tree(folder), "states": lambda: e2e_states(folder),
     "exactly-cleaned": lambda: exactly_cleaned(folder)}[command]()
