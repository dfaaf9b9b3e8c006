// The Windows start-up: WinMain hands the program the paths of the command-line tail, and the
// process ends with the dialog's result.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "commandline.h"
#include "ui/ui.h"

// The tail is formed here from GetCommandLineA rather than taken from the start-up code's
// lpCmdLine, so that it follows our rule whatever the C runtime does with double-byte names.
// The paths are made in a copy of it, which lasts, as they must, as long as the process.
//
// The way out runs no clean-up of the C runtime or of any DLL. After a forced end the worker
// may have died holding the runtime's heap lock (the list still growing from a scan), and
// releasing the list or the runtime's own clean-up would then wait on that lock for ever. The
// process's end releases all of it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  static std::string storage;
  static const std::vector<LPCSTR> paths =
      TailPaths(CommandLineTail(GetCommandLineA(), CP_ACP), storage, CP_ACP);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(ProgramMain(instance, paths.data())));
  return 1;  // not reached: ending the current process does not return
}
