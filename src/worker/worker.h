// The batch worker: builds the file list, cleans file after file, reports the end.
#pragma once

#include "platform.h"

// Thread routine. The parameter is the program's path list: a null-terminated array of
// NUL-terminated paths that stays valid for the life of the process. Always returns 0.
DWORD WINAPI WorkerThreadProc(LPVOID parameter);
