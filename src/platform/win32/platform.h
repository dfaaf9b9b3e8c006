// On Windows the program's platform operations are the real Win32 ones.
#pragma once

#include <windows.h>
#include <commctrl.h>

// The separator the program puts between a folder path and an entry name.
inline constexpr char kPathSeparator[] = "\\";
