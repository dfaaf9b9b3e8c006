#!/usr/bin/python3
"""Makes the sample MP3 files every suite reads, in OUT, with real encoders and taggers.

    samples.py OUT

The audio comes from sox and lame; the tags from lame, id3v2 (id3lib), eyeD3 and mutagen. The
forms no tagger here writes (ID3v2.2, an extended header, unsynchronisation, a Lyrics3 block)
are written byte by byte after the ID3v2 standard and read back with mutagen, so each is a tag a
real reader takes as one. OUT/MANIFEST names each file with "cleaned" (a run must change it) or
"unchanged", and what it holds. A second call with the same script does nothing.
"""
import hashlib
import os
import shutil
import subprocess
import sys

from mutagen.apev2 import APEv2
from mutagen.id3 import ID3, APIC, TIT2, TPE1, ID3NoHeaderError

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
import mp3  # noqa: E402

OUT = sys.argv[1]
# A change to this script or to the maker makes the samples afresh.
STAMP = "# samples " + hashlib.sha256(b"".join(
    open(script, "rb").read() for script in (__file__, mp3.__file__))).hexdigest()[:16]


def run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def frame(name, text, major):
    data = b"\x00" + text.encode("latin-1")
    if major == 2:  # three-letter names, three-byte sizes, no flags
        return name.encode() + len(data).to_bytes(3, "big") + data
    size = mp3.synchsafe(len(data)) if major == 4 else len(data).to_bytes(4, "big")
    return name.encode() + size + b"\x00\x00" + data


def v1(title):
    return mp3.trailer(title.encode().ljust(30, b"\x00") + bytes(95))


def unsynchronised(data):
    return data.replace(b"\xff", b"\xff\x00")


def lyrics3(text):
    field = b"LYR" + b"%05d" % len(text) + text
    return b"LYRICSBEGIN" + field + b"%06d" % (len(b"LYRICSBEGIN") + len(field)) + b"LYRICS200"


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def read(name):
    with open(os.path.join(OUT, name), "rb") as f:
        return f.read()


def copy(name):
    shutil.copyfile(os.path.join(OUT, "no-tags.mp3"), os.path.join(OUT, name))
    return os.path.join(OUT, name)


def id3_version(name):
    try:
        return ID3(os.path.join(OUT, name)).version[:2]
    except ID3NoHeaderError:
        return None


def make():
    """Each sample: (name, expected, what it holds, the version mutagen must read or None)."""
    work = os.path.join(OUT, "work")
    os.makedirs(work)
    run("sox", "-n", "-r", "44100", "-c", "2", "-b", "16", os.path.join(work, "tone.wav"),
        "synth", "0.6", "sine", "440")
    run("lame", "--quiet", "-b", "128", os.path.join(work, "tone.wav"),
        os.path.join(OUT, "no-tags.mp3"))
    audio = read("no-tags.mp3")
    samples = [("no-tags.mp3", "unchanged", "lame's audio, no tag", None)]

    run("lame", "--quiet", "-b", "128", "--add-id3v2", "--tt", "Title", "--ta", "Artist",
        os.path.join(work, "tone.wav"), os.path.join(OUT, "lame-v23-v1.mp3"))
    samples.append(("lame-v23-v1.mp3", "cleaned", "lame: ID3v2.3 and ID3v1", (2, 3)))
    run("id3v2", "-a", "Artist", "-t", "Title", "-A", "Album", copy("id3v2-v23-v1.mp3"))
    samples.append(("id3v2-v23-v1.mp3", "cleaned", "id3v2: ID3v2.3 and ID3v1", (2, 3)))
    run("id3v2", "-1", "-a", "Artist", "-t", "Title", copy("id3v2-v1-only.mp3"))
    samples.append(("id3v2-v1-only.mp3", "cleaned", "id3v2: ID3v1 only", None))
    tag = ID3()
    tag.add(TIT2(encoding=3, text="Title"))
    tag.add(TPE1(encoding=3, text="Artist"))
    tag.save(copy("mutagen-v23.mp3"), v2_version=3)
    samples.append(("mutagen-v23.mp3", "cleaned", "mutagen: ID3v2.3", (2, 3)))
    tag.add(APIC(encoding=0, mime="image/png", type=3, desc="", data=bytes(range(256)) * 40))
    tag.save(copy("mutagen-v24-cover.mp3"), v2_version=4)
    samples.append(("mutagen-v24-cover.mp3", "cleaned",
                    "mutagen: ID3v2.4 with a 10 KiB cover, more than one block of zeros", (2, 4)))
    path = copy("eyed3-v24-v1.mp3")
    run("eyeD3", "-Q", "-a", "Artist", "-t", "Title", path)
    run("eyeD3", "-Q", "-1", "-a", "Artist", "-t", "Title", path)
    samples.append(("eyed3-v24-v1.mp3", "cleaned", "eyeD3: ID3v2.4 and ID3v1.1", (2, 4)))
    path = copy("apev2-before-v1.mp3")
    ape = APEv2()
    ape["Title"] = "Title"
    ape.save(path)
    run("id3v2", "-1", "-t", "Title", path)  # id3lib appends the trailer behind the APEv2 tag
    samples.append(("apev2-before-v1.mp3", "cleaned", "mutagen: APEv2 before an ID3v1 trailer",
                    None))

    v22 = frame("TT2", "Title", 2) + frame("TP1", "Artist", 2)
    write("v22.mp3", mp3.build(v22, audio, major=2))
    samples.append(("v22.mp3", "cleaned", "ID3v2.2 (TT2, TP1)", (2, 2)))
    extended = mp3.synchsafe(6) + b"\x01\x00"  # its own size, one flag byte, no flags set
    write("v24-extended-header.mp3",
          mp3.build(extended + frame("TIT2", "Title", 4), audio, major=4, flags=0x40))
    samples.append(("v24-extended-header.mp3", "cleaned", "ID3v2.4 with an extended header",
                    (2, 4)))
    body = unsynchronised(frame("TIT2", "\xff\xe0 sync-like bytes", 3))
    write("v23-unsynchronised.mp3", mp3.build(body, audio, flags=0x80))
    samples.append(("v23-unsynchronised.mp3", "cleaned", "ID3v2.3, unsynchronised", (2, 3)))
    write("lyrics3-before-v1.mp3", audio + lyrics3(b"[00:00]La la") + v1("Title"))
    samples.append(("lyrics3-before-v1.mp3", "cleaned", "a Lyrics3v2 block before an ID3v1 trailer",
                    None))
    write("v23-v1-both.mp3", mp3.build(frame("TIT2", "Title", 3), audio, v1("Title")))
    samples.append(("v23-v1-both.mp3", "cleaned", "ID3v2.3 and ID3v1", (2, 3)))
    write("trailer-only-128.mp3", v1("Title"))
    samples.append(("trailer-only-128.mp3", "cleaned", "128 bytes, all of them an ID3v1 trailer",
                    None))

    # Tag regions that end just before, at and just after the first 4096-byte chunk of zeros.
    for region in (4095, 4096, 4097):
        title = frame("TIT2", "Title", 3)
        padding = bytes(region - mp3.HEADER_SIZE - len(title))
        write("region-%d.mp3" % region, mp3.build(title + padding, audio))
        samples.append(("region-%d.mp3" % region, "cleaned",
                        "an ID3v2.3 tag whose region (header and tag) is %d bytes" % region, (2, 3)))

    # A cover far past the 64 KiB after which some decoders give up on bytes that are not audio;
    # the same file as a zeroing of its whole tag region left it, trailer cut; zeros before bytes
    # that are not audio; and a tag of padding alone, as a cleaned file begins.
    tag = ID3()
    tag.add(TIT2(encoding=3, text="Title"))
    tag.add(APIC(encoding=3, mime="image/jpeg", type=3, desc="cover", data=bytes(range(1, 256)) * 1200))
    tag.save(copy("mutagen-v23-300k-cover-v1.mp3"), v1=2, v2_version=3)
    samples.append(("mutagen-v23-300k-cover-v1.mp3", "cleaned",
                    "mutagen: ID3v2.3 with a 300 KiB cover, and ID3v1", (2, 3)))
    covered = read("mutagen-v23-300k-cover-v1.mp3")
    region = mp3.HEADER_SIZE + sum(b << 7 * (3 - i) for i, b in enumerate(covered[6:10]))
    write("zeroed-before.mp3", bytes(region) + covered[region:-mp3.TRAILER_SIZE])
    samples.append(("zeroed-before.mp3", "cleaned",
                    "the 300 KiB cover's tag region zeroed before, then lame's audio", None))
    write("zeros-before-junk.mp3", bytes(1000) + b"\x01" * 50 + audio)
    samples.append(("zeros-before-junk.mp3", "unchanged",
                    "1000 zero bytes before bytes that are not audio", None))
    write("empty-tag.mp3", mp3.header(1000) + bytes(1000) + audio)
    samples.append(("empty-tag.mp3", "unchanged", "an ID3v2.3 tag of padding alone", (2, 3)))

    write("empty.mp3", b"")
    samples.append(("empty.mp3", "unchanged", "no bytes", None))
    write("shorter-than-header.mp3", b"ID3\x04\x00")
    samples.append(("shorter-than-header.mp3", "unchanged", "5 bytes of an ID3v2 header", None))
    short = mp3.build(frame("TIT2", "Title", 3), b"")
    write("shorter-than-trailer.mp3", short + bytes(100 - len(short)))
    samples.append(("shorter-than-trailer.mp3", "unchanged",
                    "100 bytes that begin with an ID3v2.3 tag: shorter than a trailer", None))
    write("size-byte-over-127.mp3", b"ID3\x03\x00\x00\x00\x00\x80\x00" + audio)
    samples.append(("size-byte-over-127.mp3", "unchanged",
                    "an ID3v2 header whose size has a byte over 0x7F", None))
    shutil.rmtree(work)
    return samples


def check(samples):
    for name, expected, what, version in samples:
        data = read(name)
        if version is not None and id3_version(name) != version:
            sys.exit("samples: mutagen does not read %s as ID3v%d.%d (%s)" % ((name,) + version + (what,)))
        if "ID3v1" in what and data[-128:-125] != b"TAG":
            sys.exit("samples: %s has no ID3v1 trailer (%s)" % (name, what))
    if APEv2(os.path.join(OUT, "apev2-before-v1.mp3"))["Title"] != "Title":
        sys.exit("samples: mutagen reads no APEv2 tag in apev2-before-v1.mp3")


def main():
    manifest = os.path.join(OUT, "MANIFEST")
    if os.path.exists(manifest) and open(manifest).readline().strip() == STAMP:
        return
    shutil.rmtree(OUT, ignore_errors=True)
    os.makedirs(OUT)
    samples = make()
    check(samples)
    with open(manifest + ".new", "w") as f:
        f.write(STAMP + "\n")
        for name, expected, what, _ in samples:
            f.write("%s\t%s\t%s\n" % (name, expected, what))
    os.rename(manifest + ".new", manifest)
    print("samples: %d files in %s" % (len(samples), OUT))


main()
