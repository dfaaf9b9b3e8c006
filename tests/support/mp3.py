#!/usr/bin/python3
"""Test MP3s for the scripts, and the end-to-end suite's trees: an ID3v2 header (the tag's size
seven bits a byte), the tag, audio, a 128-byte ID3v1 trailer; cleaned, the trailer is cut, the
header stays (with no flags) and the tag is zeros. Imported with this folder on sys.path; e2e_trees.sh runs it as
mp3.py tree DIR COUNT | names DIR | states DIR | exactly-cleaned DIR."""
import os
import struct
import subprocess
import sys

HEADER_SIZE, TRAILER_SIZE, MARKER = 10, 128, b"TAG"
SEVEN_BITS = 0x7F


def synchsafe(size):
    return bytes(size >> shift & SEVEN_BITS for shift in (21, 14, 7, 0))


def header(tag_size, major=3, flags=0):
    return b"ID3" + bytes([major, 0, flags]) + synchsafe(tag_size)


def counting(size, start=0, modulus=251):
    """Bytes that are never zero: (start + i) modulo modulus, plus one; one cycle, repeated."""
    cycle = bytes((start + i) % modulus + 1 for i in range(modulus))
    return (cycle * (size // modulus + 1))[:size]


def trailer(fill=bytes(range(1, TRAILER_SIZE - len(MARKER) + 1))):
    return MARKER + fill


TRAILER = trailer()


def build(tag, audio=b"", end=b"", major=3, flags=0):
    """A file of a header, the tag (the bytes after the header), the audio and what ends it."""
    return header(len(tag), major, flags) + tag + audio + end


def cleaned(tag_size, audio):
    """What a file of a tag of tag_size bytes, the audio and a trailer becomes once cleaned."""
    return header(tag_size) + bytes(tag_size) + audio


def audio_bytes(size, seed=1):
    return counting(size, seed * 7, 249)


def tagged(tag_size, audio_size=3000, seed=1, trailers=1):
    """The usual file: tag and audio count on from seed, so that each seed's differ."""
    return build(counting(tag_size, seed), audio_bytes(audio_size, seed), TRAILER * trailers)


def write_tree(root, files):
    """Writes {path under root: bytes} in that order; returns {full path: bytes}."""
    for relative, data in files.items():
        path = os.path.join(root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    return {os.path.join(root, relative): data for relative, data in files.items()}


def still_tagged(path):
    """Whether a file still starts with an ID3v2 tag that holds more than padding, or ends in an
    ID3v1 trailer."""
    with open(path, "rb") as f:
        head = f.read(HEADER_SIZE + 1)
        size = f.seek(0, os.SEEK_END)
        f.seek(max(size - TRAILER_SIZE, 0))
        end = f.read(len(MARKER)) if size >= TRAILER_SIZE else b""
    v2 = (len(head) >= HEADER_SIZE and head[:3] == b"ID3" and head[3] != 0xFF
          and head[4] != 0xFF and all(b <= SEVEN_BITS for b in head[6:HEADER_SIZE]))
    padding = v2 and (head[6:HEADER_SIZE] == bytes(4) or (head[HEADER_SIZE:] in (b"", b"\0")
                                                          and not head[5] & 0x40))
    return (v2 and not padding) or end == MARKER


def count_tagged(folder):
    return sum(still_tagged(os.path.join(top, name)) for top, _, names in os.walk(folder)
               for name in names if name.lower().endswith(".mp3"))


class Model:
    """The rules' model as a program (expected_after): what a file that held original becomes.
    Keeps a round's answers at most: the trees of earlier rounds are not asked about again."""

    def __init__(self, program, kept=512):
        self.process = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.known, self.kept = {}, kept

    def cleaned(self, original):
        if original not in self.known:
            if len(self.known) > self.kept:
                self.known.clear()
            self.process.stdin.write(struct.pack("<Q", len(original)) + original)
            self.process.stdin.flush()
            (size,) = struct.unpack("<Q", self.process.stdout.read(8))
            self.known[original] = self.process.stdout.read(size)
        return self.known[original]


# The end-to-end suite's files: a 1 KiB tag and 3000 bytes of audio of one of 250 kinds.
E2E_TAG, E2E_KINDS = bytes([1]) * 1024, 250
E2E_END = trailer(bytes([1]) * (TRAILER_SIZE - len(MARKER)))
# Scripts outside a Western code page, a character outside the Basic Multilingual Plane,
# combining marks, right-to-left text, and a name of over 200 bytes in UTF-8.
NAMES = ["Björk - Jóga", "plain ascii", "Кино - Кукушка", "坂本龍一 - Merry Christmas",
         "emoji \U0001F3B5 song", "Μίκης Θεοδωράκης", "Cafe\u0301 combining", "فيروز - نسم علينا",
         "שלום חברים", "長" * 68]
NAME_FOLDERS = ["", "Кириллица", "音楽 \U0001F3B6/Ελληνικά", "עברית/فولدر"]


def e2e(kind, clean=False):
    sound = counting(3000, kind, E2E_KINDS)
    return cleaned(len(E2E_TAG), sound) if clean else build(E2E_TAG, sound, E2E_END)


def e2e_tree(root, count):
    kinds = [e2e(kind) for kind in range(E2E_KINDS)]
    write_tree(root, {os.path.join("d%02d" % (i % 20), "e%d" % (i % 3), "t%06d.mp3" % i):
                      kinds[i % E2E_KINDS] for i in range(count)})


def names_tree(root):
    write_tree(root, {os.path.join(folder, name + ".mp3"): e2e(0)
                      for folder in NAME_FOLDERS for name in NAMES})


def contents(root):
    for top, _, names in os.walk(root):
        for name in names:
            with open(os.path.join(top, name), "rb") as f:
                yield f.read()


def e2e_states(root):
    """Prints how many files are "cleaned untouched other"."""
    size, region, counts = len(e2e(0, clean=True)), HEADER_SIZE + len(E2E_TAG), [0, 0, 0]
    emptied = header(len(E2E_TAG)) + bytes(len(E2E_TAG))
    for data in contents(root):
        if len(data) == size and data[:region] == emptied and 0 not in data[region:]:
            counts[0] += 1
        elif (len(data) == size + TRAILER_SIZE and data[:3] == b"ID3"
              and data[-TRAILER_SIZE:].startswith(MARKER)):
            counts[1] += 1
        else:
            counts[2] += 1
    print(*counts)


def exactly_cleaned(root):
    """Exits with 0 when there are files and each is the first kind, cleaned."""
    found = list(contents(root))
    sys.exit(0 if found and all(data == e2e(0, clean=True) for data in found) else 1)


if __name__ == "__main__":
    {"tree": lambda root: e2e_tree(root, int(sys.argv[3])), "names": names_tree,
     "states": e2e_states, "exactly-cleaned": exactly_cleaned}[sys.argv[1]](sys.argv[2])
