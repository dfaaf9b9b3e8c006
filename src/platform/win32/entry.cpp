// The Windows start-up: WinMain hands the program the command-line tail as its one path, and
// the process ends with the dialog's result.
#include <windows.h>
#include <commctrl.h>

#include "commandline.h"
#include "ui/ui.h"

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
  static const char* paths[2] = {UnquoteSinglePath(CommandLineTail(GetCommandLineA(), CP_ACP)),
                                 nullptr};
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(ProgramMain(instance, paths)));
  return 1;  // not reached: ending the current process does not return
}
