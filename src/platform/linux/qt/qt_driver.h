// The Qt 6 Widgets driver: the dialog in a window, where a display can be opened (X11, Wayland,
// or the platform QT_QPA_PLATFORM names).
#pragma once

#include "user_driver.h"

namespace platform {

extern const UserDriver QtDriver;

}  // namespace platform
