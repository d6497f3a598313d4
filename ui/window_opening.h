// Opening top-level windows: modeless (at most one of each kind) or modal, centred on the screen.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <utility>

namespace ui {

// Centres a top-level window on the screen it is on.
void center_on_screen(QWidget* window);

// Brings an existing window forward: restored when minimised, else raised and activated.
void bring_to_front(QWidget* window);

// The one open window of a kind, null when none is open.
template <class Window>
QPointer<Window>& open_instance() {
  static QPointer<Window> window;
  return window;
}

// Opens a window of type Window without owner, or brings the open one forward. The window is
// destroyed when closed; the next call then creates a new one.
template <class Window, class... Args>
Window* open_modeless(Args&&... args) {
  QPointer<Window>& open_window = open_instance<Window>();
  if (open_window) {
    bring_to_front(open_window);
    return open_window;
  }
  open_window = new Window(std::forward<Args>(args)...);
  open_window->setAttribute(Qt::WA_DeleteOnClose);
  center_on_screen(open_window);
  open_window->show();
  return open_window;
}

// Runs a dialog application-modal, centred, and returns when it has been closed.
int open_modal(QDialog& dialog);

}  // namespace ui
