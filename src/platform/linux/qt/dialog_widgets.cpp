// The dialog's widgets: a QDialog with absolutely placed child widgets, laid out from the
// template in dialog units converted with the font's metrics.
#include <QtGui/QCloseEvent>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <algorithm>

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

QString Text(const std::string& text) { return QString::fromLocal8Bit(text); }

QWidget* MakeControl(Window* window, QWidget* parent) {
  Dialog* dialog = window->dialog;
  switch (window->kind) {
    case WindowKind::Button: {
      auto* button = new QPushButton(Text(window->text), parent);
      QObject::connect(button, &QPushButton::clicked,
                       [dialog, window] { CommandInput(dialog, window->id); });
      return button;
    }
    case WindowKind::Progress: {
      auto* bar = new QProgressBar(parent);
      bar->setTextVisible(false);
      bar->setRange(window->low, window->high);
      bar->setValue(window->position);
      return bar;
    }
    default: {
      auto* label = new QLabel(parent);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(false);
      bool centred = (window->control->style & SS_TYPEMASK) == SS_CENTER;
      label->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
      label->setText(Text(window->text));
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

void CreateDialog(Dialog* dialog) {
  const DialogTemplate& layout = *dialog->layout;
  auto* widget = new DialogWidget(dialog);
  dialog->self.view = ViewOf(widget);
  widget->setWindowTitle(Text(dialog->self.text));
  QFont font(QString::fromLatin1(layout.fontName), layout.pointSize);
  widget->setFont(font);
  BaseUnits units(font);
  for (int i = 0; i < dialog->controlCount; ++i) {
    Window* window = &dialog->controls[i];
    QWidget* control = MakeControl(window, widget);
    window->view = ViewOf(control);
    QRect rect = units.Pixels(window->control->rect);
    // A fixed size keeps a text change from asking for a new layout.
    control->setFixedSize(rect.size());
    control->move(rect.topLeft());
    bool tabStop = (window->control->style & WS_TABSTOP) != 0;
    control->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::NoFocus);
  }
  widget->setFixedSize(units.Pixels(layout.rect).size());
  widget->move(layout.rect.x, layout.rect.y);
}

void ShowDialog(Dialog* dialog, bool focusFirstTabStop) {
  for (int i = 0; focusFirstTabStop && i < dialog->controlCount; ++i) {
    QWidget* control = WidgetOf(&dialog->controls[i]);
    if (control->focusPolicy() == Qt::StrongFocus) {
      control->setFocus();
      break;
    }
  }
  WidgetOf(&dialog->self)->show();
}

void DestroyDialog(Dialog* dialog) { delete WidgetOf(&dialog->self); }

void ShowWindow(Window* window) {
  QWidget* widget = WidgetOf(window);
  switch (window->kind) {
    case WindowKind::Dialog:
      widget->setWindowTitle(Text(window->text));
      break;
    case WindowKind::Static:
      static_cast<QLabel*>(widget)->setText(Text(window->text));
      break;
    case WindowKind::Button:
      static_cast<QPushButton*>(widget)->setText(Text(window->text));
      break;
    case WindowKind::Progress: {
      auto* bar = static_cast<QProgressBar*>(widget);
      bar->setRange(window->low, std::max(window->low, window->high));
      bar->setValue(window->position);
      break;
    }
  }
}

void RequestFrame(Dialog* dialog) {
  QWidget* widget = WidgetOf(&dialog->self);
  if (widget != nullptr) static_cast<DialogWidget*>(widget)->frame().start();
}

}  // namespace platform::qt
