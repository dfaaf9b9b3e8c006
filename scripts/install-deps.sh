#!/usr/bin/env bash
# Installs the Debian packages one of Vardel's jobs needs, only those that are missing.
#   install-deps.sh [TIER]     TIER: run (the default), package, test, bench or players
#   install-deps.sh --list TIER    prints the packages TIER needs, one a line, and installs nothing
#
# run: build and run the Linux program (make build, make run). package: on top of run, the
# Debian package (make deb). test: on top of package, every suite of make test. bench and
# players: on top of test, what make bench and make players need. Each package is named once,
# in the first tier that needs it. --bench and --players stand for bench and players.
#
# An index that will not update is a warning: the install that follows says what is missing.
# 32-bit Wine is installed only where this kernel runs 32-bit programs (runs-32bit.sh).
set -uo pipefail

run_packages=(build-essential cmake ninja-build qt6-base-dev libgl-dev libxkbcommon-dev libx11-dev)
package_packages=(librsvg2-bin dpkg-dev file lintian desktop-file-utils)
test_packages=(
  clang-format clang libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 nsis
  xvfb xdotool x11-apps imagemagick fonts-dejavu-core fonts-wqy-microhei strace
  mpg123 lame sox id3v2 python3-mutagen eyed3
  weston qt6-wayland
  fuse3 libfuse3-dev
)
bench_packages=(time)
players_packages=(ffmpeg gstreamer1.0-tools gstreamer1.0-plugins-good sndfile-programs)
wine32=wine32:i386
update_tries=3 update_pause=5

say() { echo "install-deps: $*" >&2; }

# The lists a tier is made of, in order.
tier_lists() {
  case $1 in
    run) echo run ;;
    package) echo run package ;;
    test) echo run package test ;;
    bench | --bench) echo run package test bench ;;
    players | --players) echo run package test players ;;
    *) return 1 ;;
  esac
}

tier_packages() {
  local list lists
  lists=$(tier_lists "$1") || return 1
  for list in $lists; do
    eval 'printf "%s\n" "${'"$list"'_packages[@]}"'
  done
}

# Whether this kernel runs 32-bit programs: the probe beside this script answers.
here=${BASH_SOURCE[0]%/*}
[ "$here" != "${BASH_SOURCE[0]}" ] || here=.
runs_32bit() { "$BASH" "$here/runs-32bit.sh"; }

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# What apt would fetch for these packages: "COUNT packages, SIZE MB".
download_size() {
  apt-get install -qq --print-uris --no-install-recommends "$@" 2>/dev/null |
    awk '/^'"'"'/ { size += $3; count++ } END { printf "%d packages, %.1f MB", count, size / 1e6 }'
}

# apt-get update, tried again after a pause; an index that still fails is a warning only.
updated=
update() {
  local try
  updated=1
  for ((try = 1; try <= update_tries; try++)); do
    "${as_root[@]}" apt-get update && return 0
    [ $try -lt $update_tries ] && sleep $update_pause
  done
  say "warning: the package index did not update after $update_tries tries; going on with the lists at hand"
}

cannot_install() {  # cannot_install REASON PACKAGE...
  say "$1: install these Debian packages by hand, then run the command again:"
  printf '  %s\n' "${@:2}" >&2
  exit 2
}

if [ "${1:-}" = --list ]; then
  tier_packages "${2:-run}" || { say "no tier '${2:-}'"; exit 2; }
  exit 0
fi
tier=${1:-run}
mapfile -t packages < <(tier_packages "$tier") || true
[ ${#packages[@]} -gt 0 ] || { say "no tier '$tier' (run, package, test, bench, players)"; exit 2; }

command -v apt-get >/dev/null && command -v dpkg-query >/dev/null ||
  cannot_install "not a Debian system (no apt-get)" "${packages[@]}"

want_32bit=
if [ "$tier" != run ] && [ "$tier" != package ]; then
  if runs_32bit; then
    want_32bit=1
  else
    say "32-bit programs cannot run here: the Windows suites run as x86-64"
  fi
fi

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
[ -n "$want_32bit" ] && ! installed "$wine32" && missing_32bit=1

if [ ${#missing[@]} -eq 0 ] && [ -z "${missing_32bit:-}" ]; then
  say "$tier tier: ${#packages[@]} packages, all installed"
  exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || cannot_install "not root, and no sudo" "${missing[@]}"
  as_root=(sudo)
fi

# An architecture just added needs its index; a 32-bit Wine that an earlier index could not
# serve is tried again without one, so that it costs seconds, not three updates, every time.
if [ -n "${missing_32bit:-}" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${as_root[@]}" dpkg --add-architecture i386
  added_i386=1
fi
[ ${#missing[@]} -gt 0 ] || [ -n "${added_i386:-}" ] && update

if [ ${#missing[@]} -gt 0 ]; then
  say "$tier tier: ${#packages[@]} packages, ${#missing[@]} missing; apt fetches $(download_size "${missing[@]}")"
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends \
    "${missing[@]}" || exit
fi
# Its output is shown only when it worked: a failure is told in one line, apt's reason included.
# Tried without an update first; where that fails and this run has not updated, the index may
# be one that could not serve it before (an i386 index caught in a mirror's sync), which would
# otherwise never be fetched again: one update, and one more try.
install_wine32() {
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends \
    "$wine32" 2>&1
}
if [ -n "${missing_32bit:-}" ]; then
  output=$(install_wine32)
  installed_32bit=$?
  if [ $installed_32bit -ne 0 ] && [ -z "$updated" ]; then
    update_tries=1 update
    output=$(install_wine32)
    installed_32bit=$?
  fi
  if [ $installed_32bit -eq 0 ]; then
    echo "$output"
  else
    say "warning: $wine32 could not be installed ($(grep '^E:' <<<"$output" | tail -1)): the Windows suites run as x86-64"
  fi
fi
exit 0
