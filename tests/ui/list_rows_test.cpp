// The layout's drop-down lists: each row is one pixel taller than a line of the list's font.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QWidget>
#include <gtest/gtest.h>

#include "ui/control_table.h"

namespace {

struct Case {
  const char* face;
  int pixel_height;
};

class ListRowsTest : public ::testing::TestWithParam<Case> {};

TEST_P(ListRowsTest, RowsAreOnePixelTallerThanTheFontsLine) {
  QWidget window;
  window.resize(400, 300);
  constexpr ui::ControlName kList{"系统区组合框"};
  const ui::ControlTable table = {
      {kList,
       ui::ControlKind::ComboBox,
       {},
       QRect(20, 20, 160, 20),
       {},
       ui::FontSpec{QString::fromUtf8(GetParam().face), GetParam().pixel_height},
       Qt::red},
  };
  const auto controls = ui::build_controls(&window, table);
  auto* combo = controls.find<QComboBox>(kList);
  ASSERT_NE(combo, nullptr);
  combo->addItems(
      {QStringLiteral("小天才Y03"), QStringLiteral("小天才D1"), QStringLiteral("小天才Z6")});
  window.show();
  combo->showPopup();
  const int row = QFontMetrics(combo->font()).height() + 1;
  EXPECT_EQ(combo->font().pixelSize(), GetParam().pixel_height);
  for (int i = 0; i < combo->count(); ++i) {
    EXPECT_EQ(combo->view()->visualRect(combo->model()->index(i, 0)).height(), row) << i;
  }
  combo->hidePopup();

  // The rows follow the font when it changes.
  QFont larger = combo->font();
  larger.setPixelSize(GetParam().pixel_height + 6);
  combo->setFont(larger);
  combo->showPopup();
  EXPECT_EQ(combo->view()->visualRect(combo->model()->index(0, 0)).height(),
            QFontMetrics(larger).height() + 1);
  combo->hidePopup();
}

INSTANTIATE_TEST_SUITE_P(Fonts, ListRowsTest,
                         ::testing::Values(Case{"楷体", 14}, Case{"方正喵呜体", 16},
                                           Case{"楷体", 24}));

}  // namespace
