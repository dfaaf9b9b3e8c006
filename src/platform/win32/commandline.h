// The command-line tail the program receives on Windows, and the paths it names.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The tail of a full command line: the program's name and the blanks after it skipped, every
// character taken as an unsigned byte. A quoted name runs to the next quote, which is skipped
// too, and a lead byte of codePage inside the quotes takes its trail byte with it; an unquoted
// name runs to the first byte of 0x20 or less. Then every byte from 0x01 to 0x20 is skipped.
LPSTR CommandLineTail(LPSTR line, UINT codePage);

// A tail that is one path in double quotes (as Explorer passes a dropped folder whose name has
// blanks) loses the enclosing quotes, in place; any other tail is returned as it is.
LPSTR UnquoteSinglePath(LPSTR tail);

// The arguments in text as the system splits those after a program's name: blanks and tabs
// outside quotes separate them; double quotes group and are dropped, and a pair of them inside
// quotes is one literal quote that also ends the quotes; 2n backslashes before a quote are n
// backslashes, 2n+1 are n and a literal quote; other backslashes are literal; text that ends
// inside quotes ends the last argument. A lead byte of codePage takes its trail byte with it,
// as the system splits the wide form of the line. The arguments are written over text, each
// NUL-terminated, and point into it.
std::vector<LPCSTR> SplitArguments(LPSTR text, UINT codePage);

// The paths a tail hands the program, null-terminated, pointing into storage, which is given a
// copy of the tail. The tail is one path when it is empty or names something, without the
// quotes of one quoted path, as a path has always been given; otherwise each of its arguments
// is one, as Explorer's Send To passes several items, each quoted where it holds a blank.
std::vector<LPCSTR> TailPaths(LPCSTR tail, std::string& storage, UINT codePage);
