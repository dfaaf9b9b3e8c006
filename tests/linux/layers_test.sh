#!/usr/bin/env bash
# The layers of the Linux user side, as the build is meant to keep them: the core includes no
# driver's header and names no driver or toolkit; a driver includes none of the core's own
# headers; the core's library needs no toolkit symbol; the program links no toolkit, and a run
# that draws nothing loads none, even where a display is named.
#   layers_test.sh LINUX_LAYER_DIR CORE_LIBRARY PROGRAM
set -uo pipefail
layer=$1 core=$2 program=$3
passed=0 failed=0
check() {  # check NAME COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); echo "[ ok ] $1"; else failed=$((failed + 1)); echo "[FAIL] $1"; fi
}
none() { ! grep -nE "$1" "${@:2}"; }  # none PATTERN FILE...: prints what it finds

core_files=("$layer"/user/*.cpp "$layer"/user/*.h "$layer"/user/interface/*.h)
driver_files=()
for folder in "$layer"/*/; do
  case $(basename "$folder") in user | kernel | include | entry) ;; *) driver_files+=("$folder"*.cpp "$folder"*.h) ;; esac
done
headers_of_drivers=$(for f in "${driver_files[@]}"; do basename "$f"; done | grep '\.h$' | paste -sd'|')
check "the core includes no driver's header" \
  none "#include [<\"]((Qt|X11|xcb|wayland)[^>\"]*|($headers_of_drivers))[>\"]" "${core_files[@]}"
check "the core names no driver and no toolkit" \
  none '\b(QtDriver|TerminalDriver|NoDialogDriver|Qt|QApplication|QMessageBox|X11|XKB|Xlib|Wayland|terminal|tty)\b' \
  "${core_files[@]}"
check "no driver includes the core's own headers" \
  none '#include "(records|templates|waiting|hooks|objects)\.h"' "${driver_files[@]}"
toolkit=$(nm -C --undefined-only "$core" 2>/dev/null | grep -E ' (Q[A-Z]|q[A-Z_]|qt_|X[A-Z]|xcb_|wl_)' | head -3)
check "the core's library needs no toolkit symbol" test -z "$toolkit"
[ -z "$toolkit" ] || echo "$toolkit"
toolkits='lib(Qt6|X11|xcb|wayland)[^ ]*'
linked=$(readelf -d "$program" | grep -oE "NEEDED.*\[$toolkits\]")
check "the program links no toolkit" test -z "$linked"
[ -z "$linked" ] || echo "$linked"
empty=$(mktemp -d)
loaded() {  # loaded ARG...: the toolkit libraries the program loads with a display named
  DISPLAY=:0 QT_QPA_PLATFORM=offscreen LD_DEBUG=files "$program" "$@" 2>&1 >/dev/null </dev/null |
    grep -oE "file=$toolkits" | sort -u
}
loads=$(loaded --version; loaded --help; loaded --no-dialog "$empty")
rmdir "$empty"
check "--version, --help and --no-dialog load no toolkit" test -z "$loads"
[ -z "$loads" ] || echo "$loads"
echo "layers: $passed passed, $failed failed"
[ $failed -eq 0 ]
