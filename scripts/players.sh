#!/usr/bin/env bash
# How players and tools take a file after cleaning: a 4 s MP3 whose ID3v2.3 tag holds a title
# and a cover of 64 KiB or 300 KiB, with an ID3v1 trailer; a copy whose tag region, header
# included, was erased with zeros (as Vardel left files before it kept the header, and as other
# tools leave them); the tagged file cleaned by Vardel; and the erased copy cleaned. Prints a
# Markdown table of decoded seconds (ffprobe's duration, what file(1) says).
# Needs sox, lame, mutagen, ffmpeg, GStreamer (tools, good plugins), mpg123 and libsndfile's
# tools (make players installs them).
#   players.sh PROGRAM
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
sox -n -r 44100 -c 2 tone.wav synth 4 sine 440 2>/dev/null
lame --quiet -b 128 tone.wav tone.mp3
covers=(64 300)
for kib in "${covers[@]}"; do
  cp tone.mp3 "tagged-$kib.mp3"
  /usr/bin/python3 - "tagged-$kib.mp3" "$kib" <<'PY'
import os, sys
from mutagen.id3 import ID3, APIC, TIT2
tags = ID3()
tags.add(TIT2(encoding=3, text="Tone"))
tags.add(APIC(encoding=3, mime="image/jpeg", type=3, desc="cover", data=os.urandom(int(sys.argv[2]) * 1024)))
tags.save(sys.argv[1], v1=2, v2_version=3)
PY
  cp "tagged-$kib.mp3" "cleaned-$kib.mp3"
  # Erased: the header and the tag behind it all zeros, the trailer cut.
  /usr/bin/python3 - "tagged-$kib.mp3" "erased-cleaned-$kib.mp3" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
region = 10 + sum(b << 7 * (3 - i) for i, b in enumerate(data[6:10]))
open(sys.argv[2], "wb").write(bytes(region) + data[region:-128])
PY
  cp "erased-cleaned-$kib.mp3" "erased-$kib.mp3"
  "$program" --no-dialog "cleaned-$kib.mp3" "erased-cleaned-$kib.mp3"
done
seconds() { [ -s "$1" ] && soxi -D "$1" 2>/dev/null | xargs printf '%.2f s' || echo "nothing"; }
gst() { rm -f g.wav; gst-launch-1.0 -q filesrc location="$1" ! decodebin ! audioconvert ! wavenc ! filesink location=g.wav >/dev/null 2>&1 || true; seconds g.wav; }
gst_pipe() { rm -f g.wav; gst-launch-1.0 -q fdsrc ! decodebin ! audioconvert ! wavenc ! filesink location=g.wav <"$1" >/dev/null 2>&1 || true; seconds g.wav; }
ffm() { rm -f f.wav; ffmpeg -v quiet -i "$1" f.wav || true; seconds f.wav; }
probe() { ffprobe -v quiet -show_entries format=duration -of csv=p=0 "$1" | xargs printf '%.2f s'; }
mpg() { rm -f m.wav; mpg123 -q -w m.wav "$1" 2>/dev/null || true; seconds m.wav; }
snd() { rm -f s.wav; sndfile-convert -pcm16 "$1" s.wav >/dev/null 2>&1 || true; seconds s.wav; }
kind() { file -b "$1" | cut -d, -f1; }
length() { /usr/bin/python3 -c 'import sys, mutagen.mp3; print("%.2f s" % mutagen.mp3.MP3(sys.argv[1]).info.length)' "$1" 2>/dev/null || echo "nothing"; }
row() {  # row NAME COMMAND: the command on each file, one cell each
  local cells="| $1" kib file
  for kib in "${covers[@]}"; do
    for file in tagged erased cleaned erased-cleaned; do cells+=" | $("$2" "$file-$kib.mp3")"; done
  done
  echo "$cells |"
}
echo "| | 64 KiB cover: tagged | erased | cleaned | erased, cleaned | 300 KiB cover: tagged | erased | cleaned | erased, cleaned |"
echo "|---|---|---|---|---|---|---|---|---|"
row "GStreamer $(gst-launch-1.0 --version | sed -n 's/.*GStreamer //p' | head -1), from the file" gst
row "GStreamer, from a pipe" gst_pipe
row "ffmpeg $(ffmpeg -version | awk 'NR==1{print $3}'): decoded" ffm
row "ffprobe: duration" probe
row "mpg123 $(mpg123 --version | awk '{print $2}'), defaults: decoded" mpg
row "libsndfile $(dpkg-query -W -f '${Version}' libsndfile1:$(dpkg --print-architecture) 2>/dev/null | cut -d- -f1): decoded" snd
row "mutagen $(/usr/bin/python3 -c 'import mutagen; print(mutagen.version_string)'): length" length
row "file $(file --version | head -1 | cut -d- -f2)" kind
