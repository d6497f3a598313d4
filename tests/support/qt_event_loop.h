// Running the application's message loop in a test without ever hanging.
#pragma once

namespace test_support {

// Runs QApplication::exec() and returns its code; a loop still running after limit_ms ends with
// 99 instead, so a test that waits for the program to end fails rather than hangs. The limit only
// catches a hang: it is far beyond what a run takes on a machine four times slower, sanitized.
int run_event_loop(int limit_ms = 30000);

}  // namespace test_support
