// When calls waited on their storage: what starts the helpers of the scan and of the worker.
#pragma once

#include <cstdint>

#include "platform.h"

// Calls served by the system's cache take a few microseconds; a cold disk's read or a mount's
// round trip takes far longer. After this many waits in a row, helpers are started so that the
// waits overlap; one call held up by the scheduler is no storage's doing, and a warm run makes
// the calls it always made.
constexpr int kWaitsInARow = 3;

// The performance counter now, and its ticks in the time that says a call waited.
int64_t TicksNow();
int64_t WaitedTicks();
// Its ticks in the time that says a file's changes waited on round trips: a local disk's,
// even of a file just read from a cold disk, take less (its journal, the scheduler); on a LAN
// mount the cut and the write of a tagged file take a round trip of some 200 µs each.
int64_t ChangesWaitedTicks();
