#include "ui/fixed_frame.h"

#include <QShortcut>

namespace ui {

void set_fixed_frame(QWidget* window, QSize client_size, TitleButtons buttons) {
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (buttons == TitleButtons::MinimizeAndClose) flags |= Qt::WindowMinimizeButtonHint;
  window->setWindowFlags(flags);
  window->setFixedSize(client_size);
}

void close_on_escape(QWidget* window) {
  auto* shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), window);
  shortcut->setContext(Qt::WindowShortcut);
  QObject::connect(shortcut, &QShortcut::activated, window, &QWidget::close);
}

}  // namespace ui
