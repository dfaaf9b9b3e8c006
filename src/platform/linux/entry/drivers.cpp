// The table of drivers and the choice among them: the entry point's, not the core's.
#include "drivers.h"

#include <cstdio>
#include <initializer_list>
#include <iterator>

#include "no_dialog.h"
#include "qt_driver.h"
#include "terminal_driver.h"

namespace platform {
namespace {

// The drivers that show the dialog, in the order of the stderr line when none opens.
struct Shown {
  const UserDriver* driver;
  bool terminal;  // tried first with kTerminalFirst
};
constexpr Shown kShown[] = {{&QtDriver, false}, {&TerminalDriver, true}};
constexpr int kShownCount = static_cast<int>(std::size(kShown));

DriverOrder Order = DriverOrder::kDisplayFirst;

const UserDriver* Choose() {
  const char* why[kShownCount] = {};
  if (Order == DriverOrder::kNoDialog) {
    return NoDialogDriver.Open(&why[0]) ? &NoDialogDriver : nullptr;
  }
  bool terminalFirst = Order == DriverOrder::kTerminalFirst;
  for (bool terminalTurn : {terminalFirst, !terminalFirst}) {
    for (int i = 0; i < kShownCount; ++i) {
      if (kShown[i].terminal == terminalTurn && kShown[i].driver->Open(&why[i])) {
        return kShown[i].driver;
      }
    }
  }
  std::fprintf(stderr,
               "vardel: cannot open the dialog: %s, and %s; vardel --no-dialog runs "
               "without one\n",
               why[0], why[1]);
  return nullptr;
}

}  // namespace

void UseDrivers(DriverOrder order) {
  Order = order;
  SetDriverChoice(Choose);
}

}  // namespace platform
