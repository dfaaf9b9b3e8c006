// The terminal driver: the dialog drawn on the controlling terminal, its keys read there.
#pragma once

#include "user_driver.h"

namespace platform {

extern const UserDriver TerminalDriver;

}  // namespace platform
