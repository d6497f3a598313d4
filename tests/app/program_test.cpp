// The program's life: it ends when its last window is gone, or at once through end_program;
// exit_cleanup runs exactly once either way.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/program.h"
#include "tests/app/test_values.h"
#include "tests/support/qt_event_loop.h"
#include "tests/support/update_service.h"

namespace {

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { QApplication::setQuitOnLastWindowClosed(true); }
  void TearDown() override { QApplication::setQuitOnLastWindowClosed(false); }

  test_support::UpdateService service_;
  app::MakerValues values_ = test_support::loopback_values(service_.host());
};

TEST_F(ProgramTest, ClosingTheLastWindowEndsTheLoopWithCodeZeroAndCleansUpOnce) {
  app::Program program(values_);
  app::MainWindow window(values_, program.verification_code());
  app::run_creation_handler(window, program, values_);
  ASSERT_FALSE(program.ended());
  window.show();
  QTimer::singleShot(0, &window, &QWidget::close);
  EXPECT_EQ(test_support::run_event_loop(), 0);
  EXPECT_TRUE(program.exit_cleanup_done());
  EXPECT_TRUE(program.verification_code().empty());
}

TEST_F(ProgramTest, EndProgramCleansUpOnceAndLeavesTheRunningLoopWithItsCode) {
  app::Program program(values_);
  program.verification_code() = "1234";
  QTimer::singleShot(0, [&] { program.end_program(0); });
  EXPECT_EQ(test_support::run_event_loop(), 0);
  EXPECT_TRUE(program.ended());
  EXPECT_EQ(program.exit_code(), 0);
  EXPECT_TRUE(program.exit_cleanup_done());
  EXPECT_TRUE(program.verification_code().empty());
  program.end_program(3);  // a second end changes nothing
  EXPECT_EQ(program.exit_code(), 0);
}

// At start-up the program may end before any loop runs (a forced update closed); that must not
// make the next loop, such as a message box's, end before it has begun.
TEST_F(ProgramTest, EndingOutsideAnyLoopLeavesTheNextLoopAlone) {
  {
    app::Program program(values_);
    program.end_program(0);
    EXPECT_TRUE(program.ended());
    EXPECT_TRUE(program.exit_cleanup_done());
  }
  QEventLoop loop;
  bool ran = false;
  QTimer::singleShot(0, &loop, [&] {
    ran = true;
    loop.exit(7);
  });
  EXPECT_EQ(loop.exec(), 7);
  EXPECT_TRUE(ran);
}

TEST_F(ProgramTest, StartUpAsksTheUpdateServiceOnceBeforeTheWindowIsShown) {
  app::Program program(values_);
  app::MainWindow window(values_, program.verification_code());
  app::run_creation_handler(window, program, values_);
  EXPECT_FALSE(window.isVisible());
  ASSERT_EQ(service_.requests().size(), 1u);
  EXPECT_EQ(service_.requests()[0],
            "/api/checkVersion?id=00112233445566778899aabbccddeeff&version=1.1");
}

}  // namespace
