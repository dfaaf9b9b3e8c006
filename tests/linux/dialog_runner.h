// Drives the real dialog on Qt's offscreen platform with real input events, from a script of
// steps run on the dialog's thread while the program's modal loops run.
#pragma once

#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <string>
#include <vector>

namespace runner {

// A step is tried again and again until it returns true; then the next one starts.
using Step = std::function<bool()>;

// Ends the whole test program (after giveUp has said why) when no progress has been made for
// its patience. A thread of its own, so that it also ends a dialog's thread that never returns.
class Watchdog {
 public:
  static constexpr std::chrono::seconds kPatience{20};
  explicit Watchdog(std::function<void()> giveUp, std::chrono::seconds patience = kPatience);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;
  void Progress();

 private:
  std::function<void()> giveUp_;
  std::chrono::seconds patience_;
  std::atomic<std::chrono::steady_clock::time_point> since_{std::chrono::steady_clock::now()};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

struct RunOptions {
  // A run may end by itself before its steps are done (a stop meant to race the run's end).
  bool stepsMayBeLeft = false;
  std::chrono::seconds patience = Watchdog::kPatience;
};

// Runs the program's entry on the paths while the steps run. Gives up on the whole test
// program when a step has not passed, or the dialog has not ended after the last one, within
// the watchdog's patience.
int Run(const std::vector<std::string>& paths, std::vector<Step> steps, RunOptions options = {});

// Runs an action once the current step has returned, so that a message box it opens runs its
// loop outside the step.
void Later(std::function<void()> action);

QDialog* Dialog();  // the open "Vardel" dialog, or nullptr
QPushButton* CancelButton();
QProgressBar* Bar();
QLabel* Label(int index);  // 0: the percentage, 1: the path line
// The visible message box whose text is text, or nullptr.
QMessageBox* Box(const std::string& text);
// Every message box shown during the last run, as "caption|text".
const std::vector<std::string>& BoxesSeen();

// A left click; with shift, as made while Shift is held.
void Click(QAbstractButton* button, bool shift = false);
void PressShift(QWidget* where, bool down);
void PressEscape(QWidget* where);

std::string Text(QLabel* label);

}  // namespace runner
