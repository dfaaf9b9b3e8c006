// What the dialog suites share: the tagged file they clean, what it looks like cleaned or
// untouched, and the steps a user takes on the dialog.
#pragma once

#include <string>
#include <vector>

#include "gate.h"
#include "support/files.h"

namespace steps {

// An ID3v2 tag of 300 bytes, audio, and an ID3v1 trailer.
extern const files::Bytes Tagged;
bool Cleaned(const std::string& path);
bool Untouched(const std::string& path);

// A folder with three tagged files; returns their paths.
std::vector<std::string> ThreeFiles(files::TempFolder& folder, const char* middle = "b.mp3");

// The file the worker is at: the path line's text.
std::string Current();

extern const std::string Question;

// Answers the stop question Yes as soon as it is open; the gate opens once the stop is set.
bool YesOnceAskedThenOpenTheGate();

// The worker is held at the gate and the dialog is on screen.
bool HeldAndShown();

void ReleaseShift();

// Opens the stop question by one of the three stop commands: 0 Cancel, 1 Escape, 2 the
// window's close command.
void AskToStop(int how);

// A fresh start for a run: the gate reset and armed at `at`, three tagged files in folder.
std::vector<std::string> ThreeFilesHeldAt(gate::At at, files::TempFolder& folder);

// A run over three tagged files (names) in which the user stops with Cancel and Yes as soon as
// the gate holds the worker at `at`; *first is the file the worker was at. Returns the result.
int StopOnceHeld(gate::At at, files::TempFolder& folder, std::vector<std::string>* names,
                 std::string* first);

}  // namespace steps
