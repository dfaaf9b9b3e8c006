#include "common/run_state.h"

HWND DialogWindow = nullptr;
HANDLE StopEvent = nullptr;
HANDLE WorkerThread = nullptr;

bool StopRequested() { return WaitForSingleObject(StopEvent, 0) == WAIT_OBJECT_0; }
