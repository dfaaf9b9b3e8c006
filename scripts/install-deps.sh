#!/usr/bin/env bash
# Installs the Debian packages Vardel needs to build and test, only when one is missing.
#   install-deps.sh [--bench | --players]: with --bench, also what the benchmark table needs
#   (the audio encoder for its corpora, the peer taggers it times, GNU time for peak memory);
#   with --players, what scripts/players.sh needs (make players).
set -euo pipefail

packages=(
  build-essential cmake ninja-build clang-format
  g++-mingw-w64-i686 wine wine32:i386
  qt6-base-dev libgl-dev libxkbcommon-dev libx11-dev
  wine64 g++-mingw-w64-x86-64 fonts-dejavu-core
  mpg123 id3v2 python3-mutagen strace xvfb xdotool x11-apps imagemagick
  clang libclang-rt-14-dev
  librsvg2-bin desktop-file-utils lintian dpkg-dev file nsis
)
if [ "${1:-}" = --bench ]; then
  packages+=(sox lame eyed3 time)
fi
if [ "${1:-}" = --players ]; then
  packages+=(sox lame ffmpeg gstreamer1.0-tools gstreamer1.0-plugins-good)
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  added_arch=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ] || [ -n "${added_arch:-}" ]; then
  "${sudo_cmd[@]}" apt-get update
fi
if [ "${#missing[@]}" -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
