// The one name every module of the program exports: a C function that hands the program the
// module's table (a driver's UserDriver, the X keyboard's X11Keyboard). Everything else in a
// module is hidden, so that nothing of it can stand in for the program's own symbols.
#pragma once

extern "C" [[gnu::visibility("default")]] const void* VardelModuleTable();

namespace platform {

inline constexpr char kModuleEntry[] = "VardelModuleTable";

}  // namespace platform
