#include "dialog_runner.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "common/failure_record.h"
#include "drivers.h"
#include "filelist/filelist.h"
#include "hooks.h"
#include "support/check.h"
#include "ui/ui.h"

namespace runner {
namespace {

std::vector<std::string> Seen;
std::vector<QPointer<QMessageBox>> Known;

void NoteBoxes() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (box == nullptr || !box->isVisible()) continue;
    if (std::find(Known.begin(), Known.end(), box) != Known.end()) continue;
    Known.push_back(box);
    Seen.push_back(box->windowTitle().toStdString() + "|" + box->text().toStdString());
  }
}

QApplication* Application() {
  static int argc = 1;
  static char name[] = "dialog_test";
  static char* argv[] = {name, nullptr};
  // One application per process: a dialog opened before may have made it already.
  static QApplication* application = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    auto* made = qobject_cast<QApplication*>(QCoreApplication::instance());
    return made != nullptr ? made : new QApplication(argc, argv);
  }();
  return application;
}

}  // namespace

Watchdog::Watchdog(std::function<void()> giveUp, std::chrono::seconds patience)
    : giveUp_(std::move(giveUp)), patience_(patience), thread_([this] {
        while (!done_.load()) {
          if (std::chrono::steady_clock::now() - since_.load() > patience_) {
            giveUp_();
            std::fflush(stdout);
            std::_Exit(2);
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
      }) {}

Watchdog::~Watchdog() {
  done_ = true;
  thread_.join();
}

void Watchdog::Progress() { since_ = std::chrono::steady_clock::now(); }

int Run(const std::vector<std::string>& paths, std::vector<Step> steps, RunOptions options) {
  Application();
  Seen.clear();
  Known.clear();
  // The list and the failures are the process's: a stopped run leaves its entries in it.
  FileListClear();
  ClearFailures();
  std::vector<const char*> list;
  for (const std::string& path : paths) list.push_back(path.c_str());
  list.push_back(nullptr);
  std::atomic<size_t> next{0};
  Watchdog watchdog(
      [&next, count = steps.size()] {
        if (next < count) {
          std::printf("  step %zu of %zu never passed; giving up\n", next + 1, count);
        } else {
          std::printf("  the dialog never ended after the last step; giving up\n");
        }
      },
      options.patience);
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    // A step looks at the dialog as the user would see it at the next frame.
    platform::ShowFrameNow();
    NoteBoxes();
    if (next < steps.size() && steps[next]()) {
      ++next;
      watchdog.Progress();
    }
  });
  timer.start(2);
  platform::UseDrivers(platform::DriverOrder::kDisplayFirst);
  int result = ProgramMain(nullptr, list.data());
  if (next < steps.size() && !options.stepsMayBeLeft) {
    check::Fail(__FILE__, __LINE__,
                "the dialog ended at step " + std::to_string(next + 1) + " of " +
                    std::to_string(steps.size()));
  }
  return result;
}

void Later(std::function<void()> action) { QTimer::singleShot(0, action); }

QDialog* Dialog() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<QDialog*>(widget);
    if (dialog != nullptr && qobject_cast<QMessageBox*>(widget) == nullptr &&
        dialog->windowTitle() == "Vardel") {
      return dialog;
    }
  }
  return nullptr;
}

QPushButton* CancelButton() { return Dialog() ? Dialog()->findChild<QPushButton*>() : nullptr; }
QProgressBar* Bar() { return Dialog() ? Dialog()->findChild<QProgressBar*>() : nullptr; }

QLabel* Label(int index) {
  if (Dialog() == nullptr) return nullptr;
  QList<QLabel*> labels = Dialog()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
  return index < labels.size() ? labels[index] : nullptr;
}

QMessageBox* Box(const std::string& text) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (box != nullptr && box->isVisible() && box->text().toStdString() == text) return box;
  }
  return nullptr;
}

const std::vector<std::string>& BoxesSeen() { return Seen; }

// Input goes in where the window system's would, at the top-level window, so that windows
// blocked by modality or held back by the platform layer do not get it.
void Click(QAbstractButton* button, bool shift) {
  QWidget* top = button->window();
  QPoint at = button->mapTo(top, button->rect().center());
  QTest::mouseClick(top->windowHandle(), Qt::LeftButton, shift ? Qt::ShiftModifier : Qt::NoModifier,
                    at);
}

void PressShift(QWidget* where, bool down) {
  QWindow* window = where->window()->windowHandle();
  // A widget never shown has no window; its key still reaches the application's filter.
  if (window == nullptr) {
    down ? QTest::keyPress(where, Qt::Key_Shift) : QTest::keyRelease(where, Qt::Key_Shift);
  } else {
    down ? QTest::keyPress(window, Qt::Key_Shift) : QTest::keyRelease(window, Qt::Key_Shift);
  }
}

void PressEscape(QWidget* where) {
  QTest::keyClick(where->window()->windowHandle(), Qt::Key_Escape);
}

std::string Text(QLabel* label) { return label ? label->text().toLocal8Bit().toStdString() : "?"; }

}  // namespace runner
