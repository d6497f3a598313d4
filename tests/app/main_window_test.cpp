// The main window: its layout, page switching, Esc, the link catalogue, the menu and the mail
// label.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "app/main_window.h"
#include "app/program.h"
#include "tests/app/test_values.h"
#include "tests/support/qt_url_recorder.h"
#include "tests/support/update_service.h"
#include "ui/hyperlink_label.h"

namespace {

using test_support::UrlRecorder;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    values_ = test_support::loopback_values(service_.host());
    program_ = std::make_unique<app::Program>(values_);
    window_ = std::make_unique<app::MainWindow>(values_, program_->verification_code());
    app::run_creation_handler(*window_, *program_, values_);
    window_->show();
  }

  template <class Control = QWidget>
  Control* find(const char* name) const {
    auto* found = window_->findChild<Control*>(QString::fromUtf8(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  test_support::UpdateService service_;
  app::MakerValues values_;
  std::unique_ptr<app::Program> program_;
  std::unique_ptr<app::MainWindow> window_;
};

QString text_of(const QWidget* control) {
  if (auto* label = qobject_cast<const QLabel*>(control)) return label->text();
  if (auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
  if (auto* group = qobject_cast<const QGroupBox*>(control)) return group->title();
  if (auto* entry = qobject_cast<const QLineEdit*>(control)) return entry->text();
  if (auto* combo = qobject_cast<const QComboBox*>(control)) return combo->currentText();
  return {};
}

struct ExpectedControl {
  const char* name;
  QRect place;
  QString text;
  const char* face;
  int pixel_height;
  std::optional<QColor> color;
};

TEST_F(MainWindowTest, EveryControlHasItsPlaceTextFontAndColour) {
  const QColor green(86, 171, 84), silver(192, 192, 192), grey(96, 96, 96), field(99, 147, 89),
      red(255, 0, 0);
  const ExpectedControl expected[] = {
      {"超级按钮1", {0, 0, 136, 56}, "首页", "方正喵呜体", 19, {}},
      {"超级按钮2", {0, 64, 136, 56}, "热门教程", "方正喵呜体", 19, {}},
      {"超级按钮4", {0, 128, 136, 56}, "赚取积分", "方正喵呜体", 19, {}},
      {"超级按钮5", {0, 192, 136, 56}, "软件大全", "方正喵呜体", 19, {}},
      {"超级按钮3", {0, 256, 136, 56}, "其他", "方正喵呜体", 19, {}},
      {"超级链接框1", {8, 368, 128, 24}, "栎湾云科技", "方正喵呜体", 14, QColor(0, 0, 255)},
      {"透明标签1", {80, 136, 400, 112}, "栎湾腕舟助手", "方正喵呜体", 35, green},
      {"透明标签2", {352, 144, 136, 48}, "bete", "方正喵呜体", 20, silver},
      {"透明标签6", {296, 200, 280, 80}, "--做最全的资源网", "方正喵呜体", 21, green},
      {"超级链接框3", {8, 352, 88, 24}, "测试下载站", "方正喵呜体", 16, QColor(0, 0, 255)},
      {"分组框1", {8, 32, 552, 96}, "小天才教程", "方正喵呜体", 16, {}},
      {"透明标签7", {32, 40, 160, 32}, "请选择一项后查看", "方正喵呜体", 16, red},
      {"代码区组合框", {208, 48, 160, 20}, "", "楷体", 14, red},
      {"按钮1", {400, 40, 80, 32}, "查看教程", "方正喵呜体", 16, {}},
      {"分组框2", {8, 136, 552, 112}, "重装系统", "方正喵呜体", 16, {}},
      {"透明标签8", {32, 40, 160, 32}, "请选择小天才系统", "方正喵呜体", 16, red},
      {"系统区组合框", {208, 48, 160, 20}, "", "楷体", 14, red},
      {"按钮2", {400, 40, 80, 32}, "下载系统", "方正喵呜体", 16, {}},
      {"透明标签9", {168, 72, 248, 32}, "提取密码为5678（进群可高速下载）", "方正喵呜体", 16, red},
      {"分组框3", {8, 256, 552, 112}, "官方软件", "方正喵呜体", 16, {}},
      {"透明标签11", {32, 40, 160, 32}, "请选择小天才软件", "方正喵呜体", 16, red},
      {"软件区组合框", {208, 48, 160, 20}, "", "楷体", 14, red},
      {"按钮3", {400, 40, 80, 32}, "下载软件", "方正喵呜体", 16, {}},
      {"透明标签10", {168, 72, 248, 32}, "（密码5678，进群可高速下载）", "方正喵呜体", 16, red},
      {"透明标签3", {24, 32, 512, 64}, "官方积分获取", "楷体", 21, grey},
      {"透明标签4", {56, 80, 448, 32}, "领取后请添加QQ:20002", "方正喵呜体", 16, red},
      {"透明标签5", {72, 136, 104, 32}, "领取ID:", "楷体", 16, field},
      {"编辑框1", {176, 136, 320, 32}, "", "方正喵呜体", 20, {}},
      {"透明标签14", {72, 208, 104, 32}, "校验码:", "楷体", 16, field},
      {"编辑框3", {176, 208, 320, 32}, "", "方正喵呜体", 20, {}},
      {"透明标签15", {64, 272, 104, 32}, "QQ:", "楷体", 16, field},
      {"编辑框4", {176, 272, 320, 32}, "", "方正喵呜体", 20, {}},
      {"按钮4", {360, 328, 128, 32}, "领取", "楷体", 16, {}},
      {"超级链接框2", {8, 360, 96, 16}, "获取KEY", "楷体", 14, QColor(0, 0, 255)},
      {"透明标签12",
       {16, 96, 544, 240},
       "立志做最全的资源网，投稿或建议请联系官方QQ，素材来源网络，如发现侵权请立即联系QQ并出示证明"
       "，一经确实，"
       "本站将立即删除内容！",
       "方正喵呜体",
       35,
       red},
      {"透明标签13",
       {8, 24, 552, 24},
       "密码:5678，也可浏览器复制：https://127.0.0.1:1/b00uamx8j",
       "方正喵呜体",
       19,
       red},
      {"高级选择夹1", {136, 0, 568, 384}, "", nullptr, 0, {}},
  };
  for (const ExpectedControl& row : expected) {
    SCOPED_TRACE(row.name);
    QWidget* control = find(row.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(), row.place);
    EXPECT_EQ(text_of(control), row.text);
    if (row.face) {
      EXPECT_EQ(control->font().family(), QString::fromUtf8(row.face));
      EXPECT_EQ(control->font().pixelSize(), row.pixel_height);
    }
    if (row.color) {
      const bool editable = qobject_cast<QComboBox*>(control) || qobject_cast<QLineEdit*>(control);
      EXPECT_EQ(control->palette().color(editable ? QPalette::Text : QPalette::WindowText),
                *row.color);
    }
  }
}

TEST_F(MainWindowTest, WindowFrameCaptionAndPages) {
  EXPECT_EQ(window_->windowTitle(), "栎湾腕舟助手");
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize()) << "fixed size";
  EXPECT_GE(window_->width(), 704);
  EXPECT_GE(window_->centralWidget()->height(), 392);
  EXPECT_TRUE(window_->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);

  auto* pages = find<QTabWidget>("高级选择夹1");
  ASSERT_EQ(pages->count(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(pages->tabText(i), QString::number(i + 1));
  EXPECT_FALSE(pages->tabBar()->isVisible());
  EXPECT_EQ(pages->currentIndex(), 0) << "the creation handler selects page 0";

  QMenu* menu = window_->menuBar()->findChildren<QMenu*>().value(0);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->title(), "关于软件");
  QStringList items;
  for (QAction* action : menu->actions()) items << action->text();
  EXPECT_EQ(items, (QStringList{"小天才协议", "官方Q群", "软件说明"}));
}

TEST_F(MainWindowTest, SideButtonsSelectTheirPages) {
  auto* pages = find<QTabWidget>("高级选择夹1");
  const std::pair<const char*, int> mapping[] = {{"超级按钮2", 1}, {"超级按钮4", 2},
                                                 {"超级按钮5", 4}, {"超级按钮3", 3},
                                                 {"超级按钮3", 3}, {"超级按钮1", 0}};
  for (const auto& [button, page] : mapping) {
    QTest::mouseClick(find<QAbstractButton>(button), Qt::LeftButton);
    EXPECT_EQ(pages->currentIndex(), page) << button;
  }
}

TEST_F(MainWindowTest, EscapeClosesTheWindow) {
  QApplication::setActiveWindow(window_.get());
  QTest::keyClick(find<QLineEdit>("编辑框1"), Qt::Key_Escape);
  EXPECT_FALSE(window_->isVisible());
}

TEST_F(MainWindowTest, EntryBoxesKeepOnlyDigitsAndMinus) {
  auto* entry = find<QLineEdit>("编辑框3");
  QTest::keyClicks(entry, "12a-3 b4");
  EXPECT_EQ(entry->text(), "12-34");
  entry->clear();
  entry->insert("x9y8-z7");  // as a paste does
  EXPECT_EQ(entry->text(), "98-7");
  EXPECT_EQ(entry->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
}

struct CatalogueCase {
  const char* list;
  const char* button;
  int index;
  const char* item;
  QString address;
};

TEST_F(MainWindowTest, EveryCatalogueRowOpensExactlyItsAddressOnce) {
  const QString jingyan = "https://jingyan.baidu.com/article/";
  const QString pan = "https://pan.baidu.com/s/";
  const CatalogueCase cases[] = {
      {"代码区组合框", "按钮1", 0, "小天才安装第三方软件",
       jingyan + "656db918baf04fa281249cd7.html"},
      {"代码区组合框", "按钮1", 1, "小天才拨号代码大全", jingyan + "27fa7326d88bba07f8271f8f.html"},
      {"代码区组合框", "按钮1", 2, "小天才连接ADB", jingyan + "4b07be3c0b2a1809b280f361.html"},
      {"代码区组合框", "按钮1", 3, "小天才自定义主题与壁纸",
       jingyan + "9f63fb91f10e9b89410f0e25.html"},
      {"代码区组合框", "按钮1", 4, "小天才Z系列自定义铃声",
       jingyan + "73c3ce28cab5b5a40343d9e5.html"},
      {"代码区组合框", "按钮1", 5, "小天才卸载预装软件", jingyan + "d621e8dae7233c6964913f42.html"},
      {"系统区组合框", "按钮2", 0, "小天才Y03", pan + "1sNhWTDOSLw254tn3Sr4xEg"},
      {"系统区组合框", "按钮2", 1, "小天才D1", pan + "1NXVLZOm0qA-o5P3v6s4lSg"},
      {"系统区组合框", "按钮2", 2, "小天才Z2", pan + "1dVACL00z2sU4omWuVIYdrg"},
      {"系统区组合框", "按钮2", 3, "小天才Z5pro", pan + "1U7U4QKzDZcM-GBmHR3QRXQ"},
      {"系统区组合框", "按钮2", 4, "小天才Z5q", pan + "1LQj5w9NcfKz8VJzPVpyfgg"},
      {"系统区组合框", "按钮2", 5, "小天才Z6", pan + "1xXptUmww08RO54dir1Zk6w"},
      {"软件区组合框", "按钮3", 0, "小天才ADB工具下载",
       "https://dl.google.com/android/repository/platform-tools-latest-windows.zip"},
      {"软件区组合框", "按钮3", 1, "应用大全", "https://127.0.0.1:1/b00uamx8j"},
  };
  for (const char* list : {"代码区组合框", "系统区组合框", "软件区组合框"}) {
    EXPECT_EQ(find<QComboBox>(list)->count(), QString(list) == "软件区组合框" ? 2 : 6) << list;
  }
  for (const CatalogueCase& row : cases) {
    SCOPED_TRACE(row.item);
    UrlRecorder recorder;
    auto* list = find<QComboBox>(row.list);
    EXPECT_EQ(list->itemText(row.index), row.item);
    list->setCurrentIndex(row.index);
    QTest::mouseClick(find<QAbstractButton>(row.button), Qt::LeftButton);
    EXPECT_EQ(recorder.opened, QStringList{row.address});
  }
}

TEST_F(MainWindowTest, NoSelectionOrTypedTextOpensNothingAndEachClickOpensOnce) {
  UrlRecorder recorder;
  auto* list = find<QComboBox>("系统区组合框");
  EXPECT_EQ(list->currentIndex(), -1);
  EXPECT_TRUE(list->currentText().isEmpty());
  QTest::mouseClick(find<QAbstractButton>("按钮2"), Qt::LeftButton);
  EXPECT_TRUE(recorder.opened.isEmpty());

  for (const QChar character :
       QStringLiteral("小天才D1")) {  // typed, as an input method delivers it
    QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
    QApplication::sendEvent(list->lineEdit(), &key);
  }
  EXPECT_EQ(list->currentText(), "小天才D1");
  QTest::mouseClick(find<QAbstractButton>("按钮2"), Qt::LeftButton);
  EXPECT_TRUE(recorder.opened.isEmpty()) << "typed text counts for nothing";

  list->setCurrentIndex(5);
  QTest::mouseClick(find<QAbstractButton>("按钮2"), Qt::LeftButton);
  QTest::mouseClick(find<QAbstractButton>("按钮2"), Qt::LeftButton);
  EXPECT_EQ(recorder.opened, QStringList(2, "https://pan.baidu.com/s/1xXptUmww08RO54dir1Zk6w"));
}

TEST_F(MainWindowTest, MenuAndLabelsOpenTheirAddresses) {
  UrlRecorder recorder;
  QMenu* menu = window_->menuBar()->findChildren<QMenu*>().value(0);
  menu->actions().at(1)->trigger();  // 官方Q群
  EXPECT_EQ(recorder.opened.value(0),
            "https://qm.qq.com/cgi-bin/qm/qr?k=TestGroupKey0123456789abcdefABCD&jump_from=webapi");

  auto* mail = find<ui::HyperlinkLabel>("超级链接框1");
  QTest::mousePress(mail, Qt::LeftButton);  // acts on the button going down
  EXPECT_EQ(recorder.opened.value(1), "mailto:20002@mail.test.example");
  EXPECT_TRUE(mail->visited());

  QTest::mousePress(find<ui::HyperlinkLabel>("超级链接框3"), Qt::LeftButton);
  EXPECT_EQ(recorder.opened.value(2), "http://www.download.test.example");
  QTest::mousePress(find<ui::HyperlinkLabel>("超级链接框2"), Qt::LeftButton);
  EXPECT_EQ(recorder.opened.value(3), "http://help.test.example");
  QTest::mousePress(mail, Qt::RightButton);
  EXPECT_EQ(recorder.opened.size(), 4) << "only the left button acts";
}

}  // namespace
