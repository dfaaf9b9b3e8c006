#!/usr/bin/env bash
# The layers, as the build is meant to keep them. The program's code (common, tagremoval,
# filelist, worker, ui) includes of the platforms only what their include/ folders hold, and
# the file list nothing of the run's state; vardel_core exports the program's folders alone
# (and, through the platform's library, its include/).
# The Linux user core includes no driver's header and names no driver or toolkit, includes
# none of the program's headers and of the kernel side only kernel/interface; a driver includes
# none of the core's own headers; the core's library needs no toolkit symbol; the program links
# no toolkit, and a run that draws nothing loads none, even where a display is named.
#   layers_test.sh SRC_DIR CORE_LIBRARY PROGRAM VARDEL_CORE_INCLUDE_DIRS (joined by ':')
set -uo pipefail
src=$1 core=$2 program=$3 core_includes=$4
layer=$src/platform/linux
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
names() { for f in "$@"; do basename "$f"; done | sort -u | sed 's/\./\\./g' | paste -sd'|'; }
headers_of_drivers=$(names "${driver_files[@]}" | tr '|' '\n' | grep '\.h$' | paste -sd'|')
program_folders=(common tagremoval filelist worker ui)
program_files=()
for folder in "${program_folders[@]}"; do program_files+=("$src/$folder"/*.cpp "$src/$folder"/*.h); done
check "the core includes no driver's header" \
  none "#include [<\"]((Qt|X11|xcb|wayland)[^>\"]*|($headers_of_drivers))[>\"]" "${core_files[@]}"
check "the core names no driver and no toolkit" \
  none '\b(QtDriver|TerminalDriver|NoDialogDriver|Qt|QApplication|QMessageBox|X11|XKB|Xlib|Wayland|terminal|tty)\b' \
  "${core_files[@]}"
check "no driver includes the core's own headers" \
  none '#include "(records|templates|waiting|hooks|objects)\.h"' "${driver_files[@]}"
check "the core includes of the kernel side only kernel/interface" \
  none "#include \"([^\"]*/)?($(names "$layer"/kernel/*.h))\"" "${core_files[@]}"
check "the core includes none of the program's headers" \
  none "#include \"([^\"]*/)?($(names "${program_files[@]}"))\"" "${core_files[@]}"
stray=$(grep -HnE '#include "' "${program_files[@]}" |
  grep -vE "#include \"(($(IFS='|'; echo "${program_folders[*]}"))/[A-Za-z0-9_]+\.h|($(names "$src"/platform/*/include/*.h)))\"")
check "the program includes no private platform header" test -z "$stray"
[ -z "$stray" ] || echo "$stray"
check "the file list includes nothing of the run's state" none 'run_state\.h' "$src"/filelist/*
foreign=$(IFS=:; for dir in $core_includes; do
  case $dir in "$src"/platform/*/include) ;; *) ls -A "$dir" 2>&1 ;; esac
done | grep -vxE "$(IFS='|'; echo "${program_folders[*]}")")
check "vardel_core exports the program's folders and a platform's include/ alone" test -z "$foreign"
[ -z "$foreign" ] || echo "$foreign"
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
