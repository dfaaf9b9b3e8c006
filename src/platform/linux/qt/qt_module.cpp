// The Qt driver as the module the driver table loads when a display is named: its table, the
// one name it exports.
#include "module_entry.h"
#include "qt_driver.h"

const void* VardelModuleTable() { return &platform::QtDriver; }
