// A test build's tag remover, in place of both its entries. On its first file the worker takes the
// C runtime's heap lock, as it does when it is ended in the middle of an allocation, confirms a
// stop as the user's Yes would, and never lets go: the dialog ends it forcibly after the grace
// period, and the program must still leave with 1.
#include <malloc.h>

#include "common/run_state.h"
#include "tagremoval/tagremoval.h"

RemovalOutcome RemoveTags(LPCSTR) {
  HeapLock(reinterpret_cast<HANDLE>(_get_heap_handle()));
  SetEvent(StopEvent);
  PostMessageA(DialogWindow, kFinishMessage, 0, 0);
  for (;;) Sleep(INFINITE);
}

RemovalOutcome RemoveTagsOpened(HANDLE, const FileStart&) { return RemoveTags(nullptr); }
