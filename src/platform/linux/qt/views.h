// What the Qt driver shows: a window record's view is its QWidget, a box's its QMessageBox.
#pragma once

#include <QtCore/QTimer>
#include <QtWidgets/QDialog>

#include "driver.h"

namespace platform::qt {

inline QWidget* WidgetOf(const Window* window) { return reinterpret_cast<QWidget*>(window->view); }
inline DriverView* ViewOf(QObject* object) { return reinterpret_cast<DriverView*>(object); }

// The dialog manager's input: the close command and Escape go to the core, and nothing closes
// the dialog but EndDialog. Its frame timer shows the changed controls once per frame.
class DialogWidget : public QDialog {
 public:
  explicit DialogWidget(Dialog* dialog);
  Dialog* dialog() const { return dialog_; }
  QTimer& frame() { return frame_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  Dialog* dialog_;
  QTimer frame_;
};

// The dialog's views.
void CreateDialog(Dialog* dialog);
void ShowDialog(Dialog* dialog, bool focusFirstTabStop);
void DestroyDialog(Dialog* dialog);
void ShowWindow(Window* window);
void RequestFrame(Dialog* dialog);

// Message boxes.
void OpenBox(Box* box);
void CloseBox(Box* box);

// The Shift state of the last input event the application saw.
bool ShiftSeenLast();
// Installs the input filter: the Shift state, and input held back from a disabled dialog.
void WatchInput();

}  // namespace platform::qt
