// Holds the worker at a chosen call, linked in with --wrap, so that a test can act at a known
// point of a run: a write (the worker is cleaning a file), the enumeration of a folder (the
// worker is building the list), a stop test that found no stop after a write (the worker has
// cleaned a file and its next action is the bar's step), or the texts of the file after a
// written one. Also tells when the stop event was set and where the bar stood when the dialog
// ended, and can make CreateEventA fail.
#pragma once

#include <string>

namespace gate {

enum class At { Nothing, Write, Find, StopTest, Texts };

// Holds the next such call (for Find: of a pattern containing part), after letting `skip` of
// them pass, until Open().
void Arm(At at, const std::string& part = "", int skip = 0);
bool Reached();
void Open();
// Opens the gate from another thread as soon as SetEvent has been called; a Reset() before
// that lets the waiting thread go.
void OpenAfterStop();
bool StopSet();
void FailNextCreateEvent();
// The next count reads each take as long as a slow mount's, far past any cache's.
void SlowReads(int count);
// The progress bar's position when the dialog last ended.
int BarAtEnd();
void Reset();

}  // namespace gate
