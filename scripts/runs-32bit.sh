#!/usr/bin/env bash
# Whether this kernel runs 32-bit x86 programs, found by running one: a 96-byte ELF that only
# exits with 42. /proc does not tell: a kernel may be built for them and still refuse them
# ("Exec format error"). Exits 0 when it runs them, 1 when it does not; VARDEL_RUNS_32BIT=yes or
# no gives the answer instead. The one answer the install script, the Makefile and the suites use.
#   runs-32bit.sh
set -u
if [ -n "${VARDEL_RUNS_32BIT:-}" ]; then
  [ "$VARDEL_RUNS_32BIT" = yes ]
  exit
fi
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
printf '%b' '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
  '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
  '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' \
  '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
  '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
  '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$dir/probe"
chmod +x "$dir/probe"
"$dir/probe" 2>/dev/null
[ $? -eq 42 ]
