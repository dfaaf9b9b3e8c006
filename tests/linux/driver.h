// Drives the real dialog on Qt's offscreen platform with real input events, from a script of
// steps run on the dialog's thread while the program's modal loops run.
#pragma once

#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <functional>
#include <string>
#include <vector>

namespace driver {

// A step is tried again and again until it returns true; then the next one starts.
using Step = std::function<bool()>;

// Runs the program's entry on the paths while the steps run. Gives up on the whole test
// program when a step has not passed within 20 seconds.
int Run(const std::vector<std::string>& paths, std::vector<Step> steps);

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

}  // namespace driver
