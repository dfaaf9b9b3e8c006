#!/bin/sh
# The exe as shipped: within its size limit, importing system DLLs only (no MinGW runtime DLL),
# with its dialog, version and manifest resources, the version being the project's and the
# licence MIT.
#   shipped_exe.sh OBJDUMP EXE VERSION
objdump=$1 exe=$2 version=$3
fail() { echo "FAIL: $*"; exit 1; }
dump=$("$objdump" -p "$exe") || fail "objdump could not read $exe"
# Each architecture's limit is its exe's size without the C++ library's exception machinery
# (about 70 KB for i686, 65 KB for x86-64) and a third more, in whole KiB: the machinery brings
# back 100 KB or more (170-250 KB for i686, 136-190 KB for x86-64), which fails here.
case $("$objdump" -f "$exe") in
  *pei-i386*) limit=$((96 * 1024)) ;;
  *pei-x86-64*) limit=$((88 * 1024)) ;;
  *) fail "$exe is neither an i686 nor an x86-64 exe" ;;
esac
size=$(stat -c %s "$exe")
[ "$size" -le "$limit" ] || fail "$exe is $size bytes, over its $limit. What usually brings the \
bytes back is the exception machinery (the unwinder, its tables, the exception types), pulled \
in by something that throws: a library call that is not one of no_exceptions.cpp's, a \
function-local static with a thread-safe guard, std::chrono, iostreams, code built without \
-fno-exceptions; or -fdata-sections, which puts zero-filled arrays in .data instead of .bss. \
See src/platform/win32/CMakeLists.txt, no_exceptions.cpp and entry.cpp, and the commit that took \
the exe from 218,624 bytes to 71,168."
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
