// What the Qt driver shows: a dialog's views are a QDialog and its child widgets, a box's a
// QMessageBox. The core's dialogs and boxes are only addresses here, found again in the views.
#pragma once

#include <QtCore/QTimer>
#include <QtWidgets/QDialog>

#include "qt_driver.h"

namespace platform::qt {

// The dialog manager's input: the close command and Escape go to the core, and nothing closes
// the dialog but EndDialog. Its frame timer shows the changed controls once per frame.
class DialogWidget : public QDialog {
 public:
  explicit DialogWidget(Dialog* dialog);
  Dialog* dialog() const { return dialog_; }
  QTimer& frame() { return frame_; }
  // The controls' widgets, in the template's order, and what each is.
  QWidget* controls[kMaxControls] = {};
  ControlClass classes[kMaxControls] = {};
  int controlCount = 0;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  Dialog* dialog_;
  QTimer frame_;
};

// The widget showing this dialog, or nullptr.
DialogWidget* WidgetOf(const Dialog* dialog);

// The dialog's views.
void MakeViews(Dialog* dialog, const DialogTemplate& layout);
void Reveal(Dialog* dialog, bool focusFirstTabStop);
void DropViews(Dialog* dialog);
void ShowState(Dialog* dialog, int index, const ShownState& state);
void RequestFrame(Dialog* dialog);

// Message boxes.
void OpenBox(Box* box, const BoxContent& content);
void CloseBox(Box* box);

// The Shift state of the last input event the application saw.
bool ShiftSeenLast();
// Installs the input filter: the Shift state, and input held back from a disabled dialog.
void WatchInput();

}  // namespace platform::qt
