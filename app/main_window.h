// The main window: side navigation, the five-page tab control, the menu and the mail label.
#pragma once

#include <QMainWindow>

#include "app/maker_values.h"
#include "app/program.h"

class QTabWidget;

namespace app {

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // Creates every control and runs the creation handler (page 0, then the update check, which
  // may end the program through `program`). The window is shown by the caller.
  MainWindow(const MakerValues& values, Program& program, QWidget* parent = nullptr);

  QTabWidget* pages() const { return pages_; }

 private:
  void create_menu();
  void create_pages();
  void connect_side_buttons();
  void connect_catalogue();
  void on_created();

  const MakerValues& values_;
  Program& program_;
  QTabWidget* pages_ = nullptr;
};

}  // namespace app
