#!/usr/bin/env bash
# End to end: the real programs on copies of the sample files and a generated tree, the Linux
# program on Qt's offscreen platform and under Xvfb, the Windows program under Wine in Xvfb,
# both driven with xdotool. Screenshots of both dialogs go to build/screenshots/.
#   tests/e2e.sh LINUX_PROGRAM WINDOWS_PROGRAM WINE_LOADER SHARED_DIR
set -uo pipefail
linux=$(realpath "$1") windows=$(realpath -m "$2") wine=$3 shared=$4
work=$(mktemp -d) shots=build/screenshots
mkdir -p "$shots"
export WINEDEBUG=-all WINEPREFIX=${WINEPREFIX:-$PWD/build-win/wineprefix} WINELOADER=$wine
passed=0 failed=0
check() {  # check NAME COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); echo "[ ok ] $1"; else failed=$((failed + 1)); echo "[FAIL] $1"; fi
}
fresh() { rm -rf "$work/$1"; cp -r "$shared/corpus/mutagen" "$work/$1"; chmod -R u+w "$work/$1"; }
tree() {  # a generated tree of tagged files, some in nested folders
  python3 - "$work/$1" <<'PY'
import os, sys
root = sys.argv[1]
for i in range(400):
    folder = os.path.join(root, "d%02d" % (i % 20), "e%d" % (i % 3))
    os.makedirs(folder, exist_ok=True)
    tag = b"ID3\x03\x00\x00\x00\x00\x08\x00" + b"\x01" * 1024
    with open(os.path.join(folder, "t%03d.mp3" % i), "wb") as f:
        f.write(tag + bytes([(i + j) % 250 + 1 for j in range(3000)]) + b"TAG" + b"\x01" * 125)
PY
}
wpath() { echo "Z:${1//\//\\}"; }

fresh linux; tree linux/tree
QT_QPA_PLATFORM=offscreen "$linux" "$work/linux" 2>/dev/null
check "linux program cleans the corpus and the tree, exit 0" test $? -eq 0
changed=$(cd "$work/linux" && for f in *.mp3; do cmp -s "$f" "$shared/corpus/mutagen/$f" || echo "$f"; done | wc -l)
check "linux program changed the 11 tagged sample files" test "$changed" -eq 11

fresh args; cp "$work/args/silence-44-s.mp3" "$work/args/x.mp3"
QT_QPA_PLATFORM=offscreen "$linux" "$work/args/x.mp3" "$work/args/id3v22-test.mp3" 2>/dev/null
check "linux program takes each argument as a path" test $? -eq 0
check "both named files cleaned" cmp -s "$work/args/x.mp3" "$work/linux/silence-44-s.mp3"
check "second named file cleaned" cmp -s "$work/args/id3v22-test.mp3" "$work/linux/id3v22-test.mp3"
(cd "$work/args" && QT_QPA_PLATFORM=offscreen "$linux" 2>/dev/null)
check "no argument: one empty path, exit 0" test $? -eq 0
check "no argument changes nothing" cmp -s "$work/args/bad-xing.mp3" "$shared/corpus/mutagen/bad-xing.mp3"
err=$(env -u DISPLAY -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "$linux" "$work/args" 2>&1 >/dev/null)
check "no display: exit 255" test $? -eq 255
check "no display: one line on stderr" test "$(grep -c 'cannot open the dialog' <<<"$err")" -eq 1

# Under Xvfb: Escape, the question on screen, then Return (Yes).
Xvfb :93 -screen 0 800x600x24 >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:93
sleep 1
drive() {  # drive NAME COMMAND...: a screenshot of the dialog mid-run, Escape, Return (Yes)
  "${@:2}" >/dev/null 2>&1 &
  local pid=$! code window
  if window=$(timeout 30 xdotool search --sync --name '^Vardel$' | head -1); then
    sleep 0.1
    xwd -id "$window" -silent | /usr/bin/convert xwd:- "$shots/$1.png" 2>/dev/null
    xdotool windowactivate --sync "$window" key Escape 2>/dev/null || xdotool key Escape
    timeout 10 xdotool search --sync --name '^Question$' >/dev/null
    sleep 0.3
    xdotool key Return
  fi
  timeout 30 tail --pid=$pid -f /dev/null
  wait $pid
  code=$?
  echo "  $1 exit code $code"
  [ $code -eq 0 ] || [ $code -eq 1 ]
}
tree xlinux; tree xlinux/more; tree xlinux/again; tree xlinux/last
check "linux dialog under X: Escape, Yes, ends with 0 or 1" drive linux-dialog "$linux" "$work/xlinux"

if "$wine" --version >/dev/null 2>&1 && [ -f "$windows" ]; then
  fresh win; tree win/tree
  timeout 120 "$wine" "$windows" "$(wpath "$work/win")"
  check "windows program cleans the corpus and the tree, exit 0" test $? -eq 0
  check "windows and linux programs leave the same bytes" diff -r -q "$work/linux" "$work/win"
  tree xwin; tree xwin/more
  check "windows dialog under X: Escape, Yes, ends with 0 or 1" drive windows-dialog "$wine" "$windows" "$(wpath "$work/xwin")"
else
  echo "  (no Windows program or loader $wine here: Windows end-to-end skipped)"
fi
kill $xvfb 2>/dev/null
rm -rf "$work"
echo "e2e: $passed passed, $failed failed"
[ $failed -eq 0 ]
