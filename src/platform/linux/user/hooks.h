// What tests may ask of the user side: to show the controls' state now, as the next display
// frame would, and how long a caller spins for its answer before it sleeps.
#pragma once

#include <chrono>

namespace platform {

// Shows every open dialog's changed controls through the driver now. Dialog's thread only.
void ShowFrameNow();

// Sets how long a thread calling the dialog's thread spins before it sleeps; a long spin keeps
// a caller spinning through a test's whole grace period. Returns the previous setting.
std::chrono::microseconds SetCallerSpin(std::chrono::microseconds spin);

}  // namespace platform
