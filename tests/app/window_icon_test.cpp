// The program's icon: every hicolor size from the resources, shown by all five windows.
#include <QApplication>
#include <QIcon>
#include <QWindow>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/about_window.h"
#include "app/agreement_window.h"
#include "app/author_window.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/program_icon.h"
#include "tests/app/secondary_windows.h"
#include "tests/app/test_values.h"
#include "tests/support/update_service.h"
#include "update/new_version_window.h"
#include "update/update_client.h"

namespace {

constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

TEST(ProgramIcon, HoldsEveryHicolorSize) {
  const QIcon icon = app::program_icon();
  ASSERT_FALSE(icon.isNull());
  for (const int size : kIconSizes) {
    SCOPED_TRACE(size);
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
    const QImage picture = icon.pixmap(QSize(size, size)).toImage();
    EXPECT_EQ(picture.size(), QSize(size, size));
    EXPECT_TRUE(picture.hasAlphaChannel());
    EXPECT_LT(qAlpha(picture.pixel(0, 0)), 8);  // the tile's corners are cut round
    EXPECT_EQ(qAlpha(picture.pixel(size / 2, size / 2)), 255);
  }
}

TEST(ProgramIcon, EveryWindowShowsIt) {
  QApplication::setWindowIcon(app::program_icon());
  test_support::UpdateService service;
  const app::MakerValues values = test_support::loopback_values(service.host());
  app::Program program(values);
  update::UpdateClient client(service.host(), [](const net::Text&, const net::Text&) {});
  client.连接(values.app_id, "1.1");

  std::vector<test_support::WindowMaker> windows = test_support::secondary_windows(values, client);
  windows.push_back({"MainWindow", [&] {
                       auto window =
                           std::make_unique<app::MainWindow>(values, program.verification_code());
                       app::run_creation_handler(*window, program, values);
                       return window;
                     }});
  for (const auto& each : windows) {
    SCOPED_TRACE(each.window);
    const std::unique_ptr<QWidget> window = each.make();
    window->show();
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_EQ(window->windowIcon().availableSizes(), app::program_icon().availableSizes());
    ASSERT_NE(window->windowHandle(), nullptr);
    EXPECT_FALSE(window->windowHandle()->icon().isNull());  // what the window manager is given
    window->close();
  }
}

}  // namespace
