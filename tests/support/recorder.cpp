#include "recorder.h"

#include <cstdint>

#include "common/identifiers.h"

namespace recorder {

const HWND Dialog = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7000));
std::vector<std::string> Log;
std::deque<int> MessageBoxAnswers;
std::deque<bool> ShiftHeld;
std::function<void(const std::string&)> OnCall;

void Reset() {
  Log.clear();
  MessageBoxAnswers.clear();
  ShiftHeld.clear();
  OnCall = nullptr;
}

}  // namespace recorder

namespace {

std::string WindowName(HWND window) {
  if (window == recorder::Dialog) return "dialog";
  switch (reinterpret_cast<uintptr_t>(window) - reinterpret_cast<uintptr_t>(recorder::Dialog)) {
    case IDC_PROGRESS:
      return "progress";
    case IDC_PERCENT:
      return "percent";
    case IDC_FILENAME:
      return "filename";
  }
  return "window?";
}

std::string MessageName(UINT message) {
  switch (message) {
    case PBM_SETRANGE32:
      return "PBM_SETRANGE32";
    case PBM_SETSTEP:
      return "PBM_SETSTEP";
    case PBM_STEPIT:
      return "PBM_STEPIT";
    case WM_USER:
      return "WM_USER";
  }
  return std::to_string(message);
}

void Record(const std::string& line) {
  recorder::Log.push_back(line);
  if (recorder::OnCall) recorder::OnCall(line);
}

std::string Message(const char* call, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return std::string(call) + " " + WindowName(window) + " " + MessageName(message) + " " +
         std::to_string(wParam) + " " + std::to_string(lParam);
}

}  // namespace

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
  Record("SetDlgItemTextA " + WindowName(dialog) + " " + std::to_string(id) + " " + text);
  return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
  Record("GetDlgItem " + WindowName(dialog) + " " + std::to_string(id));
  return reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(recorder::Dialog) +
                                static_cast<uintptr_t>(id));
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text) {
  Record("SetWindowTextA " + WindowName(window) + " " + text);
  return TRUE;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Record(Message("SendMessageA", window, message, wParam, lParam));
  return 0;
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Record(Message("PostMessageA", window, message, wParam, lParam));
  return TRUE;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Record("MessageBoxA " + WindowName(owner) + " " + text + " | " + caption + " | " +
         std::to_string(type));
  if (recorder::MessageBoxAnswers.empty()) return IDYES;
  int answer = recorder::MessageBoxAnswers.front();
  recorder::MessageBoxAnswers.pop_front();
  return answer;
}

SHORT WINAPI GetKeyState(int key) {
  Record("GetKeyState " + std::to_string(key));
  bool held = false;
  if (key == VK_SHIFT && !recorder::ShiftHeld.empty()) {
    held = recorder::ShiftHeld.front();
    recorder::ShiftHeld.pop_front();
  }
  return static_cast<SHORT>(held ? 0x8000 : 0);
}
