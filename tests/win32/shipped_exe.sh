#!/bin/sh
# The exe as shipped: at most 200 KiB, importing system DLLs only (no MinGW runtime DLL), with
# its dialog, version and manifest resources, the version being the project's and the licence
# MIT.
#   shipped_exe.sh OBJDUMP EXE VERSION
objdump=$1 exe=$2 version=$3
fail() { echo "FAIL: $*"; exit 1; }
size=$(stat -c %s "$exe")
[ "$size" -le $((200 * 1024)) ] || fail "$exe is $size bytes"
dump=$("$objdump" -p "$exe") || fail "objdump could not read $exe"
imports=$(echo "$dump" | sed -n 's/^\s*DLL Name: //p' | tr a-z A-Z | sort | tr '\n' ' ')
[ "$imports" = "COMCTL32.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL " ] || fail "imports: $imports"
for type in 0x000005 0x000010 0x000018; do  # DIALOG, VERSION, MANIFEST
  echo "$dump" | grep -q "Entry: ID: $type," || fail "no resource of type $type"
done
# The version block holds its strings in UTF-16; read them back as text.
strings -e l "$exe" | grep -qx "$version" || fail "version $version not in the version resource"
strings -e l "$exe" | grep -qx "Vardel" || fail "no product name"
strings -e l "$exe" | grep -q "MIT License" || fail "no licence in LegalCopyright"
strings "$exe" | grep -q 'level="asInvoker"' || fail "the manifest does not ask for asInvoker"
strings "$exe" | grep -q "name=\"Vardel\" version=\"$version.0\"" ||
  fail "the manifest's version is not the project's"
# Every "A" call in UTF-8 (Windows 10 1903 on), and paths past MAX_PATH where the system allows.
strings "$exe" | grep -q '<activeCodePage[^>]*>UTF-8</activeCodePage>' ||
  fail "the manifest does not make UTF-8 the process code page"
strings "$exe" | grep -q '<longPathAware[^>]*>true</longPathAware>' ||
  fail "the manifest does not declare long paths"
echo "$exe: $size bytes; imports $imports"
