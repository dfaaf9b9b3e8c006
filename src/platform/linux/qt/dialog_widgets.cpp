// The dialog's widgets: a QDialog with absolutely placed child widgets, laid out from the
// template in dialog units converted with the font's metrics.
#include <QtGui/QCloseEvent>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <algorithm>
#include <vector>

#include "views.h"

namespace platform::qt {
namespace {

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

QString Text(const char* text) { return QString::fromLocal8Bit(text); }

// The dialogs shown, the newest last.
std::vector<DialogWidget*> Widgets;

QWidget* MakeControl(Dialog* dialog, const DialogControl& control, QWidget* parent) {
  switch (ClassOf(control)) {
    case ControlClass::kButton: {
      auto* button = new QPushButton(Text(control.text), parent);
      int id = control.id;
      QObject::connect(button, &QPushButton::clicked, [dialog, id] { CommandInput(dialog, id); });
      return button;
    }
    case ControlClass::kProgress: {
      auto* bar = new QProgressBar(parent);
      bar->setTextVisible(false);
      bar->setRange(0, 100);  // Win32's initial range
      bar->setValue(0);
      return bar;
    }
    default: {
      auto* label = new QLabel(parent);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(false);
      bool centred = (control.style & SS_TYPEMASK) == SS_CENTER;
      label->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
      label->setText(Text(control.text));
      return label;
    }
  }
}

}  // namespace

DialogWidget::DialogWidget(Dialog* dialog) : dialog_(dialog) {
  frame_.setSingleShot(true);
  frame_.setInterval(kFrameMs);
  QObject::connect(&frame_, &QTimer::timeout, [dialog] { ShowChanges(dialog); });
}

void DialogWidget::closeEvent(QCloseEvent* event) {
  event->ignore();
  CloseInput(dialog_);
}

void DialogWidget::reject() { CommandInput(dialog_, IDCANCEL); }

DialogWidget* WidgetOf(const Dialog* dialog) {
  for (DialogWidget* widget : Widgets) {
    if (widget->dialog() == dialog) return widget;
  }
  return nullptr;
}

void MakeViews(Dialog* dialog, const DialogTemplate& layout) {
  auto* widget = new DialogWidget(dialog);
  Widgets.push_back(widget);
  widget->setWindowTitle(Text(layout.caption));
  QFont font(QString::fromLatin1(layout.fontName), layout.pointSize);
  widget->setFont(font);
  BaseUnits units(font);
  widget->controlCount = layout.controlCount;
  for (int i = 0; i < layout.controlCount; ++i) {
    const DialogControl& control = layout.controls[i];
    QWidget* view = MakeControl(dialog, control, widget);
    widget->controls[i] = view;
    widget->classes[i] = ClassOf(control);
    QRect rect = units.Pixels(control.rect);
    // A fixed size keeps a text change from asking for a new layout.
    view->setFixedSize(rect.size());
    view->move(rect.topLeft());
    bool tabStop = (control.style & WS_TABSTOP) != 0;
    view->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::NoFocus);
  }
  widget->setFixedSize(units.Pixels(layout.rect).size());
  widget->move(layout.rect.x, layout.rect.y);
}

void Reveal(Dialog* dialog, bool focusFirstTabStop) {
  DialogWidget* widget = WidgetOf(dialog);
  for (int i = 0; focusFirstTabStop && i < widget->controlCount; ++i) {
    if (widget->controls[i]->focusPolicy() == Qt::StrongFocus) {
      widget->controls[i]->setFocus();
      break;
    }
  }
  widget->show();
}

void DropViews(Dialog* dialog) {
  DialogWidget* widget = WidgetOf(dialog);
  Widgets.erase(std::find(Widgets.begin(), Widgets.end(), widget));
  delete widget;
}

void ShowState(Dialog* dialog, int index, const ShownState& state) {
  DialogWidget* widget = WidgetOf(dialog);
  if (index == kCaptionIndex) return widget->setWindowTitle(Text(state.text));
  QWidget* view = widget->controls[index];
  switch (widget->classes[index]) {
    case ControlClass::kStatic:
      static_cast<QLabel*>(view)->setText(Text(state.text));
      break;
    case ControlClass::kButton:
      static_cast<QPushButton*>(view)->setText(Text(state.text));
      break;
    case ControlClass::kProgress: {
      auto* bar = static_cast<QProgressBar*>(view);
      bar->setRange(state.low, std::max(state.low, state.high));
      bar->setValue(state.position);
      break;
    }
  }
}

void RequestFrame(Dialog* dialog) {
  DialogWidget* widget = WidgetOf(dialog);
  if (widget != nullptr) widget->frame().start();
}

}  // namespace platform::qt
