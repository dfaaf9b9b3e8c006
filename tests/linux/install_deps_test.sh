#!/usr/bin/env bash
# What scripts/install-deps.sh decides, against stand-ins for apt-get, dpkg, dpkg-query, id,
# sudo and sleep that only log, and for the 32-bit probe beside it, whose answer each case
# gives: the real package state is never read or changed, and the machine's kernel never asked.
#   install_deps_test.sh SCRIPT
set -uo pipefail
real=$(realpath "$1")
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
mkdir "$top/scripts"
script=$top/scripts/install-deps.sh
cp "$real" "$script"
printf '#!/bin/bash\necho "probe" >>"$STATE/log"\n[ "$PROBE_ANSWER" = yes ]\n' >"$top/scripts/runs-32bit.sh"
passed=0 failed=0
check() {  # check NAME COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); echo "[ ok ] $1"; else failed=$((failed + 1)); echo "[FAIL] $1"; fi
}

# The tools the script may use besides the stand-ins; nothing else is on its PATH.
tools=$top/tools
mkdir "$tools"
for tool in mktemp chmod rm grep awk cat wc; do ln -s "$(command -v $tool)" "$tools/$tool"; done
stubs=$top/stubs
mkdir "$stubs"
stub() { printf '#!/bin/bash\necho "%s $*" >>"$STATE/log"\n%s\n' "$1" "$2" >"$stubs/$1"; chmod +x "$stubs/$1"; }
stub apt-get '
case " $* " in
  *" update "*) echo >>"$STATE/updates"; [ "$(wc -l <"$STATE/updates")" -gt "${UPDATE_FAILURES:-0}" ] ;;
  *" --print-uris "*) for p in "$@"; do [[ $p == -* || $p == install ]] || echo "'"'"'http://x/$p.deb'"'"' $p.deb 2000000 MD5Sum:0"; done ;;
  *" install "*)
    [[ " $* " == *" wine32:i386 "* && -n "${WINE32_FAILS:-}" ]] && exit 100
    [[ " $* " == *" wine32:i386 "* && -n "${WINE32_AFTER_UPDATE:-}" && ! -s "$STATE/updates" ]] && exit 100
    [ -n "${INSTALL_FAILS:-}" ] && exit 100
    for p in "$@"; do [[ $p == -* || $p == install ]] || echo "$p" >>"$STATE/installed"; done ;;
esac'
stub dpkg-query 'grep -qx "${@: -1}" "$STATE/installed" && printf "install ok installed"'
stub dpkg '[ "$1" = --print-foreign-architectures ] && cat "$STATE/arches"; [ "$1" = --add-architecture ] && echo "$2" >>"$STATE/arches"; true'
stub id 'echo "${FAKE_UID:-0}"'
stub sleep 'true'

STATE= out= code=
# deps [ENV=VALUE...] -- ARGS...: runs the script on a fresh state; sets out and code.
deps() {
  STATE=$(mktemp -d -p "$top")
  touch "$STATE/log" "$STATE/installed" "$STATE/arches" "$STATE/updates"
  local env=()
  while [ "$1" != -- ]; do env+=("$1"); shift; done
  shift
  out=$(env -i PATH="$stubs:$tools" STATE="$STATE" PROBE_ANSWER=no "${env[@]}" /bin/bash "$script" "$@" 2>&1)
  code=$?
}
logged() { grep -qF -- "$1" "$STATE/log"; }
count() { grep -cF -- "$1" "$STATE/log"; }
list() { /bin/bash "$script" --list "$1"; }
said() { grep -qF -- "$1" <<<"$out"; }

# The tiers: each a superset of the one below it, no package twice, the run tier small.
tiers_nest() {
  local t
  for t in run package test bench players; do [ -z "$(list $t | sort | uniq -d)" ] || return 1; done
  [ -z "$(comm -23 <(list run | sort) <(list package | sort))" ] &&
    [ -z "$(comm -23 <(list package | sort) <(list test | sort))" ] &&
    [ -z "$(comm -23 <(list test | sort) <(list bench | sort))" ] &&
    grep -qx qt6-base-dev <<<"$(list run)" && ! grep -qE 'wine|mingw|clang|xvfb|lintian' <<<"$(list run)"
}
check "tiers: each holds the one below it, names no package twice, run has no test tools" tiers_nest

deps PROBE_ANSWER=yes --
installed_run_only() { [ "$(sort "$STATE/installed")" = "$(list run | sort)" ]; }
check "no tier given: the run tier alone, no 32-bit architecture" \
  eval 'installed_run_only && ! logged "--add-architecture" && [ $code -eq 0 ]'
check "the count of packages and the download apt reports are printed" \
  said "run tier: $(list run | wc -l) packages, $(list run | wc -l) missing; apt fetches $(list run | wc -l) packages"

deps UPDATE_FAILURES=9 -- run
check "an index that never updates: three tries, two pauses, one warning, the install goes on" \
  eval '[ $(count "apt-get update") -eq 3 ] && [ $(count "sleep") -eq 2 ] && said "warning: the package index" && installed_run_only && [ $code -eq 0 ]'
deps UPDATE_FAILURES=1 -- run
check "an index that updates at the second try: no warning" \
  eval '[ $(count "apt-get update") -eq 2 ] && ! said warning && [ $code -eq 0 ]'
deps INSTALL_FAILS=1 -- run
check "an install that fails fails the script" test $code -ne 0

deps PROBE_ANSWER=no -- test
check "the probe says no 32-bit programs: one line, no i386 architecture, no wine32" \
  eval 'logged probe && said "32-bit programs cannot run here: the Windows suites run as x86-64" && ! logged "--add-architecture" && ! logged wine32 && [ $code -eq 0 ]'
deps PROBE_ANSWER=yes WINE32_FAILS=1 -- test
check "the probe says 32-bit programs run: i386 added, a wine32 that cannot install is a warning" \
  eval 'logged probe && logged "--add-architecture i386" && said "warning: wine32:i386 could not be installed" && [ $code -eq 0 ]'
only_wine32_missing() {  # only_wine32_missing ENV=VALUE: the test tier and i386 in place
  list test >"$STATE/installed"
  echo i386 >"$STATE/arches"
  : >"$STATE/log"
  : >"$STATE/updates"
  out=$(env -i PATH="$stubs:$tools" STATE="$STATE" PROBE_ANSWER=yes "$1" /bin/bash "$script" test 2>&1)
}
only_wine32_missing WINE32_FAILS=1
check "only wine32 missing: tried without an update, then once after one, then a warning" \
  eval '[ $(count "apt-get update") -eq 1 ] && [ $(count "install -y --no-install-recommends wine32:i386") -eq 2 ] && said "warning: wine32:i386"'
only_wine32_missing WINE32_AFTER_UPDATE=1
check "only wine32 missing, an index that could not serve it: installed after one update" \
  eval 'grep -qx wine32:i386 "$STATE/installed" && ! said warning'

# The probe itself: VARDEL_RUNS_32BIT gives its answer; without it, it answers by running a
# 32-bit program, which this test does not second-guess.
probe=$(dirname "$real")/runs-32bit.sh
check "the probe takes a given answer" \
  eval 'VARDEL_RUNS_32BIT=yes bash "$probe" && ! VARDEL_RUNS_32BIT=no bash "$probe"'
env -u VARDEL_RUNS_32BIT bash "$probe"
answer=$?
check "the probe answers yes or no" test $answer -le 1

deps FAKE_UID=1000 -- test
check "not root and no sudo: exit 2 and the missing packages listed, nothing installed" \
  eval '[ $code -eq 2 ] && said "not root, and no sudo" && said "  qt6-base-dev" && ! logged "install -y"'
stub sudo '"$@"'
deps FAKE_UID=1000 -- run
check "not root, with sudo: installed through it" eval 'logged "sudo apt-get install" && installed_run_only'
rm "$stubs/sudo" "$stubs/apt-get"
deps -- run
check "no apt-get: exit 2 and the tier's packages listed" \
  eval '[ $code -eq 2 ] && said "not a Debian system" && said "  cmake"'

echo "install-deps: $passed passed, $failed failed"
[ $failed -eq 0 ]
