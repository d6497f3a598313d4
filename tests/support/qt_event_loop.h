// Running the application's message loop in a test without ever hanging.
#pragma once

namespace test_support {

// Runs QApplication::exec() and returns its code; a loop still running after limit_ms ends with
// 99 instead, so a test that waits for the program to end fails rather than hangs.
int run_event_loop(int limit_ms = 10000);

}  // namespace test_support
