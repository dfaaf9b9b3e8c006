// The user side of the Win32 operations, replaced for tests: every call is logged in order
// with its arguments, message boxes are answered and Shift is reported from a script.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform.h"

namespace recorder {

// The dialog window the recorder stands for; its controls are GetDlgItem's answers.
extern const HWND Dialog;

extern std::vector<std::string> Log;
// Answers for MessageBoxA, front first; IDYES when the script has run out.
extern std::deque<int> MessageBoxAnswers;
// Shift states for GetKeyState(VK_SHIFT), front first; not held when the script has run out.
extern std::deque<bool> ShiftHeld;
// Called after each logged call with its log line.
extern std::function<void(const std::string&)> OnCall;

void Reset();

}  // namespace recorder
