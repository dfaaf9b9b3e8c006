// On Windows the program's platform operations are the real Win32 ones.
#pragma once

#include <windows.h>
#include <commctrl.h>

// The separator the program puts between a folder path and an entry name.
inline constexpr char kPathSeparator[] = "\\";

// Whether a path names a device by its name alone, whatever the folder: CON, PRN, AUX, NUL,
// COM1-COM9 and LPT1-LPT9, in any letter case and with any extension, which Windows opens as
// the device itself (device_names.cpp).
bool NamesDevice(const char* path);
