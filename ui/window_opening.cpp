#include "ui/window_opening.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>

namespace ui {
namespace {

void move_to_centre(QWidget* window) {
  const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

bool has_frame(const QWidget* window) { return window->frameGeometry() != window->geometry(); }

// Before a window is first shown its frame does not exist yet: it was centred by its own size.
// Once the window manager has put the frame around it (the window then moves or resizes), this
// centres it again by the frame, once, and goes.
class CentreByFrame : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::Show:
        break;
      case QEvent::Hide:
        deleteLater();  // closed before it was ever framed: nothing left to do
        return false;
      default:
        return false;
    }
    auto* window = static_cast<QWidget*>(watched);
    if (window->isVisible() && has_frame(window)) {
      window->removeEventFilter(this);
      deleteLater();
      move_to_centre(window);
    }
    return false;
  }
};

}  // namespace

void center_on_screen(QWidget* window) {
  move_to_centre(window);
  if (window->isVisible() && has_frame(window)) return;
  // Not framed yet: centre again by the frame once there is one. Without a window manager no
  // frame ever comes, and the first centring stands.
  for (QObject* child : window->children()) {
    if (dynamic_cast<CentreByFrame*>(child)) return;  // already waiting
  }
  window->installEventFilter(new CentreByFrame(window));
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
