// The layout-table builder: every row becomes a control in its place, inside its parent; a wrong
// table is an error, and a window asking for a control it does not have stops at once.
#include "ui/control_table.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include "ui/flat_button.h"
#include "ui/hyperlink_label.h"
#include "ui/transparent_label.h"

namespace {

using ui::ControlKind;
using ui::ControlName;
using ui::kClientArea;

constexpr ControlName kGroup{"分组框1"};
constexpr ControlName kCaption{"透明标签7"};
constexpr ControlName kList{"代码区组合框"};
constexpr ControlName kButton{"按钮1"};
constexpr ControlName kEntry{"编辑框1"};
constexpr ControlName kPage{"页0"};
constexpr ControlName kMistyped{"按扭1"};

const QColor kRed{255, 0, 0};

ui::ControlTable group_table() {
  // clang-format off
  return {
      {kGroup,   ControlKind::GroupBox,         kPage,       {8, 32, 552, 96},   "小天才教程",       {"方正喵呜体", 16}, {}},
      {kCaption, ControlKind::TransparentLabel, kGroup,      {32, 40, 160, 32},  "请选择一项后查看", {"方正喵呜体", 16}, kRed},
      {kList,    ControlKind::ComboBox,         kGroup,      {208, 48, 160, 20}, "",                 {"楷体", 14},       kRed},
      {kButton,  ControlKind::PushButton,       kGroup,      {400, 40, 80, 32},  "查看教程",         {"方正喵呜体", 16, true}, {}},
      {kEntry,   ControlKind::EntryBox,         kClientArea, {176, 136, 320, 32}, "",                {},                 {}},
  };
  // clang-format on
}

TEST(ControlTable, BuildsEveryRowInItsParentAndPlace) {
  QWidget window;
  auto* page = new QWidget(&window);
  ui::Controls containers;
  containers.add(kPage, page);
  const ui::BuiltControls built = ui::try_build_controls(&window, group_table(), containers);
  ASSERT_TRUE(built.error.isEmpty()) << built.error.toStdString();
  const ui::Controls& controls = built.controls;

  QGroupBox* group = controls.find<QGroupBox>(kGroup);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->parentWidget(), page);
  EXPECT_EQ(group->title(), "小天才教程");
  EXPECT_EQ(group->objectName(), "分组框1");

  const struct {
    ControlName name;
    QWidget* parent;
    QRect place;
  } places[] = {
      {kGroup, page, {8, 32, 552, 96}},       {kCaption, group, {32, 40, 160, 32}},
      {kList, group, {208, 48, 160, 20}},     {kButton, group, {400, 40, 80, 32}},
      {kEntry, &window, {176, 136, 320, 32}},
  };
  for (const auto& expected : places) {
    SCOPED_TRACE(expected.name.layout());
    QWidget* control = controls.find(expected.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->objectName(), expected.name.text());
    EXPECT_EQ(control->parentWidget(), expected.parent);
    EXPECT_EQ(control->geometry(), expected.place);
  }

  QPushButton* button = controls.find<QPushButton>(kButton);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->font().family(), "方正喵呜体");
  EXPECT_EQ(button->font().pixelSize(), 16);
  EXPECT_TRUE(button->font().bold());
  EXPECT_EQ(controls.get<QLineEdit>(kEntry).font(), window.font());  // no face: the window's own

  // Labels take the colour as text colour; editable controls as text on white.
  EXPECT_EQ(controls.get<ui::TransparentLabel>(kCaption).palette().color(QPalette::WindowText),
            kRed);
  QComboBox& list = controls.get<QComboBox>(kList);
  EXPECT_EQ(list.palette().color(QPalette::Text), kRed);
  EXPECT_EQ(list.palette().color(QPalette::Base), QColor(Qt::white));
  EXPECT_TRUE(list.isEditable());
  EXPECT_EQ(controls.get<QLineEdit>(kEntry).alignment(), Qt::AlignCenter);
}

TEST(ControlTable, EachKindMakesItsWidget) {
  const struct {
    ControlKind kind;
    const char* class_name;
  } kinds[] = {
      {ControlKind::FlatButton, "ui::FlatButton"},
      {ControlKind::PushButton, "QPushButton"},
      {ControlKind::TransparentLabel, "ui::TransparentLabel"},
      {ControlKind::Label, "QLabel"},
      {ControlKind::HyperlinkLabel, "ui::HyperlinkLabel"},
      {ControlKind::GroupBox, "QGroupBox"},
      {ControlKind::ComboBox, "QComboBox"},
      {ControlKind::EntryBox, "QLineEdit"},
      {ControlKind::TextBox, "QPlainTextEdit"},
      {ControlKind::PictureBox, "QLabel"},
      {ControlKind::PictureButton, "QPushButton"},
  };
  for (const auto& each : kinds) {
    SCOPED_TRACE(each.class_name);
    QWidget window;
    const ui::BuiltControls built = ui::try_build_controls(
        &window, {{kButton, each.kind, kClientArea, {0, 0, 10, 10}, "x", {}, {}}});
    ASSERT_TRUE(built.error.isEmpty());
    EXPECT_STREQ(built.controls.get(kButton).metaObject()->className(), each.class_name);
  }
}

TEST(ControlTable, AWrongTableIsAnErrorNamingTheRow) {
  const struct {
    const char* label;
    ui::ControlTable table;
    QString error;
  } cases[] = {
      {"unknown parent",
       {{kCaption, ControlKind::TransparentLabel, kGroup, {0, 0, 10, 10}, "x", {}, {}}},
       "透明标签7: unknown parent 分组框1"},
      {"parent only later in the table",
       {{kCaption, ControlKind::TransparentLabel, kGroup, {0, 0, 10, 10}, "x", {}, {}},
        {kGroup, ControlKind::GroupBox, kClientArea, {0, 0, 10, 10}, "x", {}, {}}},
       "透明标签7: unknown parent 分组框1"},
      {"name used twice",
       {{kButton, ControlKind::PushButton, kClientArea, {0, 0, 10, 10}, "x", {}, {}},
        {kButton, ControlKind::PushButton, kClientArea, {0, 20, 10, 10}, "y", {}, {}}},
       "按钮1: the name is used twice"},
      {"no name",
       {{ControlName{}, ControlKind::Label, kClientArea, {0, 0, 10, 10}, "x", {}, {}}},
       "a control without a name"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.label);
    QWidget window;
    const ui::BuiltControls built = ui::try_build_controls(&window, test.table);
    EXPECT_EQ(built.error, test.error);
    // Nothing lands in the window in place of the wrong row.
    EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("透明标签7")), nullptr);
  }
}

TEST(ControlTable, FindAnswersNullForAMissingOrMistypedControl) {
  QWidget window;
  const ui::Controls controls = ui::build_controls(
      &window, {{kButton, ControlKind::PushButton, kClientArea, {0, 0, 10, 10}, "x", {}, {}}});
  EXPECT_NE(controls.find<QPushButton>(kButton), nullptr);
  EXPECT_EQ(controls.find<QPushButton>(kMistyped), nullptr);
  EXPECT_EQ(controls.find<QLineEdit>(kButton), nullptr);  // there, but of another class
}

using ControlTableDeathTest = ::testing::Test;

// A window wiring a control its table does not have is a fault that must show in the first test
// that builds the window, not a silent null.
TEST_F(ControlTableDeathTest, GetStopsTheProgramForAMissingOrMistypedControl) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto build = [] {
    static QWidget window;
    return ui::build_controls(
        &window, {{kButton, ControlKind::PushButton, kClientArea, {0, 0, 10, 10}, "x", {}, {}}});
  };
  EXPECT_DEATH(build().get<QPushButton>(kMistyped), "no control 按扭1 of class QPushButton");
  EXPECT_DEATH(build().get<QLineEdit>(kButton), "no control 按钮1 of class QLineEdit");
}

TEST_F(ControlTableDeathTest, BuildStopsTheProgramForAWrongTable) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        QWidget window;
        ui::build_controls(
            &window,
            {{kCaption, ControlKind::TransparentLabel, kGroup, {0, 0, 10, 10}, "x", {}, {}}});
      },
      "unknown parent");
}

}  // namespace
