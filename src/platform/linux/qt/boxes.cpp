// Message boxes and the Shift key.
#include <QtGui/QKeyEvent>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>
#include <algorithm>
#include <atomic>
#include <vector>

#include "window.h"
#include "x11.h"

namespace platform {
namespace {

std::atomic<bool> ShiftSeen{false};
// The boxes open on the dialog's thread, each in its own loop there. Dialog's thread only.
std::vector<QMessageBox*> OwnBoxes;

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
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget != nullptr && IsInput(type) && InputHeldBack(widget->window())) return true;
    return QObject::eventFilter(watched, event);
  }
};

// Win32 disables a box's owner while the box is open and nothing else, so two boxes owned by
// the dialog stay answerable together. Qt's window modality would block the older box behind
// the newer one; the boxes are therefore not modal to Qt, and the owner's input is held back.
QMessageBox* MakeBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Window* window = RecordOf(owner);
  auto* box = new QMessageBox(window != nullptr ? window->widget : nullptr);
  box->setTextFormat(Qt::PlainText);
  box->setText(QString::fromLocal8Bit(text));
  box->setWindowTitle(caption != nullptr ? QString::fromLocal8Bit(caption) : QString("Error"));
  if (type & MB_ICONQUESTION) box->setIcon(QMessageBox::Question);
  if (type & MB_ICONERROR) box->setIcon(QMessageBox::Critical);
  if ((type & MB_TYPEMASK) == MB_YESNO) {
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(QMessageBox::Yes);
  } else {
    box->setStandardButtons(QMessageBox::Ok);
  }
  box->setWindowModality(Qt::NonModal);
  if (window != nullptr && window->kind == WindowKind::Dialog) {
    Dialog* dialog = window->dialog;
    ++dialog->boxesOpen;
    QObject::connect(box, &QMessageBox::finished, box, [dialog] { --dialog->boxesOpen; });
  }
  return box;
}

// Yes for a Yes/No box, OK for the rest: what the user's confirmed stop answers.
int StopAnswer(UINT type) { return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK; }

// The button the box was closed with, as MessageBoxA reports it.
int Answer(QMessageBox* box) {
  QMessageBox::StandardButton button = box->standardButton(box->clickedButton());
  if (button == QMessageBox::Yes) return IDYES;
  if (button == QMessageBox::No) return IDNO;
  return IDOK;
}

}  // namespace

bool AnswerOwnBoxes() {
  for (QMessageBox* box : OwnBoxes) {
    QAbstractButton* button = box->button(QMessageBox::Yes);
    if (button == nullptr) button = box->button(QMessageBox::Ok);
    if (button != nullptr) button->click();
  }
  return !OwnBoxes.empty();
}

void WatchInput() {
  qApp->installEventFilter(new InputWatch(qApp));
  if (QGuiApplication::platformName() == "xcb") X11OpenKeyboard();
}

}  // namespace platform

using namespace platform;

// Keeps: a box with the text, caption (nullptr: "Error"), icon and Yes/No or OK buttons asked
// for, modal to its owner, returning IDYES, IDNO or IDOK. On the dialog's thread it runs its own
// loop; from another thread it is opened on the dialog's thread without a loop of its own there
// and the caller waits for the answer. Its owner takes no input while it is open; a box opened
// from the worker and one opened by the dialog stay answerable together. Maps to a QMessageBox
// with plain text, not modal to Qt, and the input filter holding back the owner's input. Once a
// termination signal has come, a box of the dialog's thread for that dialog is answered Yes (or
// OK), an open one at once and a new one without being shown: the user's confirmed stop.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (OnDialogThread()) {
    Window* window = RecordOf(owner);
    if (window != nullptr && window->dialog->stopSignalled) return StopAnswer(type);
    QMessageBox* box = MakeBox(owner, text, caption, type);
    QEventLoop loop;
    QObject::connect(box, &QMessageBox::finished, &loop, &QEventLoop::quit);
    OwnBoxes.push_back(box);
    box->show();
    loop.exec();
    OwnBoxes.erase(std::find(OwnBoxes.begin(), OwnBoxes.end(), box));
    int answer = Answer(box);
    delete box;
    return answer;
  }
  Call call;
  call.window = owner;
  call.text = text;
  call.caption = caption;
  call.type = type;
  call.work = [](Call& call) {
    QMessageBox* box = MakeBox(call.window, call.text, call.caption, call.type);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box,
                     [&call, box] { Complete(call, Answer(box)); });
    box->show();
  };
  return static_cast<int>(RunOnDialogThread(call));
}

// Keeps: the high-order bit (0x8000) set while the key is held down at this moment, without
// waiting for the dialog's thread; only VK_SHIFT is known. Maps, under X11, to the Shift state
// that XKB last notified on a connection of our own (as current as the key event itself);
// elsewhere (the offscreen platform) to the Shift state of the last input event the
// application saw. Either is a memory read.
SHORT WINAPI GetKeyState(int key) {
  if (key != VK_SHIFT) return 0;
  bool held = false;
  if (!X11ShiftHeld(&held)) held = ShiftSeen.load();
  return static_cast<SHORT>(held ? 0x8000 : 0);
}
