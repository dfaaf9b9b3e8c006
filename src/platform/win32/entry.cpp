// The Windows start-up: WinMain hands the program the command-line tail as its one path.
#include <windows.h>
#include <commctrl.h>

#include "commandline.h"
#include "ui/ui.h"

// The tail is formed here from GetCommandLineA rather than taken from the start-up code's
// lpCmdLine, so that it follows our rule whatever the C runtime does with double-byte names.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  static const char* paths[2] = {UnquoteSinglePath(CommandLineTail(GetCommandLineA(), CP_ACP)),
                                 nullptr};
  return ProgramMain(instance, paths);
}
