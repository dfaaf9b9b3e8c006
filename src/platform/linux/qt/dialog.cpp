// Modal dialogs built from the resource script's templates.
#include <QtGui/QCloseEvent>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <algorithm>
#include <vector>

#include "hooks.h"
#include "window.h"

namespace platform {
namespace {

std::vector<Dialog*> OpenDialogs;

// The dialog manager's input: the close command and Escape become messages to the procedure,
// and nothing closes the dialog but EndDialog.
class DialogWidget : public QDialog {
 public:
  explicit DialogWidget(Dialog* dialog) : dialog_(dialog) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    if (dialog_->boxesOpen == 0) DeliverToDialog(dialog_, WM_CLOSE, 0, 0);
  }
  void reject() override { DeliverToDialog(dialog_, WM_COMMAND, IDCANCEL, 0); }

 private:
  Dialog* dialog_;
};

// Dialog units to pixels from the font's metrics, as Windows computes its dialog base units.
struct BaseUnits {
  int x, y;
  explicit BaseUnits(const QFont& font) {
    QFontMetrics metrics(font);
    int width = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    x = (width / 26 + 1) / 2;
    y = metrics.height();
  }
  QRect Pixels(const DialogRect& r) const {
    return QRect(r.x * x / 4, r.y * y / 8, r.width * x / 4, r.height * y / 8);
  }
};

QWidget* MakeStatic(const DialogControl& control, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(false);
  bool centred = (control.style & SS_TYPEMASK) == SS_CENTER;
  label->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
  label->setText(QString::fromLocal8Bit(control.text));
  return label;
}

QWidget* MakeControl(Dialog* dialog, const DialogControl& control, Window* window) {
  QWidget* parent = dialog->widget;
  QString className = QString::fromLatin1(control.className).toLower();
  if (className == "button") {
    window->kind = WindowKind::Button;
    auto* button = new QPushButton(QString::fromLocal8Bit(control.text), parent);
    QObject::connect(button, &QPushButton::clicked, [dialog, window] {
      DeliverToDialog(dialog, WM_COMMAND, static_cast<WPARAM>(window->id),
                      reinterpret_cast<LPARAM>(HandleOf(window)));
    });
    return button;
  }
  if (className == "msctls_progress32") {
    window->kind = WindowKind::Progress;
    auto* bar = new QProgressBar(parent);
    bar->setTextVisible(false);
    bar->setRange(window->low, window->high);
    bar->setValue(window->position);
    return bar;
  }
  window->kind = WindowKind::Static;
  return MakeStatic(control, parent);
}

// A window's record starts with the template's text, in a buffer long enough for any path.
void Record(Window* window, WindowKind kind, int id, QWidget* widget, Dialog* dialog,
            const char* text) {
  constexpr size_t kTextReserve = 4096;  // PATH_MAX
  window->kind = kind;
  window->id = id;
  window->widget = widget;
  window->dialog = dialog;
  window->text.reserve(kTextReserve);
  window->text.assign(text);
}

void Build(Dialog* dialog, const DialogTemplate& layout) {
  dialog->widget = new DialogWidget(dialog);
  Record(&dialog->self, WindowKind::Dialog, 0, dialog->widget, dialog, layout.caption);
  dialog->widget->setWindowTitle(QString::fromLocal8Bit(layout.caption));
  QFont font(QString::fromLatin1(layout.fontName), layout.pointSize);
  dialog->widget->setFont(font);
  BaseUnits units(font);
  dialog->controlCount = std::min(layout.controlCount, MaxControls);
  for (int i = 0; i < dialog->controlCount; ++i) {
    const DialogControl& control = layout.controls[i];
    Window* window = &dialog->controls[i];
    Record(window, WindowKind::Static, control.id, nullptr, dialog, control.text);
    window->widget = MakeControl(dialog, control, window);
    QRect rect = units.Pixels(control.rect);
    // A fixed size keeps a text change from asking for a new layout.
    window->widget->setFixedSize(rect.size());
    window->widget->move(rect.topLeft());
    window->widget->setFocusPolicy((control.style & WS_TABSTOP) ? Qt::StrongFocus : Qt::NoFocus);
  }
  dialog->widget->setFixedSize(units.Pixels(layout.rect).size());
  dialog->widget->move(layout.rect.x, layout.rect.y);
  dialog->frame = new QTimer(dialog->widget);
  dialog->frame->setSingleShot(true);
  dialog->frame->setInterval(kFrameMs);
  QObject::connect(dialog->frame, &QTimer::timeout, [dialog] { ShowChanges(dialog); });
}

void FocusFirstTabStop(Dialog* dialog) {
  for (int i = 0; i < dialog->controlCount; ++i) {
    if (dialog->controls[i].widget->focusPolicy() == Qt::StrongFocus) {
      dialog->controls[i].widget->setFocus();
      return;
    }
  }
}

INT_PTR RunModal(Dialog* dialog, LPARAM initParam) {
  if (DeliverToDialog(dialog, WM_INITDIALOG, 0, initParam) != FALSE) FocusFirstTabStop(dialog);
  if (!dialog->ended) {
    QEventLoop loop;
    dialog->loop = &loop;
    dialog->widget->show();
    loop.exec();
    dialog->loop = nullptr;
  }
  return dialog->result;
}

}  // namespace

Window* RecordOf(HWND handle) {
  for (Dialog* dialog : OpenDialogs) {
    if (handle == HandleOf(&dialog->self)) return &dialog->self;
    for (int i = 0; i < dialog->controlCount; ++i) {
      if (handle == HandleOf(&dialog->controls[i])) return &dialog->controls[i];
    }
  }
  return nullptr;
}

Window* FindControl(HWND dialogHandle, int id) {
  Window* self = reinterpret_cast<Window*>(dialogHandle);
  if (self == nullptr || self->kind != WindowKind::Dialog) return nullptr;
  Dialog* dialog = self->dialog;
  for (int i = 0; i < dialog->controlCount; ++i) {
    if (dialog->controls[i].id == id) return &dialog->controls[i];
  }
  return nullptr;
}

bool InputHeldBack(QWidget* window) {
  for (Dialog* dialog : OpenDialogs) {
    if (dialog->widget == window) return dialog->boxesOpen > 0;
  }
  return false;
}

void StopOpenDialogs() {
  // A copy: a procedure may open or end dialogs.
  std::vector<Dialog*> open;
  for (Dialog* dialog : OpenDialogs) {
    if (dialog->ended) continue;
    dialog->stopSignalled = true;
    open.push_back(dialog);
  }
  if (AnswerOwnBoxes()) return;
  for (Dialog* dialog : open) {
    if (!dialog->ended) DeliverToDialog(dialog, WM_CLOSE, 0, 0);
  }
}

void ShowFrameNow() {
  for (Dialog* dialog : OpenDialogs) ShowChanges(dialog);
}

LRESULT DeliverToDialog(Dialog* dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return dialog->procedure(HandleOf(&dialog->self), message, wParam, lParam);
}

}  // namespace platform

using namespace platform;

// Keeps: builds the dialog from the template named, delivers WM_INITDIALOG with initParam
// (focus to the first tab stop when the procedure returns TRUE), shows it and runs its modal
// loop until EndDialog; returns EndDialog's result, or -1 when the dialog cannot be created
// (no template, or no display: then one line on stderr). Maps to a QDialog with absolutely
// placed child widgets and a QEventLoop; the caption and layout come from the template.
INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR name, HWND, DLGPROC procedure, LPARAM initParam) {
  const DialogTemplate* layout = FindTemplate(name);
  if (layout == nullptr || !EnsureApplication()) return -1;
  auto* dialog = new Dialog;
  dialog->procedure = procedure;
  Build(dialog, *layout);
  OpenDialogs.push_back(dialog);
  INT_PTR result = RunModal(dialog, initParam);
  OpenDialogs.erase(std::find(OpenDialogs.begin(), OpenDialogs.end(), dialog));
  DropQueuedCalls();
  delete dialog->widget;
  delete dialog;
  return result;
}

// Keeps: sets the dialog's result and ends its modal loop; the loop returns once the handler
// that called it, and any message box open inside that handler, have returned. Waits for the
// dialog's thread when called from another. Maps to QEventLoop::exit.
BOOL WINAPI EndDialog(HWND handle, INT_PTR result) {
  Call call;
  call.window = handle;
  call.lParam = result;
  call.work = [](Call& call) {
    Window* window = RecordOf(call.window);
    if (window == nullptr || window->kind != WindowKind::Dialog) return Complete(call, FALSE);
    window->dialog->result = call.lParam;
    window->dialog->ended = true;
    if (window->dialog->loop != nullptr) window->dialog->loop->exit();
    Complete(call, TRUE);
  };
  return static_cast<BOOL>(RunOnDialogThread(call));
}
