// The start-up check and the new-version window against a loopback update service, offscreen.
#include "update/new_version_window.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QSoundEffect>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>
#include <QtEndian>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "net/encoding.h"
#include "tests/support/http_peer.h"
#include "tests/support/qt_message_boxes.h"
#include "tests/support/qt_url_recorder.h"
#include "tests/support/update_service.h"
#include "ui/fonts.h"
#include "ui/jpeg_image.h"
#include "update/check_for_update.h"

namespace {

using net::Text;
using update::NewVersionWindow;

const Text kAppId = "0123456789abcdef0123456789abcdef";
constexpr int kBoundMs = 20000;  // no case waits longer than this for anything

// Processes events until done() holds or the bound has passed; the result of done().
bool wait_until(const std::function<bool()>& done, int bound_ms = kBoundMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < bound_ms)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

QWidget* control(QWidget& window, const char* name) {
  return window.findChild<QWidget*>(QString::fromUtf8(name));
}

void press(QWidget* widget, Qt::MouseButton button = Qt::LeftButton) {
  ASSERT_NE(widget, nullptr);
  QTest::mousePress(widget, button, Qt::NoModifier, widget->rect().center());
}

class NewVersionTest : public ::testing::Test {
 protected:
  void SetUp() override { ui::install_font_substitutions(); }

  std::function<void(int)> end_program() {
    return [this](int exit_code) { exit_codes_.push_back(exit_code); };
  }

  std::unique_ptr<update::UpdateClient> make_client() {
    return std::make_unique<update::UpdateClient>(
        service_.host(), [this](const Text&, const Text&) { ++messages_; });
  }

  // check_for_update on a fresh client with the service answering `reply`; `while_open` acts on the
  // window once it is shown. A window still open after the bound is closed, so a broken case fails
  // instead of hanging.
  bool check(const std::string& reply, const std::function<void(NewVersionWindow&)>& while_open,
             bool show_window = true) {
    service_.set_reply(reply);
    const std::unique_ptr<update::UpdateClient> client = make_client();
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    bool acted = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<NewVersionWindow*>(widget);
        if (!window || !window->isVisible()) continue;
        if (!acted) {
          acted = true;
          ++windows_shown_;
          while_open(*window);
        } else if (clock.elapsed() > kBoundMs) {
          ADD_FAILURE() << "the window stayed open";
          window->close();
        }
      }
    });
    poll.start(10);
    const update::UpdateCheck outcome =
        update::check_for_update(*client, kAppId, "1.1", show_window);
    if (outcome.end_program) end_program()(outcome.exit_code);
    return outcome.newer_version;
  }

  bool notes_page_requested() const {
    const std::vector<std::string> targets = service_.requests();
    return std::count(targets.begin(), targets.end(),
                      "/api/checkVersion?id=" + kAppId + "&html=true.html") > 0;
  }

  test_support::UpdateService service_;
  test_support::UrlRecorder browser_;
  int messages_ = 0;
  std::vector<int> exit_codes_;
  int windows_shown_ = 0;
};

TEST_F(NewVersionTest, NoNewerVersionShowsNothing) {
  for (const char* reply :
       {"false|true|x|http://dl.example/v2.exe|2.0", "", "true|true|x|http://dl.example/"}) {
    EXPECT_FALSE(check(reply, [](NewVersionWindow& window) { window.close(); })) << reply;
  }
  EXPECT_EQ(windows_shown_, 0);
  EXPECT_FALSE(notes_page_requested());
  EXPECT_TRUE(exit_codes_.empty());
  EXPECT_EQ(messages_, 0);
}

TEST_F(NewVersionTest, CheckWithoutWindowOnlyReports) {
  EXPECT_TRUE(check(
      "true|true|x|http://dl.example/v2.exe|2.0", [](NewVersionWindow& window) { window.close(); },
      false));
  EXPECT_EQ(windows_shown_, 0);
}

TEST_F(NewVersionTest, CloseLabelClosesOrEndsProgram) {
  struct Case {
    const char* reply;
    std::vector<int> exit_codes;
  };
  const Case cases[] = {
      {"true|true|x|http://dl.example/v2.exe|2.0", {0}},  // forced: the program ends
      {"true|false|x|http://dl.example/v2.exe|2.0", {}},  // start-up goes on
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.reply);
    exit_codes_.clear();
    bool open_after_press = true;
    EXPECT_TRUE(check(test.reply, [&](NewVersionWindow& window) {
      press(control(window, "透明标签3"));  // acts on the button going down: no release is sent
      open_after_press = window.isVisible();
    }));
    EXPECT_FALSE(open_after_press);
    EXPECT_EQ(exit_codes_, test.exit_codes);
  }
  EXPECT_TRUE(browser_.opened.isEmpty());
  EXPECT_EQ(messages_, 0);
}

TEST_F(NewVersionTest, DownloadLabelOpensAddressAndEndsProgram) {
  for (const char* forced : {"false", "true"}) {
    SCOPED_TRACE(forced);
    exit_codes_.clear();
    browser_.opened.clear();
    bool open_after_press = true;
    EXPECT_TRUE(check(std::string("true|") + forced + "|x|https://dl.example/wristboat-2.0.exe|2.0",
                      [&](NewVersionWindow& window) {
                        press(control(window, "透明标签2"));
                        open_after_press = window.isVisible();
                      }));
    EXPECT_FALSE(open_after_press);
    EXPECT_EQ(browser_.opened, QStringList{"https://dl.example/wristboat-2.0.exe"});
    EXPECT_EQ(exit_codes_, std::vector<int>{0});
  }
}

TEST_F(NewVersionTest, DownloadAddressOtherThanWebIsNotOpened) {
  const char* const others[] = {"file:///etc/passwd",
                                "ftp://dl.example/v2.exe",
                                "javascript:alert(1)",
                                "mailto:someone@example.com",
                                "",
                                "dl.example/v2.exe",
                                "http://[broken",
                                "http:evil",
                                "http:/etc/passwd",
                                "https:///no-host"};
  const char* const schemes[] = {"file", "ftp", "javascript"};
  for (const char* scheme : schemes) QDesktopServices::setUrlHandler(scheme, &browser_, "record");
  for (const char* address : others) {
    SCOPED_TRACE(address);
    exit_codes_.clear();
    EXPECT_TRUE(check(std::string("true|false|x|") + address + "|2.0",
                      [](NewVersionWindow& window) { press(control(window, "透明标签2")); }));
    EXPECT_EQ(exit_codes_, std::vector<int>{0});  // the program still ends
  }
  for (const char* scheme : schemes) QDesktopServices::unsetUrlHandler(scheme);
  EXPECT_TRUE(browser_.opened.isEmpty()) << browser_.opened.join(' ').toStdString();
}

// Presses queued before the window has handled any of them, as a quick double click on a busy
// machine delivers them: the first acts, the rest find the window on its way out and do nothing.
TEST_F(NewVersionTest, PressesQueuedTwiceActOnce) {
  const struct {
    const char* label;
    QStringList opened;
  } cases[] = {
      {"透明标签3", {}},
      {"透明标签2", {"https://dl.example/wristboat-2.0.exe"}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.label);
    exit_codes_.clear();
    browser_.opened.clear();
    bool open_after_presses = true;
    EXPECT_TRUE(check(
        "true|true|x|https://dl.example/wristboat-2.0.exe|2.0", [&](NewVersionWindow& window) {
          QWidget* label = control(window, test.label);
          ASSERT_NE(label, nullptr);
          const QPointF at = QRectF(label->rect()).center();
          for (int round = 0; round < 2; ++round) {
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
              QCoreApplication::postEvent(
                  label, new QMouseEvent(type, at, label->mapToGlobal(at), Qt::LeftButton,
                                         Qt::LeftButton, Qt::NoModifier));
            }
          }
          QCoreApplication::processEvents();
          open_after_presses = window.isVisible();
        }));
    EXPECT_FALSE(open_after_presses);
    EXPECT_EQ(exit_codes_, std::vector<int>{0});
    EXPECT_EQ(browser_.opened, test.opened);
  }
}

// The notes page is never shown, so nothing on it may put a window in front of the user.
TEST_F(NewVersionTest, NotesPageRaisesNoDialog) {
  test_support::HttpPeer notes(
      test_support::PeerReply::with("200 OK", {"Content-Type: text/html; charset=utf-8"},
                                    "<html><body><script>alert(\"x\"); confirm(\"y\");"
                                    " document.title = \"ran\";</script></body></html>"));
  test_support::MessageBoxAnswerer boxes;
  NewVersionWindow window(update::NewVersion{.version = "2.0",
                                             .notes_address = QString::fromStdString(notes.url()),
                                             .download_address = {},
                                             .forced = false},
                          end_program());
  window.show();
  auto* view = qobject_cast<QWebEngineView*>(control(window, "超文本浏览框1"));
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(wait_until([&] { return view->title() == "ran"; })) << view->title().toStdString();
  const QWidgetList top_level = QApplication::topLevelWidgets();
  EXPECT_EQ(std::count_if(top_level.cbegin(), top_level.cend(),
                          [](const QWidget* widget) { return widget->isVisible(); }),
            1);
  EXPECT_TRUE(boxes.seen().isEmpty());
  EXPECT_TRUE(exit_codes_.empty());
}

TEST_F(NewVersionTest, TitleBarCloseJustClosesEvenWhenForced) {
  EXPECT_TRUE(check("true|true|x|http://dl.example/v2.exe|2.0",
                    [](NewVersionWindow& window) { window.close(); }));
  EXPECT_EQ(windows_shown_, 1);
  EXPECT_TRUE(exit_codes_.empty());
}

TEST_F(NewVersionTest, EscAndRightButtonLeaveWindowOpen) {
  bool open_after_keys = false;
  EXPECT_TRUE(check("true|true|x|http://dl.example/v2.exe|2.0", [&](NewVersionWindow& window) {
    QTest::keyClick(&window, Qt::Key_Escape);
    press(control(window, "透明标签3"), Qt::RightButton);
    press(control(window, "透明标签2"), Qt::RightButton);
    QCoreApplication::processEvents();
    open_after_keys = window.isVisible();
    window.close();
  }));
  EXPECT_TRUE(open_after_keys);
  EXPECT_TRUE(exit_codes_.empty());
  EXPECT_TRUE(browser_.opened.isEmpty());
}

TEST_F(NewVersionTest, NotesPageRequestReachesService) {
  bool requested = false;
  EXPECT_TRUE(check("true|false|x|http://dl.example/v2.exe|2.0", [&](NewVersionWindow& window) {
    requested = wait_until([&] { return notes_page_requested(); });
    window.close();
  }));
  EXPECT_TRUE(requested);
}

TEST_F(NewVersionTest, VersionLabelShowsReplyAsPlainText) {
  const struct {
    const char* field;
    QString shown;
  } cases[] = {
      {"2.0", "2.0"},
      {"2.1测试版", "2.1测试版"},
      {"<b>3.0</b><img src=x>", "<b>3.0</b><img src=x>"},
      {"|more", ""},  // an empty field 4 followed by more fields
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.field);
    service_.set_reply(std::string("true|false|x|http://dl.example/v2.exe|") + test.field);
    const std::unique_ptr<update::UpdateClient> client = make_client();
    client->连接(kAppId, "1.1");
    NewVersionWindow window(update::new_version_of(*client), end_program());
    auto* label = qobject_cast<QLabel*>(control(window, "升级模块_标签1"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), test.shown);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
  }
}

TEST_F(NewVersionTest, WindowFormAndControls) {
  QRect geometry;
  QRect frame;
  Qt::WindowFlags flags;
  Qt::WindowModality modality = Qt::NonModal;
  QRect available;
  EXPECT_TRUE(check("true|false|x|http://dl.example/v2.exe|2.0", [&](NewVersionWindow& window) {
    geometry = window.geometry();
    frame = window.frameGeometry();
    flags = window.windowFlags();
    modality = window.windowModality();
    available = window.screen()->availableGeometry();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("有新的版本啦 --腕舟助手"));
    EXPECT_EQ(window.parentWidget(), nullptr);
    window.close();
  }));
  EXPECT_EQ(geometry.size(), QSize(533, 281));
  // Centred as placed before showing; the frame margins are known only once it is shown.
  EXPECT_LE((frame.center() - available.center()).manhattanLength(), 8);
  EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(modality, Qt::ApplicationModal);

  const std::unique_ptr<update::UpdateClient> client = make_client();
  client->连接(kAppId, "1.1");
  NewVersionWindow window(update::new_version_of(*client), end_program());
  const struct {
    const char* name;
    QRect place;
    QString text;
    QString face;  // empty: the window's own font
    int pixel_height;
    bool bold;
  } labels[] = {
      {"透明标签6", {-32, 8, 368, 160}, "啊呜~有新版本啦~", "方正喵呜体", 32, true},
      {"透明标签3", {80, 176, 160, 64}, "关闭", "微软雅黑", 21, true},
      {"透明标签2", {312, 176, 160, 64}, "点击下载", "微软雅黑", 21, true},
      {"透明标签1", {328, 16, 104, 24}, "版本：", "", 0, false},
      {"升级模块_标签1", {432, 16, 70, 24}, "2.0", "微软雅黑", 16, false},
  };
  for (const auto& expected : labels) {
    SCOPED_TRACE(expected.name);
    auto* label = qobject_cast<QLabel*>(control(window, expected.name));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->geometry(), expected.place);
    EXPECT_EQ(label->text(), expected.text);
    if (expected.face.isEmpty()) {
      EXPECT_EQ(label->font(), window.font());
    } else {
      EXPECT_EQ(label->font().family(), expected.face);
      EXPECT_EQ(label->font().pixelSize(), expected.pixel_height);
      EXPECT_EQ(label->font().bold(), expected.bold);
    }
  }
  for (const char* name : {"透明标签3", "透明标签2"})
    EXPECT_EQ(control(window, name)->cursor().shape(), Qt::PointingHandCursor) << name;

  auto* view = qobject_cast<QWebEngineView*>(control(window, "超文本浏览框1"));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->geometry(), QRect(-232, 304, 360, 200));
  window.show();
  EXPECT_FALSE(view->isVisible());
  EXPECT_EQ(view->url().toString().toStdString(),
            "http://" + service_.host() + "/api/checkVersion?id=" + kAppId + "&html=true.html");

  const QList<QSoundEffect*> sounds = window.findChildren<QSoundEffect*>();
  ASSERT_EQ(sounds.size(), 1);
  EXPECT_EQ(sounds.front()->source(), QUrl(QStringLiteral("qrc:/update/new_version_chime.wav")));
  EXPECT_EQ(sounds.front()->loopCount(), 1);
  EXPECT_EQ(messages_, 0);
}

TEST_F(NewVersionTest, DraggedByItsBackground) {
  const std::unique_ptr<update::UpdateClient> client = make_client();
  client->连接(kAppId, "1.1");
  NewVersionWindow window(update::new_version_of(*client), end_program());
  window.move(100, 100);
  window.show();
  const QPoint start = window.pos();
  const QPointF inside(500, 260);  // background, clear of every label
  const QPointF global = window.mapToGlobal(inside);
  QMouseEvent down(QEvent::MouseButtonPress, inside, global, Qt::LeftButton, Qt::LeftButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &down);
  QMouseEvent drag(QEvent::MouseMove, inside, global + QPointF(40, 25), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &drag);
  EXPECT_EQ(window.pos(), start + QPoint(40, 25));
}

TEST_F(NewVersionTest, AssetsHaveTheirForms) {
  const std::unique_ptr<update::UpdateClient> client = make_client();
  client->连接(kAppId, "1.1");
  NewVersionWindow window(update::new_version_of(*client),
                          end_program());  // registers the window's resources

  QFile picture(QStringLiteral(":/update/new_version_background.jpg"));
  ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
  const QByteArray jpeg = picture.readAll();
  EXPECT_NEAR(static_cast<double>(jpeg.size()), 72096, 2048);  // about 72 KB
  EXPECT_EQ(ui::decode_jpeg(jpeg).size(), QSize(529, 306));

  QFile sound(QStringLiteral(":/update/new_version_chime.wav"));
  ASSERT_TRUE(sound.open(QIODevice::ReadOnly));
  const QByteArray wave = sound.readAll();
  ASSERT_EQ(wave.size(), 24637);
  const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(wave.constData() + at); };
  const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(wave.constData() + at); };
  EXPECT_EQ(wave.left(4), "RIFF");
  EXPECT_EQ(wave.mid(8, 8), "WAVEfmt ");
  EXPECT_EQ(u16(20), 1);       // PCM
  EXPECT_EQ(u16(22), 1);       // mono
  EXPECT_EQ(u32(24), 22050u);  // samples per second
  EXPECT_EQ(u16(34), 8);       // bits per sample
  EXPECT_EQ(wave.mid(36, 4), "data");
  EXPECT_EQ(u32(40), 24593u);
}

}  // namespace
