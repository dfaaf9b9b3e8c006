// The driver of a run with no dialog: nothing drawn, nothing asked.
#pragma once

#include "user_driver.h"

namespace platform {

extern const UserDriver NoDialogDriver;

}  // namespace platform
