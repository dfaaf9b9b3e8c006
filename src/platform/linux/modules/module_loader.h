// Where the program's modules are found and how they are loaded: beside the program in the
// build tree, else in the package's library folder (a path relative to the program's folder,
// decided when the build is configured). A module is loaded once, when a driver first needs
// it, and never unloaded; what it needs of the program, the program exports to it.
#pragma once

namespace platform {

// The table the module file (e.g. "vardel-qt.so") hands over, loading it first; nullptr, with
// why saying why for the one stderr line, when it is missing or cannot be loaded.
const void* LoadModule(const char* file, const char** why);

}  // namespace platform
