// The program's life: its two program-wide values, exit_cleanup, the ways it ends and start-up.
#pragma once

#include <QMetaObject>
#include <memory>

#include "app/maker_values.h"
#include "net/text.h"
#include "update/update_client.h"

namespace app {

class MainWindow;

// Created once at start-up, before any window. Holds update_client and verification_code;
// exit_cleanup runs exactly once, when the program ends by either path: its last window
// closed, or end_program.
class Program {
 public:
  explicit Program(const MakerValues& values);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  update::UpdateClient& update_client() { return *update_client_; }
  net::Text& verification_code() { return verification_code_; }

  // Releases verification_code and destroys update_client; later calls do nothing.
  void exit_cleanup();
  bool exit_cleanup_done() const { return exit_cleanup_done_; }

  // Ends the program at once with the code: exit_cleanup, then every running event loop ends.
  // Later calls change nothing.
  void end_program(int exit_code);
  bool ended() const { return ended_; }
  int exit_code() const { return exit_code_; }

 private:
  std::unique_ptr<update::UpdateClient> update_client_;
  net::Text verification_code_;
  QMetaObject::Connection quit_connection_;
  bool exit_cleanup_done_ = false;
  bool ended_ = false;
  int exit_code_ = 0;
};

// The main window's creation handler, run after its controls exist and before it is first
// shown: page 0, then the update check, whose new-version window may end the program. When it
// did, the program has ended (exit_cleanup has run) and the answer is false: the window must
// never be shown. True when start-up goes on.
bool run_creation_handler(MainWindow& window, Program& program, const MakerValues& values);

// Start-up after the GUI runtime exists: Program, MainWindow with its creation handler, then
// the message loop while a window of the program exists. Returns the exit code.
int run_program(const MakerValues& values);

}  // namespace app
