// The command-line tail the program receives on Windows.
#pragma once

#include <windows.h>

// The tail of a full command line: the program's name and the blanks after it skipped, every
// character taken as an unsigned byte. A quoted name runs to the next quote, which is skipped
// too, and a lead byte of codePage inside the quotes takes its trail byte with it; an unquoted
// name runs to the first byte of 0x20 or less. Then every byte from 0x01 to 0x20 is skipped.
LPSTR CommandLineTail(LPSTR line, UINT codePage);

// A tail that is one path in double quotes (as Explorer passes a dropped folder whose name has
// blanks) loses the enclosing quotes, in place; any other tail is returned as it is.
LPSTR UnquoteSinglePath(LPSTR tail);
