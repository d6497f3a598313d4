#include "app/program.h"

#include <QApplication>

#include "app/main_window.h"
#include "ui/message_box.h"
#include "ui/text_qt.h"
#include "ui/window_opening.h"

namespace app {

Program::Program(const MakerValues& values)
    : update_client_(std::make_unique<update::UpdateClient>(
          values.update_host, [](const net::Text& message, const net::Text& caption) {
            ui::message_box(ui::to_qstring(message), ui::kMessageOk, ui::to_qstring(caption));
          })) {
  // exit_cleanup runs when the message loop ends because the last window has gone.
  quit_connection_ =
      QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, [this] { exit_cleanup(); });
}

Program::~Program() {
  QObject::disconnect(quit_connection_);
  exit_cleanup();
}

void Program::exit_cleanup() {
  if (exit_cleanup_done_) return;
  exit_cleanup_done_ = true;
  verification_code_.clear();
  verification_code_.shrink_to_fit();
  update_client_.reset();
}

void Program::end_program(int exit_code) {
  if (ended_) return;
  ended_ = true;
  exit_code_ = exit_code;
  exit_cleanup();
  QCoreApplication::exit(exit_code);
}

int run_program(const MakerValues& values) {
  Program program(values);
  MainWindow window(values, program);  // runs its creation handler, which may end the program
  if (program.ended()) return program.exit_code();
  ui::center_on_screen(&window);
  window.show();
  return QApplication::exec();
}

}  // namespace app
