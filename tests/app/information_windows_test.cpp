// The about, author and agreement windows: layouts, the language toggle, single instances, the
// program's life with them open, the chat and song addresses, the legal texts and the pictures.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/about_window.h"
#include "app/agreement_window.h"
#include "app/author_window.h"
#include "app/main_window.h"
#include "app/program.h"
#include "net/encoding.h"
#include "tests/app/test_values.h"
#include "tests/support/qt_event_loop.h"
#include "tests/support/qt_url_recorder.h"
#include "tests/support/update_service.h"
#include "ui/hyperlink_label.h"
#include "ui/jpeg_image.h"
#include "ui/window_opening.h"

namespace {

using app::AboutWindow;
using app::AgreementWindow;
using app::AuthorWindow;

const app::MakerValues kValues = test_support::loopback_values("127.0.0.1:9");

// The about texts as they must be held, byte for byte (group number 200000002).
const net::Text kEnglishText =
    "A Wristboat assistant (hereinafter referred to as assistant)\n\n\r\n"
    "1. The assistant will not collect your personal information\r\n\n\n"
    "2. The assistant software is completely free\n\n\r\n"
    "3. Official QQ group: 200000002\r\n\n\n";
const char* const kChineseTextUtf8 =
    "栎湾云腕舟助手(以下简称\"助手\")\r\n"
    "1.助手不会收集您的个人信息\r\n"
    "2.助手软件完全免费\r\n"
    "3.助手官方QQ群：200000002\r\n";

template <class Control = QWidget>
Control* find(const QWidget* window, const char* name) {
  auto* found = window->findChild<Control*>(QString::fromUtf8(name));
  EXPECT_NE(found, nullptr) << name;
  return found;
}

// Windows closed during a test are deleted on the next pass of the loop; do it now.
void delete_closed_windows() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int visible_windows_of(const char* class_name) {
  int count = 0;
  for (const QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible() && widget->inherits(class_name)) ++count;
  }
  return count;
}

class InformationWindowsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (QWidget* widget : QApplication::topLevelWidgets()) widget->close();
    delete_closed_windows();
  }
};

// ---- Layouts ------------------------------------------------------------------------------

struct ExpectedControl {
  const char* name;
  const char* class_name;
  QRect place;
  QString text;  // label or button text, the picture button's accessible name, a text box's content
  QString face;  // empty: the window's default font
  int pixel_height = 0;
  bool bold = false;
  std::optional<QColor> color;
};

struct ExpectedWindow {
  const char* what;
  std::function<QWidget*()> open;
  QString caption;
  QSize client_size;
  std::vector<ExpectedControl> controls;
};

QString text_of(const QWidget* control) {
  if (auto* box = qobject_cast<const QPlainTextEdit*>(control)) return box->toPlainText();
  if (auto* label = qobject_cast<const QLabel*>(control)) return label->text();
  if (auto* button = qobject_cast<const QAbstractButton*>(control)) {
    return button->text().isEmpty() ? button->accessibleName() : button->text();
  }
  return {};
}

std::vector<ExpectedWindow> expected_windows() {
  const QString miaowu = QStringLiteral("方正喵呜体"), kai = QStringLiteral("楷体");
  const QColor green{86, 171, 84}, red{255, 0, 0};
  return {
      {"about",
       [] { return ui::open_modeless<AboutWindow>(kValues); },
       "关于助手",
       {528, 320},
       {
           {"透明标签1",
            "ui::TransparentLabel",
            {56, -8, 400, 88},
            "关于栎湾腕舟助手",
            miaowu,
            35,
            false,
            green},
           {"透明标签2",
            "ui::TransparentLabel",
            {360, 0, 136, 48},
            "bete",
            miaowu,
            20,
            false,
            QColor(192, 192, 192)},
           {"超级按钮2", "ui::FlatButton", {416, 40, 56, 16}, "简体中文", {}, 0, false, {}},
           {"超级按钮1", "ui::FlatButton", {472, 40, 56, 16}, "English", {}, 0, false, {}},
           {"编辑框1",
            "QPlainTextEdit",
            {8, 64, 512, 232},
            "栎湾云腕舟助手(以下简称\"助手\")\n1.助手不会收集您的个人信息\n2.助手软件完全免费\n"
            "3.助手官方QQ群：200000002\n",
            miaowu,
            32,
            false,
            red},
           {"超级链接框1", "ui::HyperlinkLabel", {0, 296, 96, 24}, "关于作者", kai, 14, false, {}},
       }},
      {"author",
       [] { return ui::open_modeless<AuthorWindow>(kValues); },
       "关于作者",
       {420, 150},
       {
           {"图片框2", "QLabel", {8, 8, 50, 50}, "", {}, 0, false, {}},
           {"透明标签1",
            "ui::TransparentLabel",
            {64, 24, 96, 32},
            "栎湾小舟",
            kai,
            19,
            false,
            QColor(144, 0, 255)},
           {"图片框1", "QLabel", {168, 24, 89, 20}, "", {}, 0, false, {}},
           {"图片框3", "QLabel", {264, 24, 41, 22}, "", {}, 0, false, {}},
           {"透明标签2",
            "ui::TransparentLabel",
            {8, 64, 400, 40},
            "爱折腾手表的小程序员，愿大家玩得开心！",
            kai,
            19,
            false,
            red},
           {"图形按钮1", "QPushButton", {80, 112, 77, 22}, "QQ交谈", {}, 0, false, {}},
           {"超级链接框1", "ui::HyperlinkLabel", {248, 112, 64, 24}, "QQ音乐", {}, 0, false, {}},
       }},
      {"agreement",
       [] { return ui::open_modeless<AgreementWindow>(); },
       "小天才协议",
       {582, 341},
       {
           {"编辑框1",
            "QPlainTextEdit",
            {8, 8, 280, 328},
            app::terms_of_use_text(),
            kai,
            16,
            true,
            green},
           {"编辑框2",
            "QPlainTextEdit",
            {296, 8, 280, 328},
            app::copyright_notice_text(),
            kai,
            16,
            true,
            green},
       }},
  };
}

TEST_F(InformationWindowsTest, EachWindowHasItsTableOfControlsInAFixedCentredFrame) {
  for (const ExpectedWindow& expected : expected_windows()) {
    SCOPED_TRACE(expected.what);
    QWidget* window = expected.open();
    EXPECT_EQ(window->windowTitle(), expected.caption);
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->parentWidget(), nullptr);
    EXPECT_TRUE(window->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(window->size(), expected.client_size);
    EXPECT_EQ(window->minimumSize(), expected.client_size);
    EXPECT_EQ(window->maximumSize(), expected.client_size);
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowStaysOnTopHint));
    // Centred as it is shown; the frame's own margins are known only afterwards.
    const QPoint off_centre =
        window->frameGeometry().center() - window->screen()->availableGeometry().center();
    EXPECT_LE(std::abs(off_centre.x()), 4);
    EXPECT_LE(std::abs(off_centre.y()), 4);

    const QRect client({0, 0}, expected.client_size);
    for (const ExpectedControl& control : expected.controls) {
      SCOPED_TRACE(control.name);
      QWidget* widget = find(window, control.name);
      ASSERT_NE(widget, nullptr);
      EXPECT_STREQ(widget->metaObject()->className(), control.class_name);
      EXPECT_EQ(widget->parentWidget(), window);
      EXPECT_EQ(widget->geometry(), control.place);
      // Only the about window's title reaches above the client area, as its layout places it.
      if (control.place.top() >= 0) {
        EXPECT_TRUE(client.contains(control.place));
      }
      EXPECT_EQ(text_of(widget), control.text);
      if (!control.face.isEmpty()) {
        EXPECT_EQ(widget->font().family(), control.face);
        EXPECT_EQ(widget->font().pixelSize(), control.pixel_height);
        EXPECT_EQ(widget->font().bold(), control.bold);
      }
      if (control.color) {
        if (qobject_cast<QPlainTextEdit*>(widget)) {
          EXPECT_EQ(widget->palette().color(QPalette::Text), *control.color);
          EXPECT_EQ(widget->palette().color(QPalette::Base), QColor(Qt::white));
        } else {
          EXPECT_EQ(widget->palette().color(QPalette::WindowText), *control.color);
        }
      }
    }
  }
}

TEST_F(InformationWindowsTest, EscClosesEachWindowAndEnterLeavesTheFocusWhereItIs) {
  for (const ExpectedWindow& expected : expected_windows()) {
    SCOPED_TRACE(expected.what);
    QPointer<QWidget> window = expected.open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QWidget* focused = QApplication::focusWidget();
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), focused);
    EXPECT_TRUE(window->isVisible());
    QTest::keyClick(window, Qt::Key_Escape);
    delete_closed_windows();
    EXPECT_TRUE(window.isNull());
  }
}

// ---- About window -------------------------------------------------------------------------

QStringList drawn_blocks(const QPlainTextEdit* box) {
  QStringList blocks;
  for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
    blocks.append(block.text());
  }
  return blocks;
}

TEST_F(InformationWindowsTest, AboutTextsAreHeldByteForByte) {
  EXPECT_EQ(app::about_text_english(kValues), kEnglishText);
  const net::Text chinese = app::about_text_chinese(kValues);
  EXPECT_EQ(chinese, net::utf8_to_gbk(kChineseTextUtf8));
  // One-byte ASCII parentheses and quotation marks, a two-byte full-width colon.
  EXPECT_NE(chinese.find("(\xD2\xD4"), net::Text::npos);              // "(以"
  EXPECT_NE(chinese.find("\"\xD6\xFA\xCA\xD6\")"), net::Text::npos);  // "\"助手\")"
  EXPECT_NE(chinese.find("QQ\xC8\xBA\xA3\xBA"
                         "200000002\r\n"),
            net::Text::npos);  // "QQ群："
  EXPECT_EQ(chinese.substr(chinese.size() - 2), "\r\n");
}

TEST_F(InformationWindowsTest, LanguageButtonsReplaceTheWholeTextAndEachItemStartsALine) {
  AboutWindow* about = ui::open_modeless<AboutWindow>(kValues);
  auto* box = find<QPlainTextEdit>(about, "编辑框1");
  EXPECT_EQ(about->shown_text(), net::utf8_to_gbk(kChineseTextUtf8));

  const QStringList english_lines{"A Wristboat assistant (hereinafter referred to as assistant)",
                                  "1. The assistant will not collect your personal information",
                                  "2. The assistant software is completely free",
                                  "3. Official QQ group: 200000002", ""};
  const QStringList chinese_lines{"栎湾云腕舟助手(以下简称\"助手\")", "1.助手不会收集您的个人信息",
                                  "2.助手软件完全免费", "3.助手官方QQ群：200000002", ""};
  struct Step {
    const char* button;
    net::Text text;
    QStringList lines;
  };
  const Step steps[] = {{"超级按钮1", kEnglishText, english_lines},
                        {"超级按钮1", kEnglishText, english_lines},  // the shown language again
                        {"超级按钮2", net::utf8_to_gbk(kChineseTextUtf8), chinese_lines},
                        {"超级按钮1", kEnglishText, english_lines}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.button);
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
    QTest::mouseClick(find<QAbstractButton>(about, step.button), Qt::LeftButton);
    EXPECT_EQ(about->shown_text(), step.text);
    EXPECT_EQ(drawn_blocks(box), step.lines);
    EXPECT_EQ(box->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(box->isReadOnly());
  }
}

TEST_F(InformationWindowsTest, ReopenedAboutWindowShowsTheChineseTextAgain) {
  QPointer<AboutWindow> first = ui::open_modeless<AboutWindow>(kValues);
  QTest::mouseClick(find<QAbstractButton>(first, "超级按钮1"), Qt::LeftButton);
  ASSERT_EQ(first->shown_text(), kEnglishText);
  first->close();
  delete_closed_windows();
  ASSERT_TRUE(first.isNull());

  AboutWindow* second = ui::open_modeless<AboutWindow>(kValues);
  EXPECT_EQ(second->shown_text(), net::utf8_to_gbk(kChineseTextUtf8));
  EXPECT_EQ(find<QPlainTextEdit>(second, "编辑框1")->toPlainText(),
            "栎湾云腕舟助手(以下简称\"助手\")\n1.助手不会收集您的个人信息\n2.助手软件完全免费\n"
            "3.助手官方QQ群：200000002\n");
}

TEST_F(InformationWindowsTest, AuthorLinkOpensOneAuthorWindowAndBringsItToTheFront) {
  AboutWindow* about = ui::open_modeless<AboutWindow>(kValues);
  auto* link = find<ui::HyperlinkLabel>(about, "超级链接框1");
  QTest::mousePress(link, Qt::RightButton);
  EXPECT_EQ(visible_windows_of("app::AuthorWindow"), 0);  // only the left button acts

  QTest::mousePress(link, Qt::LeftButton);  // acts on the button going down
  QPointer<AuthorWindow> author = ui::open_instance<AuthorWindow>();
  ASSERT_FALSE(author.isNull());
  EXPECT_EQ(visible_windows_of("app::AuthorWindow"), 1);
  EXPECT_EQ(author->parentWidget(), nullptr);

  about->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(about));
  QTest::mousePress(link, Qt::LeftButton);
  EXPECT_EQ(visible_windows_of("app::AuthorWindow"), 1);
  EXPECT_EQ(ui::open_instance<AuthorWindow>(), author);
  EXPECT_TRUE(QTest::qWaitForWindowActive(author));

  author->showMinimized();
  QTest::mousePress(link, Qt::LeftButton);
  EXPECT_FALSE(author->isMinimized());
  EXPECT_EQ(visible_windows_of("app::AuthorWindow"), 1);

  about->close();  // the author window stays open on its own
  delete_closed_windows();
  ASSERT_FALSE(author.isNull());
  EXPECT_TRUE(author->isVisible());
}

// ---- The program's life -------------------------------------------------------------------

class ProgramLifeTest : public InformationWindowsTest {
 protected:
  void SetUp() override { QApplication::setQuitOnLastWindowClosed(true); }
  void TearDown() override {
    QApplication::setQuitOnLastWindowClosed(false);
    InformationWindowsTest::TearDown();
  }

  test_support::UpdateService service_;
  app::MakerValues values_ = test_support::loopback_values(service_.host());
};

QAction* menu_item(const QMainWindow& window, const QString& text) {
  for (QAction* top : window.menuBar()->actions()) {
    if (!top->menu()) continue;
    for (QAction* item : top->menu()->actions()) {
      if (item->text() == text) return item;
    }
  }
  ADD_FAILURE() << "no menu item " << text.toStdString();
  return nullptr;
}

TEST_F(ProgramLifeTest, ClosingTheMainWindowLeavesTheProgramRunningUntilTheAboutWindowCloses) {
  app::Program program(values_);
  app::MainWindow main_window(values_, program.verification_code());
  app::run_creation_handler(main_window, program, values_);
  main_window.show();
  QPointer<AboutWindow> about;
  bool ran_after_main_window_closed = false;
  QTimer::singleShot(0, &main_window, [&] {
    menu_item(main_window, QStringLiteral("软件说明"))->trigger();
    about = ui::open_instance<AboutWindow>();
    main_window.close();
    QTimer::singleShot(0, [&] {
      ran_after_main_window_closed = true;
      EXPECT_FALSE(program.exit_cleanup_done());
      ASSERT_FALSE(about.isNull());
      EXPECT_TRUE(about->isVisible());
      about->close();
    });
  });
  EXPECT_EQ(test_support::run_event_loop(), 0);
  EXPECT_TRUE(ran_after_main_window_closed);
  EXPECT_TRUE(program.exit_cleanup_done());
}

TEST_F(ProgramLifeTest, MenuOpensEachInformationWindowOnce) {
  app::Program program(values_);
  app::MainWindow main_window(values_, program.verification_code());
  app::run_creation_handler(main_window, program, values_);
  main_window.show();
  for (int round = 0; round < 2; ++round) {
    menu_item(main_window, QStringLiteral("软件说明"))->trigger();
    menu_item(main_window, QStringLiteral("小天才协议"))->trigger();
  }
  EXPECT_EQ(visible_windows_of("app::AboutWindow"), 1);
  EXPECT_EQ(visible_windows_of("app::AgreementWindow"), 1);
  EXPECT_EQ(ui::open_instance<AgreementWindow>()->parentWidget(), nullptr);
}

// ---- Author window ------------------------------------------------------------------------

TEST_F(InformationWindowsTest, ChatButtonAndSongLinkOpenTheirAddresses) {
  EXPECT_EQ(app::qq_chat_address(kValues),
            "http://wpa.qq.com/msgrd?v=3&uin=20002&site=qq&menu=yes");
  EXPECT_EQ(app::song_page_address(kValues),
            "https://i.y.qq.com/v8/playsong.html?songid=200000002&source=yqq#wechat_redirect");

  struct Case {
    const char* control;
    bool press_only;  // the link acts on the button going down, the button on a full click
    QString address;
  };
  const Case cases[] = {
      {"图形按钮1", false, "http://wpa.qq.com/msgrd?v=3&uin=20002&site=qq&menu=yes"},
      {"超级链接框1", true,
       "https://i.y.qq.com/v8/playsong.html?songid=200000002&source=yqq#wechat_redirect"},
  };
  AuthorWindow* author = ui::open_modeless<AuthorWindow>(kValues);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    test_support::UrlRecorder recorder;
    QWidget* control = find(author, c.control);
    if (c.press_only) {
      QTest::mousePress(control, Qt::LeftButton);
    } else {
      QTest::mouseClick(control, Qt::LeftButton);
    }
    EXPECT_EQ(recorder.opened, QStringList{c.address});
  }
  EXPECT_TRUE(find<ui::HyperlinkLabel>(author, "超级链接框1")->visited());
}

TEST_F(InformationWindowsTest, EveryPictureIsDecodedAtItsSize) {
  struct Case {
    const char* control;
    const char* resource;
    QSize size;
  };
  const Case cases[] = {
      {"图片框2", ":/info/author_avatar.jpg", {50, 50}},
      {"图片框1", ":/info/author_badge_level.jpg", {89, 20}},
      {"图片框3", ":/info/author_badge_rank.jpg", {41, 22}},
      {"图形按钮1", ":/info/author_chat_button.jpg", {77, 22}},
  };
  AuthorWindow* author =
      ui::open_modeless<AuthorWindow>(kValues);  // its resources are registered now
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    const QImage picture = ui::load_jpeg(QString::fromUtf8(c.resource));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), c.size);
    QWidget* control = find(author, c.control);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->size(), c.size);
    if (auto* box = qobject_cast<QLabel*>(control)) {
      EXPECT_EQ(box->pixmap().size(), c.size);
      EXPECT_EQ(box->pixmap().toImage().convertToFormat(picture.format()), picture);
    } else {
      auto* button = qobject_cast<QAbstractButton*>(control);
      ASSERT_NE(button, nullptr);
      EXPECT_EQ(button->iconSize(), c.size);
      EXPECT_EQ(button->icon().pixmap(c.size).size(), c.size);
    }
  }
}

// ---- Agreement window ---------------------------------------------------------------------

TEST_F(InformationWindowsTest, LegalTextsAreHeadedAndOfTheirSizeInGbk) {
  struct Case {
    QString text;
    const char* heading;
    std::size_t min_bytes, max_bytes;
  };
  const Case cases[] = {{app::terms_of_use_text(), "使用协议", 8400, 9200},
                        {app::copyright_notice_text(), "版权声明", 1400, 1800}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.heading);
    EXPECT_EQ(c.text.section(QLatin1Char('\n'), 0, 0), QString::fromUtf8(c.heading));
    const std::string utf8 = c.text.toStdString();
    const net::Text gbk = net::utf8_to_gbk(utf8);
    EXPECT_GE(gbk.size(), c.min_bytes);
    EXPECT_LE(gbk.size(), c.max_bytes);
    EXPECT_EQ(net::gbk_to_utf8(gbk), utf8);  // every character has its GBK code
  }
}

TEST_F(InformationWindowsTest, LegalTextsCannotBeEditedButCanBeSelectedAndCopied) {
  AgreementWindow* agreement = ui::open_modeless<AgreementWindow>();
  for (const char* name : {"编辑框1", "编辑框2"}) {
    SCOPED_TRACE(name);
    auto* box = find<QPlainTextEdit>(agreement, name);
    const QString text = box->toPlainText();
    ASSERT_FALSE(text.isEmpty());
    EXPECT_TRUE(box->isReadOnly());
    EXPECT_EQ(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    const Qt::TextInteractionFlags flags = box->textInteractionFlags();
    EXPECT_TRUE(flags.testFlag(Qt::TextSelectableByMouse));
    EXPECT_TRUE(flags.testFlag(Qt::TextSelectableByKeyboard));
    EXPECT_FALSE(flags.testFlag(Qt::TextEditable));

    box->setFocus();
    QTest::keyClicks(box, "abc");
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(box->toPlainText(), text);

    QApplication::clipboard()->clear();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), text);
  }
}

}  // namespace
