#!/usr/bin/env bash
# Fuzzes the tag remover for SECONDS, seeded from the sample files. New inputs that reach new
# code are kept in build-fuzz/corpus for the next pass, a failing input in build-fuzz/. The
# whole log goes to build-fuzz/fuzz.log; shown are libFuzzer's final count, or the failure.
#   scripts/fuzz.sh SECONDS SAMPLES [SHARED_SAMPLES]
# SAMPLES is the folder tests/samples.py made; SHARED_SAMPLES seeds it too where it exists.
set -uo pipefail
seconds=$1 seeds=("$2")
if [ -d "${3:-}" ]; then
  seeds+=("$3")
elif [ -n "${3:-}" ]; then
  echo "fuzz: no shared sample files at $3: seeded from the generated samples only"
fi
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz || exit 1
mkdir -p build-fuzz/corpus
# The files the harness writes go to memory where there is some: the same calls, more runs.
tmp=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && tmp=/dev/shm
TMPDIR=$tmp ./build-fuzz/fuzz/tagremoval_fuzz -max_total_time="$seconds" \
  -artifact_prefix=build-fuzz/ build-fuzz/corpus "${seeds[@]}" >build-fuzz/fuzz.log 2>&1
code=$?
if [ $code -ne 0 ]; then
  tail -40 build-fuzz/fuzz.log
  echo "fuzz: failed (exit $code); the input is in build-fuzz/"
  exit 1
fi
grep -E '^Done [0-9]+ runs' build-fuzz/fuzz.log
