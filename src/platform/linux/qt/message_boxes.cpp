// Message boxes and input: a box is a QMessageBox, not modal to Qt; the input filter keeps the
// Shift state and holds back input from a dialog that a box of its own disables.
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>
#include <algorithm>
#include <atomic>
#include <vector>

#include "views.h"
#include "x11_keyboard.h"

namespace platform::qt {
namespace {

std::atomic<bool> ShiftSeen{false};

// The boxes shown, each with the core's box it answers for.
struct ShownBox {
  Box* box;
  QMessageBox* widget;
};
std::vector<ShownBox> Boxes;

bool IsInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
      return true;
    default:
      return false;
  }
}

bool HeldBack(QObject* watched) {
  auto* widget = qobject_cast<QWidget*>(watched);
  auto* dialog = widget != nullptr ? dynamic_cast<DialogWidget*>(widget->window()) : nullptr;
  return dialog != nullptr && InputHeldBack(dialog->dialog());
}

// Sees every input event of the application: remembers the Shift state, and holds back input
// to a dialog while a message box it owns is open.
class InputWatch : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
      auto* key = static_cast<QKeyEvent*>(event);
      bool shiftKey = key->key() == Qt::Key_Shift;
      ShiftSeen = shiftKey ? type == QEvent::KeyPress : (key->modifiers() & Qt::ShiftModifier) != 0;
    } else if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) {
      ShiftSeen = (static_cast<QInputEvent*>(event)->modifiers() & Qt::ShiftModifier) != 0;
    }
    if (IsInput(type) && HeldBack(watched)) return true;
    return QObject::eventFilter(watched, event);
  }
};

// The button the box was closed with, as MessageBoxA reports it.
int Answer(QMessageBox* box) {
  QMessageBox::StandardButton button = box->standardButton(box->clickedButton());
  if (button == QMessageBox::Yes) return IDYES;
  if (button == QMessageBox::No) return IDNO;
  return IDOK;
}

}  // namespace

bool ShiftSeenLast() { return ShiftSeen.load(); }

void WatchInput() {
  qApp->installEventFilter(new InputWatch(qApp));
  if (QGuiApplication::platformName() == "xcb") X11OpenKeyboard();
}

// Win32 disables a box's owner and nothing else; Qt's window modality would block the older
// box behind a newer one, so the box is not modal to Qt and the core holds back the owner's
// input.
void OpenBox(Box* box, const BoxContent& content) {
  QWidget* owner = content.owner != nullptr ? WidgetOf(content.owner) : nullptr;
  auto* widget = new QMessageBox(owner);
  Boxes.push_back({box, widget});
  widget->setTextFormat(Qt::PlainText);
  widget->setText(QString::fromLocal8Bit(content.text));
  widget->setWindowTitle(QString::fromLocal8Bit(content.caption));
  switch (content.type & MB_ICONMASK) {
    case MB_ICONQUESTION:
      widget->setIcon(QMessageBox::Question);
      break;
    case MB_ICONWARNING:
      widget->setIcon(QMessageBox::Warning);
      break;
    case MB_ICONERROR:
      widget->setIcon(QMessageBox::Critical);
      break;
  }
  if ((content.type & MB_TYPEMASK) == MB_YESNO) {
    widget->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    widget->setDefaultButton(QMessageBox::Yes);
  } else {
    widget->setStandardButtons(QMessageBox::Ok);
  }
  widget->setWindowModality(Qt::NonModal);
  QObject::connect(widget, &QMessageBox::finished, widget,
                   [box, widget] { BoxAnswered(box, Answer(widget)); });
  widget->show();
}

// Called from the box's own finished signal, or when the core answered it: deleted once the
// signal has returned.
void CloseBox(Box* box) {
  auto shown = std::find_if(Boxes.begin(), Boxes.end(),
                            [box](const ShownBox& shown) { return shown.box == box; });
  QMessageBox* widget = shown->widget;
  Boxes.erase(shown);
  QObject::disconnect(widget, &QMessageBox::finished, nullptr, nullptr);
  widget->hide();
  widget->deleteLater();
}

}  // namespace platform::qt
