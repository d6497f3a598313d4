#include "ui/window_opening.h"

#include <QGuiApplication>
#include <QScreen>

namespace ui {

void center_on_screen(QWidget* window) {
  const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

void bring_to_front(QWidget* window) {
  if (window->isMinimized()) {
    window->showNormal();
  } else {
    window->show();
    window->raise();
    window->activateWindow();
  }
}

int open_modal(QDialog& dialog) {
  dialog.setWindowModality(Qt::ApplicationModal);
  center_on_screen(&dialog);
  return dialog.exec();
}

}  // namespace ui
