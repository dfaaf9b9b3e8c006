// The table of drivers and the choice among them: the entry point's, not the core's. A driver
// that needs a toolkit lives in a module of its own, loaded only when its turn comes, so that a
// run that draws nothing with it loads no toolkit.
#include "drivers.h"

#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <string>

#include "console.h"
#include "module_loader.h"
#include "no_dialog.h"
#include "terminal_driver.h"

namespace platform {
namespace {

bool Named(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

// Qt opens only a display that one of these names; without any, its module is not loaded, as
// its Open would fail for this same reason.
bool DisplayNamed(const char** why) {
  if (Named("QT_QPA_PLATFORM") || Named("DISPLAY") || Named("WAYLAND_DISPLAY")) return true;
  *why = "no display (DISPLAY is not set)";
  return false;
}

// The drivers that show the dialog, in the order of the stderr line when none opens: one
// linked into the program, or one in a module, loaded when its turn comes and worth loading.
struct Shown {
  const UserDriver* linked;
  const char* module;
  bool (*worthLoading)(const char** why);
  bool terminal;  // tried first with kTerminalFirst
};
constexpr Shown kShown[] = {{nullptr, VARDEL_QT_MODULE, DisplayNamed, false},
                            {&TerminalDriver, nullptr, nullptr, true}};
constexpr int kShownCount = static_cast<int>(std::size(kShown));

// The driver, opened; nullptr with the reason when it cannot be had or opened here. A module
// that is missing or does not load is a reason like any other.
const UserDriver* Opened(const Shown& shown, const char** why) {
  const UserDriver* driver = shown.linked;
  if (driver == nullptr && shown.worthLoading(why)) {
    driver = static_cast<const UserDriver*>(LoadModule(shown.module, why));
  }
  return driver != nullptr && driver->Open(why) ? driver : nullptr;
}

DriverOrder Order = DriverOrder::kDisplayFirst;

const UserDriver* Choose() {
  const char* why[kShownCount] = {};
  if (Order == DriverOrder::kNoDialog) {
    return NoDialogDriver.Open(&why[0]) ? &NoDialogDriver : nullptr;
  }
  bool terminalFirst = Order == DriverOrder::kTerminalFirst;
  for (bool terminalTurn : {terminalFirst, !terminalFirst}) {
    for (int i = 0; i < kShownCount; ++i) {
      if (kShown[i].terminal != terminalTurn) continue;
      if (const UserDriver* driver = Opened(kShown[i], &why[i])) return driver;
    }
  }
  // The reasons may name the program's folder, whatever its name holds.
  SayOnStandardError(std::string("cannot open the dialog: ") + why[0] + ", and " + why[1] +
                     "; vardel --no-dialog runs without one");
  return nullptr;
}

}  // namespace

void UseDrivers(DriverOrder order) {
  Order = order;
  SetDriverChoice(Choose);
}

}  // namespace platform
