// The run's record of what could not be changed: how many files and folders, and the first
// few with the reason, in static storage, so that recording costs nothing until something
// fails and reading it needs no heap (a worker ended forcibly may have died holding its lock).
// Each failure also goes to the process's standard error, where it has one, as a line of its
// own in one write. The worker thread records; the dialog's thread reads once the worker has ended.
#pragma once

#include "platform.h"

// How many failures the record keeps with their paths; the rest are only counted.
inline constexpr DWORD kKeptFailures = 5;

// Records that path could not be changed: what went wrong ("could not be opened") and the
// system's error behind it (GetLastError; 0 when there is none), whose text follows it.
void RecordFailure(LPCSTR path, LPCSTR what, DWORD error);

// How many failures were recorded, kept or not.
DWORD FailureCount();

// The record as a message box's text: the count, a line "PATH: REASON" for each kept failure,
// and how many more there were. Valid until the next call.
LPCSTR FailureReport();

// Empties the record (the suites run several runs in one process).
void ClearFailures();
