// The main window: side navigation, the five-page tab control, the menu and the mail label.
#pragma once

#include <QMainWindow>

#include "app/maker_values.h"
#include "net/text.h"

class QTabWidget;

namespace app {

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // Creates every control, the points claim (which keeps its code in `verification_code`, which
  // must outlive the window) and the page view, which starts loading the share. The window stays
  // on the layout's own page 4 and hidden: the creation handler and showing are the start-up's.
  MainWindow(const MakerValues& values, net::Text& verification_code, QWidget* parent = nullptr);

  QTabWidget* pages() const { return pages_; }
  void show_page(int index);

 private:
  const MakerValues& values_;
  QTabWidget* pages_ = nullptr;
};

}  // namespace app
