// What a test driver may ask of the Qt user side, which shows the controls' state once per
// display frame: to show it now, as the next frame would.
#pragma once

namespace platform {

// Shows every open dialog's changed controls in their widgets now. Dialog's thread only.
void ShowFrameNow();

}  // namespace platform
