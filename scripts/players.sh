#!/usr/bin/env bash
# How players and tools take a file after cleaning: a 4 s MP3 with an ID3v2 tag holding a
# 64 KiB cover, before and after Vardel zeroes the tag. Prints a Markdown table of decoded
# seconds (and ffprobe's duration, and what file(1) says). Needs sox, lame, mutagen, ffmpeg,
# GStreamer (tools, good plugins) and mpg123 (make players installs them).
#   players.sh PROGRAM
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
sox -n -r 44100 -c 2 tone.wav synth 4 sine 440 2>/dev/null
lame --quiet -b 128 tone.wav tagged.mp3
/usr/bin/python3 - <<'PY'
import os
from mutagen.id3 import ID3, APIC, TIT2
tags = ID3()
tags.add(TIT2(encoding=3, text="Tone"))
tags.add(APIC(encoding=3, mime="image/jpeg", type=3, desc="cover", data=os.urandom(64 * 1024)))
tags.save("tagged.mp3", v2_version=3)
PY
cp tagged.mp3 cleaned.mp3
QT_QPA_PLATFORM=offscreen "$program" cleaned.mp3 2>/dev/null
seconds() { [ -s "$1" ] && soxi -D "$1" 2>/dev/null | xargs printf '%.2f s' || echo "nothing"; }
gst() { rm -f g.wav; gst-launch-1.0 -q filesrc location="$1" ! decodebin ! audioconvert ! wavenc ! filesink location=g.wav >/dev/null 2>&1 || true; seconds g.wav; }
ffm() { rm -f f.wav; ffmpeg -v quiet -i "$1" f.wav || true; seconds f.wav; }
probe() { ffprobe -v quiet -show_entries format=duration -of csv=p=0 "$1" | xargs printf '%.2f s'; }
mpg() { rm -f m.wav; mpg123 -q "${@:2}" -w m.wav "$1" 2>/dev/null || true; seconds m.wav; }
kind() { file -b "$1" | cut -d, -f1; }
echo "| | tagged | cleaned |"
echo "|---|---|---|"
echo "| GStreamer $(gst-launch-1.0 --version | sed -n 's/.*GStreamer //p' | head -1): decoded | $(gst tagged.mp3) | $(gst cleaned.mp3) |"
echo "| ffmpeg $(ffmpeg -version | awk 'NR==1{print $3}'): decoded | $(ffm tagged.mp3) | $(ffm cleaned.mp3) |"
echo "| ffprobe: duration | $(probe tagged.mp3) | $(probe cleaned.mp3) |"
echo "| mpg123 $(mpg123 --version | awk '{print $2}'): decoded | $(mpg tagged.mp3) | $(mpg cleaned.mp3) |"
echo "| mpg123 --resync-limit -1: decoded | $(mpg tagged.mp3 --resync-limit -1) | $(mpg cleaned.mp3 --resync-limit -1) |"
echo "| file $(file --version | head -1 | cut -d- -f2) | $(kind tagged.mp3) | $(kind cleaned.mp3) |"
