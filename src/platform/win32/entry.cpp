// The Windows start-up: WinMain hands the program the paths of the command-line tail, and the
// process ends with the dialog's result.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "commandline.h"
#include "ui/ui.h"

namespace {

// The paths are made in a copy of the command line, which lasts, as they must, as long as the
// process. At namespace scope, not in WinMain, so that no start-up guard is needed for them.
std::string PathStorage;
std::vector<LPCSTR> Paths;

}  // namespace

// The tail is formed here from GetCommandLineA rather than taken from the start-up code's
// lpCmdLine, so that it follows our rule whatever the C runtime does with double-byte names.
//
// The way out runs no clean-up of the C runtime or of any DLL. After a forced end the worker
// may have died holding the runtime's heap lock (the list still growing from a scan), and
// releasing the list or the runtime's own clean-up would then wait on that lock for ever. The
// process's end releases all of it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  Paths = TailPaths(CommandLineTail(GetCommandLineA(), CP_ACP), PathStorage, CP_ACP);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(ProgramMain(instance, Paths.data())));
  return 1;  // not reached: ending the current process does not return
}
