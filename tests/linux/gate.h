// Holds the worker at a chosen kernel call, linked in with --wrap, so that a test can act at a
// known point of a run: a write (the worker is cleaning a file), the enumeration of a folder
// (the worker is building the list), or a stop test that found no stop after a write (the
// worker has cleaned a file and its next action is the bar's step). Also tells when the stop
// event was set, and can make CreateEventA fail.
#pragma once

#include <string>

namespace gate {

enum class At { Nothing, Write, Find, StopTest };

// Holds the next such call (for Find: of a pattern containing part) until Open().
void Arm(At at, const std::string& part = "");
bool Reached();
void Open();
// Opens the gate from another thread as soon as SetEvent has been called.
void OpenAfterStop();
bool StopSet();
void FailNextCreateEvent();
void Reset();

}  // namespace gate
