#!/usr/bin/env bash
# The Debian package: lintian finds no error in it, its desktop entry is valid, its modules are
# in its own library folder, and the program installed from it into a scratch root cleans a
# small tree offscreen, with the Qt module it finds there.
#   package.sh DEB SAMPLE_FILES_DIR
set -uo pipefail
deb=$1 samples=$2
fail() { echo "FAIL: $*"; exit 1; }
lintian --fail-on error "$deb" 2>&1 | grep -v "root privileges" || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports an error"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root" || fail "dpkg -x"
desktop-file-validate "$root/usr/share/applications/vardel.desktop" || fail "desktop entry"
for size in 16 22 24 32 48 64 128 256; do
  file -b "$root/usr/share/icons/hicolor/${size}x${size}/apps/vardel.png" | grep -q "$size x $size" ||
    fail "icon of $size pixels"
done
for module in vardel-qt.so vardel-x11.so; do
  compgen -G "$root/usr/lib/*/vardel/$module" >/dev/null || fail "$module not in the library folder"
done
zcat "$root/usr/share/man/man1/vardel.1.gz" | grep -q "no undo" || fail "manual page"
# Neither option opens anything, so both work with no display.
[ "$(env -u DISPLAY "$root/usr/bin/vardel" --version)" = "vardel $(dpkg-deb -f "$deb" Version)" ] ||
  fail "--version"
env -u DISPLAY "$root/usr/bin/vardel" --help | grep -q "^Usage: vardel" || fail "--help"
mkdir -p "$root/tree/sub"
cp "$samples/v22.mp3" "$root/tree/sub/a.mp3"
cp "$samples/v22.mp3" "$root/tree/--help"
(cd "$root/tree" && QT_QPA_PLATFORM=offscreen "$root/usr/bin/vardel" sub -- --help 2>/dev/null)
code=$?
[ $code -eq 0 ] || fail "the installed program ended with $code"
for f in sub/a.mp3 --help; do
  ! cmp -s "$samples/v22.mp3" "$root/tree/$f" || fail "$f not cleaned"
  # The header stays as it was (the sample's has no flags); the tag after it is zeros.
  cmp -s <(head -c 10 "$samples/v22.mp3") <(head -c 10 "$root/tree/$f") &&
    [ "$(tail -c +11 "$root/tree/$f" | head -c 4 | od -An -tx1 | tr -d ' ')" = 00000000 ] ||
    fail "$f tag not emptied"
done
echo "package: $(basename "$deb") passes lintian; installed, it cleaned a tree and a path named --help"
