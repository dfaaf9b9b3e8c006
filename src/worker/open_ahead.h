// The look-ahead of a run: helper threads open the files after the one at hand, in the list's
// order, and read what the decision needs (asking the system to fetch it at once), so that the
// waits of a cold disk or a network mount overlap one another and the worker's; they also close
// the files the worker is done with. Their number follows how often the worker finds them
// behind. They change nothing: every change is the worker's, in the list's order.
#pragma once

#include "platform.h"
#include "tagremoval/tagremoval.h"

struct OpenAhead;

// A file opened and read ahead, the worker's from TakeFront until HandBack.
struct AheadFile {
  HANDLE file;
  FileStart start;
};

// Starts the first helper over FileList as it stands, which is read by index from then on and
// changes only through AdvanceFront. nullptr where no helper could be started: the worker
// then opens every file itself.
OpenAhead* StartOpenAhead();

// The front entry once its helper is done with it: true with the file opened ahead; false when
// the worker is to open it itself, as it would without the look-ahead (no helper took it yet,
// the helper could not open or read it, or the same path is open ahead of it). A worker that
// finds the helpers behind starts one more.
bool TakeFront(OpenAhead* ahead, AheadFile* opened);

// The file TakeFront gave, done with, changed or not: a helper closes it.
void HandBack(OpenAhead* ahead, HANDLE file);

// Waits until every file handed back is closed, so that the worker's own open meets none of
// them.
void AwaitClosed(OpenAhead* ahead);

// The front entry is done: it leaves FileList, and the look-ahead moves on by one.
void AdvanceFront(OpenAhead* ahead);

// Ends the look-ahead: what was opened ahead is closed unchanged by the helpers, which then
// leave. Does not wait for them; the look-ahead goes with the last of them.
void EndOpenAhead(OpenAhead* ahead);

// Ends the look-ahead as EndOpenAhead does, and waits until every file the helpers opened is
// closed: the worker's own open then meets none of them, whatever name it was opened by.
void EndOpenAheadClosingAll(OpenAhead* ahead);
