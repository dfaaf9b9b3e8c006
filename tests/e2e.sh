#!/usr/bin/env bash
# End to end: the real programs on copies of the sample files and a generated tree, the Linux
# program on Qt's offscreen platform and under Xvfb, the Windows program under Wine in Xvfb,
# both driven with xdotool. Screenshots of both dialogs go to build/screenshots/.
#   tests/e2e.sh LINUX_PROGRAM WINDOWS_PROGRAM WINE_LOADER SAMPLES [SHARED_SAMPLES]
# SAMPLES is the folder tests/samples.py made; SHARED_SAMPLES, where it exists, is copied in too.
set -uo pipefail
linux=$(realpath "$1") windows=$(realpath -m "$2") wine=$3 samples=$(realpath "$4") shared=${5:-}
work=$(mktemp -d) shots=build/screenshots
mkdir -p "$shots"
export WINEDEBUG=-all WINEPREFIX=${WINEPREFIX:-$PWD/build-win/wineprefix} WINELOADER=$wine
passed=0 failed=0
check() {  # check NAME COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); echo "[ ok ] $1"; else failed=$((failed + 1)); echo "[FAIL] $1"; fi
}
if [ -n "$shared" ] && [ ! -d "$shared" ]; then
  echo "  (no shared sample files at $shared: the generated samples only)"
  shared=
fi
fresh() {  # fresh DIR: a copy of the samples, and of the shared ones in shared/ where at hand
  rm -rf "${work:?}/$1"
  cp -r "$samples" "$work/$1"
  [ -z "$shared" ] || cp -r "$shared" "$work/$1/shared"
  chmod -R u+w "$work/$1"
}
listed() { awk -F'\t' -v want="$1" '$2 == want { print $1 }' "$samples/MANIFEST"; }
# Whether DIR's samples changed exactly where MANIFEST says "cleaned".
cleaned_as_listed() {
  local f
  for f in $(listed cleaned); do cmp -s "$work/$1/$f" "$samples/$f" && return 1; done
  for f in $(listed unchanged); do cmp -s "$work/$1/$f" "$samples/$f" || return 1; done
  return 0
}
# Whether DIR's cleaned files with a 300 KiB cover, tagged and zeroed before, play in mpg123 at
# its defaults, which gives up after 64 KiB that are not audio, as the untagged audio does.
plays_at_defaults() {
  local f audio
  audio=$(mpg123 -q -s "$samples/no-tags.mp3" 2>/dev/null | md5sum)
  [ "$audio" != "$(md5sum </dev/null)" ] || return 1  # no audio decoded at all
  for f in mutagen-v23-300k-cover-v1.mp3 zeroed-before.mp3; do
    [ "$(mpg123 -q -s "$work/$1/$f" 2>/dev/null | md5sum)" = "$audio" ] || return 1
  done
}
# tree, names_tree, states, exactly_cleaned and wpath, all under $work.
source "$(dirname "$0")/e2e_trees.sh"

fresh linux; tree linux/tree
QT_QPA_PLATFORM=offscreen "$linux" "$work/linux" 2>/dev/null
check "linux program cleans the corpus and the tree, exit 0" test $? -eq 0
check "linux program changed the samples listed as cleaned, and no other" cleaned_as_listed linux
check "linux program: files with a large cover play at mpg123's defaults" plays_at_defaults linux

fresh args; cp "$work/args/v22.mp3" "$work/args/x.mp3"
QT_QPA_PLATFORM=offscreen "$linux" "$work/args/x.mp3" "$work/args/eyed3-v24-v1.mp3" 2>/dev/null
check "linux program takes each argument as a path" test $? -eq 0
check "first named file cleaned" cmp -s "$work/args/x.mp3" "$work/linux/v22.mp3"
check "second named file cleaned" cmp -s "$work/args/eyed3-v24-v1.mp3" "$work/linux/eyed3-v24-v1.mp3"
fresh args
(cd "$work/args" && QT_QPA_PLATFORM=offscreen "$linux" 2>/dev/null)
check "no argument: one empty path, exit 0" test $? -eq 0
check "no argument changes nothing" diff -r -q -x shared "$work/args" "$samples"
err=$(env -u DISPLAY -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY setsid -w "$linux" "$work/args" 2>&1 >/dev/null </dev/null)
check "no display and no terminal: exit 255" test $? -eq 255
check "no display and no terminal: one line on stderr" test "$(grep -c 'cannot open the dialog' <<<"$err")" -eq 1
check "no display and no terminal: the line names --no-dialog" grep -q -- '--no-dialog runs without one' <<<"$err"
# --no-dialog, as a service or cron job would run it: every file cleaned byte-exactly, exit 0;
# with no thread to be had, the error on stderr and exit 1.
fresh nodialog
env -u DISPLAY -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY setsid -w "$linux" --no-dialog "$work/nodialog" </dev/null >/dev/null 2>&1
check "--no-dialog with no display and no terminal: exit 0" test $? -eq 0
check "--no-dialog: the samples as an offscreen run leaves them" diff -r -q -x tree "$work/nodialog" "$work/linux"
# Started with its standard descriptors closed (as a daemon may start it), or with standard
# error a pipe whose reader has gone (as into head): no file takes their place, nothing ends.
fresh closed && env -u DISPLAY setsid -w "$linux" --no-dialog "$work/closed" 0<&- 1>&- 2>&-
code=$? && check "--no-dialog, descriptors 0 to 2 closed: exit 0, the samples as with them" \
  eval 'test $code -eq 0 && diff -r -q -x tree "$work/closed" "$work/linux"'
fresh piped && python3 -c 'import os, subprocess, sys; r, w = os.pipe(); os.close(r)
sys.exit(subprocess.call(sys.argv[1:], stderr=w))' "$linux" --no-dialog "$work/piped/missing.mp3" "$work/piped"
code=$? && check "--no-dialog, standard error a closed pipe: exit 2, the samples as with it" \
  eval 'test $code -eq 2 && diff -r -q -x tree "$work/piped" "$work/linux"'
if [ "$(id -u)" -eq 0 ]; then
  err=$(env -u DISPLAY setsid -w prlimit --nproc=1:1 setpriv --reuid=nobody --regid=nogroup \
    --clear-groups "$linux" --no-dialog /nonexistent 2>&1 </dev/null)
  code=$?
  check "--no-dialog, no worker: exit 1 and the error on stderr" \
    eval '[ $code -eq 1 ] && [ "$err" = "vardel: Error creating worker thread!" ]'
fi

# Too few descriptors: with none for the user side the run cannot start and says why (1); with
# none for a folder or a file, each is named with the system's reason and the run ends with 2.
limited() {  # limited N: --no-dialog on a fresh copy of the samples with N descriptors
  fresh fds
  # The redirections come before the limit: the shell needs descriptors of its own for them.
  (ulimit -n "$1" && exec "$linux" --no-dialog "$work/fds") </dev/null >/dev/null 2>"$work/fds.err"
}
limited 4
code=$?
check "--no-dialog, 4 descriptors: exit 1 and why on stderr" \
  eval '[ $code -eq 1 ] && grep -q "cannot start: .*Too many open files" "$work/fds.err"'
limited 5
code=$?
check "--no-dialog, 5 descriptors: the folder named on stderr, exit 2" \
  eval '[ $code -eq 2 ] && grep -q "^vardel: $work/fds: could not be read: Too many open files" "$work/fds.err"'

# A termination signal mid-run is the user's confirmed stop: the file at hand is finished, the
# run ends by itself with 0, or with 1 after the grace period, and no file is left half-done.
# The long runs share one tree of 200,000 files (about four seconds of the Linux program under
# X here, long enough for a user's keys): each stopped run cleans a part of it, and the last
# one, under X, cleans the rest.
signalled() {  # signalled SIGNAL DIR [VAR=VALUE...]: offscreen unless the variables say else
  local how=("${@:3}")
  [ ${#how[@]} -gt 0 ] || how=(QT_QPA_PLATFORM=offscreen)
  env "${how[@]}" "$linux" "$work/$2" 2>/dev/null </dev/null &
  local pid=$! counts code
  sleep 0.5
  kill -"$1" $pid
  timeout 10 tail --pid=$pid -f /dev/null
  wait $pid
  code=$?
  read -ra counts <<<"$(states "$2")"
  echo "  exit code $code; cleaned ${counts[0]}, untouched ${counts[1]}, other ${counts[2]}"
  [ $code -le 1 ] && [ "${counts[1]}" -gt 0 ] && [ "${counts[2]}" -eq 0 ]
}
tree long 200000
for signal in TERM HUP INT; do
  check "linux program: SIG$signal mid-run stops it, nothing half-done" signalled $signal long
done

# Wayland: a headless compositor of our own and no DISPLAY. The runs have no terminal either
# (setsid), so the dialog can only have opened on Wayland.
wayland_run() {  # wayland_run ARGS...
  env -u DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$work/xdg" WAYLAND_DISPLAY=vardel-e2e \
    setsid "$linux" "$@"
}
mkdir -m 700 "$work/xdg"
if command -v weston >/dev/null; then
  XDG_RUNTIME_DIR="$work/xdg" weston --backend=headless-backend.so --socket=vardel-e2e \
    --idle-time=0 >"$work/weston.log" 2>&1 &
  weston=$!
  for i in $(seq 50); do [ -S "$work/xdg/vardel-e2e" ] && break; sleep 0.1; done
fi
if [ -S "$work/xdg/vardel-e2e" ]; then
  fresh wayland
  wayland_run "$work/wayland" </dev/null >/dev/null 2>&1
  check "linux dialog on Wayland: exit 0" test $? -eq 0
  check "linux dialog on Wayland: the samples as an offscreen run leaves them" \
    diff -r -q -x tree "$work/wayland" "$work/linux"
  check "linux dialog on Wayland: SIGTERM mid-run stops it, nothing half-done" \
    signalled TERM long -u DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$work/xdg" \
    WAYLAND_DISPLAY=vardel-e2e setsid
  kill "$weston"
else
  echo "  (no Wayland compositor here (weston): the Wayland runs skipped)"
fi

# Under Xvfb, as a user would: Escape opens the question. With the question open, Shift held
# makes the worker ask "Confirm" for its next file; Yes to the question while the worker waits
# on that box ends the run with 1. Answered No, the run goes on and ends by itself with 0.
# Each server on a display number it finds free itself, so that two suites never share one, and
# ended however the suite ends. No reset: a reset here can end the server.
servers=()
trap 'kill "${servers[@]}" 2>/dev/null' EXIT
xserver() {  # xserver: starts an Xvfb; sets server (its process) and display, once it answers
  local said="$work/display.$RANDOM"
  mkfifo "$said"
  Xvfb -displayfd 3 -screen 0 800x600x24 -noreset 3>"$said" >/dev/null 2>&1 &
  server=$!
  servers+=("$server")
  read -r -t 20 display <"$said"
  display=":$display"
  for i in $(seq 100); do DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
}
xserver
xvfb=$server
export DISPLAY=$display
waitfor() {  # waitfor TITLE: the first mapped window with this title, within 20 s. One client
  # that waits, not one per poll: under load Xvfb drops some of many short-lived connections,
  # the program's among them. Mapped, because Wine names a window before it maps it.
  local id
  id=$(timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
  [ -n "$id" ] && echo "$id"
}
answer() {  # answer WINDOW KEY: brings the box to the top, clicks into it, presses the key
  xdotool windowraise "$1" mousemove --window "$1" 5 40 click 1
  sleep 0.2
  xdotool key "$2"
}
escape() { timeout 10 xdotool windowfocus --sync "$1" key Escape; }
cancel_button() {  # a click in the middle of the button, placed as the template places it
  local width height
  eval "$(xdotool getwindowgeometry --shell "$1")"
  width=$WIDTH height=$HEIGHT
  xdotool mousemove --window "$1" $((width * 290 / 322)) $((height * 67 / 81)) click 1
}
close_command() { timeout 10 xdotool windowfocus --sync "$1" key alt+F4; }
ask() {  # ask SHOT [HOW] COMMAND...: starts the program (pid), a screenshot mid-run unless SHOT
  # is -, asks to stop the way HOW says (Escape unless given); the question's window in question
  local how=escape
  case $2 in escape | cancel_button | close_command) how=$2; set -- "$1" "${@:3}" ;; esac
  "${@:2}" >/dev/null 2>&1 &
  pid=$!
  local dialog
  dialog=$(waitfor Vardel) || return 1
  if [ "$1" != - ]; then  # converted once the run is over, to keep this step short
    sleep 0.5
    xwd -id "$dialog" -silent >"$work/$1.xwd"
  fi
  $how "$dialog"
  question=$(waitfor Question) && return 0
  kill -0 $pid 2>/dev/null && echo "  no question within 20 s" || echo "  the run ended before the question"
  return 1
}
ended() {  # ended CODE: the program ends within 60 s with this exit code
  timeout 60 tail --pid=$pid -f /dev/null
  wait $pid
  local code=$?
  echo "  exit code $code"
  [ $code -eq "$1" ]
}
answered_no() {  # answered_no DIR SHOT [HOW] COMMAND...
  ask "${@:2}" || { kill $pid 2>/dev/null; return 1; }
  answer "$question" n
  ended 0 && [ "$(states "$1")" = "$(find "$work/$1" -type f | wc -l) 0 0" ]
}
stopped_at_confirm() {  # stopped_at_confirm DIR COMMAND...
  ask - "${@:2}" || { kill $pid 2>/dev/null; return 1; }
  # The server lets go of a key pressed through XTEST when the pressing client disconnects, so
  # one client holds Shift until the worker has asked.
  xdotool keydown shift sleep 60 &
  local holder=$!
  waitfor Confirm >/dev/null
  kill $holder
  xdotool keyup shift
  answer "$question" Return
  ended 1 || return 1
  local counts
  read -ra counts <<<"$(states "$1")"
  echo "  cleaned ${counts[0]}, untouched ${counts[1]}, other ${counts[2]}"
  [ "${counts[1]}" -gt 0 ] && [ "${counts[2]}" -eq 0 ]
}
check "linux dialog under X: Escape, Shift, Yes while Confirm is open, ends with 1" \
  stopped_at_confirm long "$linux" "$work/long"
check "linux dialog under X: Escape, No, the run ends with 0, all cleaned" \
  answered_no long linux-dialog "$linux" "$work/long"

# The X server ending mid-run is a stop: the file at hand finished, nothing half-done, the run
# ends by itself with 0 or 1. A server of its own, so that the others' windows are not lost.
display_lost() {
  local server display code counts
  xserver
  DISPLAY=$display "$linux" "$work/xlost" >/dev/null 2>&1 &
  local pid=$!
  DISPLAY=$display waitfor Vardel >/dev/null
  kill -9 $server
  timeout 10 tail --pid=$pid -f /dev/null
  wait $pid
  code=$?
  read -ra counts <<<"$(states xlost)"
  echo "  exit code $code; cleaned ${counts[0]}, untouched ${counts[1]}, other ${counts[2]}"
  [ $code -le 1 ] && [ "${counts[1]}" -gt 0 ] && [ "${counts[2]}" -eq 0 ]
}
tree xlost 60000  # about a second under X: killed long before its end
check "linux dialog under X: the X server killed mid-run ends the run, nothing half-done" display_lost

if "$wine" --version >/dev/null 2>&1 && [ -f "$windows" ]; then
  fresh win; tree win/tree
  timeout 120 "$wine" "$windows" "$(wpath "$work/win")"
  check "windows program cleans the corpus and the tree, exit 0" test $? -eq 0
  check "windows and linux programs leave the same bytes" diff -r -q "$work/linux" "$work/win"
  check "windows program: files with a large cover play at mpg123's defaults" plays_at_defaults win
  tree xwin 2000
  check "windows dialog under X: Escape, No, the run ends with 0, all cleaned" \
    answered_no xwin windows-dialog "$wine" "$windows" "$(wpath "$work/xwin")"
  tree xwin2 2000
  check "windows dialog under X: Escape, Shift, Yes while Confirm is open, ends with 1" \
    stopped_at_confirm xwin2 "$wine" "$windows" "$(wpath "$work/xwin2")"
  tree xwin3 2000
  check "windows dialog under X: the Cancel button, No, the run ends with 0, all cleaned" \
    answered_no xwin3 - cancel_button "$wine" "$windows" "$(wpath "$work/xwin3")"
  tree xwin4 2000
  check "windows dialog under X: the close command, No, the run ends with 0, all cleaned" \
    answered_no xwin4 - close_command "$wine" "$windows" "$(wpath "$work/xwin4")"
  # With a Western system code page, names the manifest's UTF-8 lets the program spell; the
  # dialog's font linked to a CJK one, as Windows links its own.
  export LC_ALL=C.UTF-8
  check "wine's system code page is cp1252" eval \
    '"$wine" reg query "HKLM\\System\\CurrentControlSet\\Control\\Nls\\CodePage" /v ACP | grep -q 1252'
  for font in "MS Sans Serif" "Microsoft Sans Serif" Tahoma; do
    "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$font" \
      /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
  done
  names_tree wnames
  timeout 60 "$wine" "$windows" "$(wpath "$work/wnames")"
  check "windows program, names in many scripts: exit 0" test $? -eq 0
  check "windows program, names in many scripts: every file cleaned byte-exactly" exactly_cleaned wnames
  one="$work/wnames/Кириллица/坂本龍一 - Merry Christmas.mp3"
  names_tree wone
  timeout 60 "$wine" "$windows" "$(wpath "${one/wnames/wone}")"
  check "windows program, such a file as the argument: it alone cleaned, exit 0" \
    test $? -eq 0 -a "$(states wone)" = "1 $(($(find "$work/wone" -type f | wc -l) - 1)) 0"
  tree "wname/音楽 坂本龍一 🎵" 2000
  names_tree "wname/音楽 坂本龍一 🎵/Кино"
  check "windows dialog, such a folder as the argument: shown, Escape, No, all cleaned" \
    answered_no wname windows-names "$wine" "$windows" "$(wpath "$work/wname/音楽 坂本龍一 🎵")"
  unset LC_ALL
  # Two arguments, each quoted by Wine for its blank: the one line Send To makes of two items.
  mkdir -p "$work/wsend/Album one" "$work/wsend/Album two"
  cp "$samples/v22.mp3" "$work/wsend/Album one" && cp "$samples/eyed3-v24-v1.mp3" "$work/wsend/Album two"
  chmod -R u+w "$work/wsend"
  timeout 60 "$wine" "$windows" "$(wpath "$work/wsend/Album one")" "$(wpath "$work/wsend/Album two")"
  check "windows program, two folders with blanks sent at once: exit 0" test $? -eq 0
  check "windows program, two folders with blanks sent at once: both cleaned" eval \
    'cmp -s "$work/wsend/Album one/v22.mp3" "$work/linux/v22.mp3" &&
     cmp -s "$work/wsend/Album two/eyed3-v24-v1.mp3" "$work/linux/eyed3-v24-v1.mp3"'
  fresh wargs
  (cd "$work/wargs" && timeout 60 "$wine" "$windows")
  check "windows program, no argument: exit 0" test $? -eq 0
  check "windows program, no argument changes nothing" diff -r -q -x shared "$work/wargs" "$samples"
  # A test build whose worker holds the C runtime's heap lock when it is ended forcibly.
  fresh heldheap
  timeout 15 "$wine" "$(dirname "$windows")/tests/vardel_heldheap.exe" "$(wpath "$work/heldheap")"
  check "windows program ended forcibly inside the heap still exits with 1" test $? -eq 1
  check "windows installer: silent install, Send To, a folder cleaned, silent uninstall" \
    bash tests/win32/installer.sh "$wine" "$(dirname "$windows")/vardel-setup.exe" "$samples"
else
  echo "  (no Windows program or loader $wine here: Windows end-to-end skipped)"
fi
kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null
for shot in "$work"/*.xwd; do
  [ -f "$shot" ] && /usr/bin/convert "xwd:$shot" "$shots/$(basename "$shot" .xwd).png" 2>/dev/null
done
rm -rf "$work"
echo "e2e: $passed passed, $failed failed"
[ $failed -eq 0 ]
