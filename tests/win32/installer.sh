#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh prefix: a silent install puts the program under
# Program Files, a Send To shortcut and an Add/Remove Programs entry; the installed program
# cleans a folder; a silent uninstall leaves nothing of Vardel behind. Needs a display.
#   installer.sh WINE_LOADER SETUP_EXE SAMPLE_FILES_DIR
set -uo pipefail
wine=$1 setup=$(realpath "$2") samples=$3
fail() { echo "FAIL: $*"; exit 1; }
export WINEDEBUG=-all WINEPREFIX=$(mktemp -d) WINELOADER=$wine
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX" "$work"' EXIT
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vardel'
vardel_files() { find "$WINEPREFIX/drive_c" -iname '*vardel*' | sort; }

"$wine" wineboot -i >/dev/null 2>&1
"$wine" "$setup" /S || fail "silent install"
wineserver -w
installed=$(find "$WINEPREFIX/drive_c" -path '*/Program Files*/Vardel/vardel.exe')
[ -n "$installed" ] || fail "no vardel.exe under Program Files"
[ -f "$(dirname "$installed")/uninstall.exe" ] || fail "no uninstaller"
find "$WINEPREFIX/drive_c/users" -path '*/SendTo/Vardel.lnk' | grep -q . || fail "no Send To shortcut"
"$wine" reg query "$key" /v UninstallString 2>/dev/null | grep -q 'uninstall.exe' ||
  fail "no Add/Remove Programs entry"

cp -r "$samples" "$work/music" && chmod -R u+w "$work/music"
timeout 60 "$wine" "$installed" "Z:${work//\//\\}\\music" || fail "the installed program failed"
! cmp -s "$samples/v22.mp3" "$work/music/v22.mp3" || fail "folder not cleaned"

"$wine" "$(dirname "$installed")/uninstall.exe" /S || fail "silent uninstall"
wineserver -w  # the uninstaller finishes from a copy of itself
left=$(vardel_files)
[ -z "$left" ] || fail "left behind: $left"
! "$wine" reg query "$key" >/dev/null 2>&1 || fail "the Add/Remove Programs entry is still there"
echo "installer: installed, cleaned a folder, uninstalled without a trace"
