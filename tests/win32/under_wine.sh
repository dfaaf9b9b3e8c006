#!/bin/sh
# Runs a Windows build's test program under the Wine loader given, or skips it (77, counted as
# skipped) with the reason where that loader cannot run it here: no suite that never ran passes.
# The i686 loader needs 32-bit Wine and a kernel that runs 32-bit programs.
#   under_wine.sh LOADER PROGRAM [ARGUMENT...]
loader=$1
shift
why=
[ -x "$loader" ] || why="no Wine loader $loader here"
[ -z "$why" ] && [ "${loader##*/}" = wine ] && ! bash "${0%/*}/../../scripts/runs-32bit.sh" &&
  why="this kernel does not run 32-bit programs, so $loader cannot"
[ -z "$why" ] || { echo "SKIPPED: $why"; exit 77; }
exec "$loader" "$@"
