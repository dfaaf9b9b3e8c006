#!/bin/sh
# Runs a test program of a Windows build under the Wine loader given, or skips it with the
# reason (exit 77, which the suites count as skipped) where that loader cannot run it here, so
# that a suite that never ran is never reported as passed. The i686 loader needs both 32-bit
# Wine (wine32:i386) and a kernel that runs 32-bit programs.
#   under_wine.sh LOADER PROGRAM [ARGUMENT...]
loader=$1
shift
skip() {
  echo "SKIPPED: $*"
  exit 77
}
[ -x "$loader" ] || skip "no Wine loader $loader here"
if [ "$(basename "$loader")" = wine ]; then
  bash "$(dirname "$0")/../../scripts/runs-32bit.sh" ||
    skip "this kernel does not run 32-bit programs, so $loader cannot"
fi
exec "$loader" "$@"
