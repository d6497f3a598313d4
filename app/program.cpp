#include "app/program.h"

#include <QApplication>
#include <QThread>

#include "app/main_window.h"
#include "app/program_version.h"
#include "ui/message_box.h"
#include "ui/text_qt.h"
#include "ui/window_opening.h"
#include "update/check_for_update.h"

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
  // Only a running loop is told to end: told outside any loop, Qt would end the next one at once.
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(exit_code);
}

bool run_creation_handler(MainWindow& window, Program& program, const MakerValues& values) {
  window.show_page(0);  // the layout starts on page 4
  const update::UpdateCheck update = update::check_for_update(
      program.update_client(), values.app_id, kProgramVersion, /*show_window=*/true);
  // The new-version window is gone by now, and nothing holds the update client any more.
  if (update.end_program) program.end_program(update.exit_code);
  return !program.ended();
}

int run_program(const MakerValues& values) {
  Program program(values);                                 // update_client, verification_code
  MainWindow window(values, program.verification_code());  // controls and the page view
  if (!run_creation_handler(window, program, values)) return program.exit_code();
  ui::center_on_screen(&window);
  window.show();
  return QApplication::exec();
}

}  // namespace app
