// Start-up with the update check: the new-version window comes before the main window, or ends
// the program so that the main window is never shown.
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/main_window.h"
#include "app/program.h"
#include "tests/app/test_values.h"
#include "tests/support/qt_url_recorder.h"
#include "tests/support/update_service.h"
#include "update/new_version_window.h"

namespace {

using update::NewVersionWindow;

// What one start-up showed, in order.
struct StartUp {
  int exit_code = -1;
  bool dialog_shown = false;
  bool main_window_shown = false;
  bool main_window_shown_before_dialog_closed = false;
};

template <class Window>
Window* visible_window() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* window = qobject_cast<Window*>(widget); window && window->isVisible()) return window;
  return nullptr;
}

class UpdateStartUpTest : public ::testing::Test {
 protected:
  void SetUp() override { QApplication::setQuitOnLastWindowClosed(true); }
  void TearDown() override {
    QApplication::setQuitOnLastWindowClosed(false);
    // An end of the program outside the application's loop leaves every later loop quitting at
    // once; the application's own loop clears that state when it returns.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QApplication::exec();
  }

  // Runs the program's start-up with the service answering `reply`. `on_dialog` acts on the
  // new-version window once it is shown; the main window is closed as soon as it is shown. Every
  // wait is bounded: after 15 s the windows are closed and the loop ends with 99.
  StartUp start_up(const std::string& reply,
                   const std::function<void(NewVersionWindow&)>& on_dialog) {
    service_.set_reply(reply);
    StartUp seen;
    bool acted = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (auto* dialog = visible_window<NewVersionWindow>()) {
        seen.dialog_shown = true;
        if (visible_window<app::MainWindow>()) seen.main_window_shown_before_dialog_closed = true;
        if (!acted) {
          acted = true;
          on_dialog(*dialog);
        }
      } else if (auto* main_window = visible_window<app::MainWindow>()) {
        seen.main_window_shown = true;
        main_window->close();
      }
    });
    poll.start(5);
    QTimer guard;
    guard.setSingleShot(true);
    guard.callOnTimeout([] {
      for (QWidget* widget : QApplication::topLevelWidgets()) widget->close();
      QCoreApplication::exit(99);
    });
    guard.start(15000);
    seen.exit_code = app::run_program(values_);
    return seen;
  }

  static void press(QWidget& window, const char* label) {
    QWidget* control = window.findChild<QWidget*>(QString::fromUtf8(label));
    ASSERT_NE(control, nullptr) << label;
    QTest::mousePress(control, Qt::LeftButton, Qt::NoModifier, control->rect().center());
  }

  // Queues `count` left-button clicks (press and release) on the label, none handled yet.
  static void post_clicks(QWidget& window, const char* label, int count) {
    QWidget* control = window.findChild<QWidget*>(QString::fromUtf8(label));
    ASSERT_NE(control, nullptr) << label;
    const QPointF at = QRectF(control->rect()).center();
    for (int click = 0; click < count; ++click) {
      for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QCoreApplication::postEvent(
            control, new QMouseEvent(type, at, control->mapToGlobal(at), Qt::LeftButton,
                                     Qt::LeftButton, Qt::NoModifier));
      }
    }
  }

  test_support::UpdateService service_;
  test_support::UrlRecorder browser_;
  app::MakerValues values_ = test_support::loopback_values(service_.host());
};

TEST_F(UpdateStartUpTest, NoNewerVersionShowsMainWindowOnly) {
  const StartUp seen =
      start_up("false|false|x|http://dl.example/v2.exe|2.0", [](NewVersionWindow&) {});
  EXPECT_FALSE(seen.dialog_shown);
  EXPECT_TRUE(seen.main_window_shown);
  EXPECT_EQ(seen.exit_code, 0);
}

TEST_F(UpdateStartUpTest, NotForcedCloseShowsDialogThenMainWindow) {
  const StartUp seen = start_up("true|false|x|http://dl.example/v2.exe|2.0",
                                [](NewVersionWindow& dialog) { press(dialog, "透明标签3"); });
  EXPECT_TRUE(seen.dialog_shown);
  EXPECT_FALSE(seen.main_window_shown_before_dialog_closed);
  EXPECT_TRUE(seen.main_window_shown);
  EXPECT_EQ(seen.exit_code, 0);
}

TEST_F(UpdateStartUpTest, ForcedButClosedByTitleBarShowsMainWindow) {
  const StartUp seen = start_up("true|true|x|http://dl.example/v2.exe|2.0",
                                [](NewVersionWindow& dialog) { dialog.close(); });
  EXPECT_TRUE(seen.dialog_shown);
  EXPECT_TRUE(seen.main_window_shown);
}

TEST_F(UpdateStartUpTest, ForcedCloseEndsProgramWithoutMainWindow) {
  const StartUp seen = start_up("true|true|x|http://dl.example/v2.exe|2.0",
                                [](NewVersionWindow& dialog) { press(dialog, "透明标签3"); });
  EXPECT_TRUE(seen.dialog_shown);
  EXPECT_FALSE(seen.main_window_shown);
  EXPECT_EQ(seen.exit_code, 0);
}

TEST_F(UpdateStartUpTest, DownloadOpensAddressAndEndsProgram) {
  const StartUp seen = start_up("true|false|x|https://dl.example/wristboat-2.0.exe|2.0",
                                [](NewVersionWindow& dialog) { press(dialog, "透明标签2"); });
  EXPECT_TRUE(seen.dialog_shown);
  EXPECT_FALSE(seen.main_window_shown);
  EXPECT_EQ(seen.exit_code, 0);
  EXPECT_EQ(browser_.opened, QStringList{"https://dl.example/wristboat-2.0.exe"});
}

// With a forced update, two clicks queued on "关闭" or "点击下载" before the window has gone: the
// first ends the program, the second finds nothing to act on (the update client is gone by then).
TEST_F(UpdateStartUpTest, TwoQueuedClicksOnAForcedUpdateEndTheProgramOnce) {
  for (const char* label : {"透明标签3", "透明标签2"}) {
    SCOPED_TRACE(label);
    browser_.opened.clear();
    const StartUp seen =
        start_up("true|true|x|https://dl.example/wristboat-2.0.exe|2.0",
                 [label](NewVersionWindow& dialog) { post_clicks(dialog, label, 2); });
    EXPECT_TRUE(seen.dialog_shown);
    EXPECT_FALSE(seen.main_window_shown);
    EXPECT_EQ(seen.exit_code, 0);
    EXPECT_LE(browser_.opened.size(), 1);
  }
}

TEST_F(UpdateStartUpTest, ForcedCloseRunsExitCleanupOnceAndNeverShowsMainWindow) {
  service_.set_reply("true|true|x|http://dl.example/v2.exe|2.0");
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [] {
    if (auto* dialog = visible_window<NewVersionWindow>()) press(*dialog, "透明标签3");
  });
  poll.start(5);
  QTimer guard;
  guard.setSingleShot(true);
  guard.callOnTimeout([] {
    if (auto* dialog = visible_window<NewVersionWindow>()) dialog->close();
  });
  guard.start(15000);
  app::Program program(values_);
  app::MainWindow window(values_, program.verification_code());
  app::run_creation_handler(window, program, values_);  // shows the dialog
  EXPECT_TRUE(program.ended());
  EXPECT_EQ(program.exit_code(), 0);
  EXPECT_TRUE(program.exit_cleanup_done());
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
