// The page view with the real engine: no right button or context menu on the page, new windows
// open in place, one takeover at a time, silent dialogs, and the main window's view.
#include "app/page_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "tests/app/test_values.h"
#include "tests/support/http_peer.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/update_service.h"

// Widgets whose class names differ from the engine's inner widget only in letter case.
class QQuickwidget : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
};

class qquickwidget : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
};

namespace {

using namespace std::chrono_literals;

// Runs the event loop until `done` holds; false when the limit passes first.
template <class Done>
bool wait_until(Done done, std::chrono::milliseconds limit = 20s) {
  const QDeadlineTimer deadline(limit);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

// Every element sits at a fixed place so that synthesised clicks can aim at it; the page logs
// the mouse events its document sees.
constexpr char kEventsPage[] = R"html(<!doctype html>
<html><head><meta charset="utf-8"><title>events</title><style>
body { margin: 0 }
#pad, a, button { position: absolute; left: 0; width: 200px; height: 40px; margin: 0; padding: 0;
                  border: 0; display: block }
</style></head><body>
<div id="pad" style="top: 0; height: 100px; background: #cde"></div>
<a id="blank" href="/opened?via=blank" target="_blank" style="top: 120px">blank</a>
<button id="script" onclick="window.open('/opened?via=script')" style="top: 180px">script</button>
<a id="hover" href="/opened?via=hover" onclick="window.open(); return false" style="top: 240px">hover</a>
<script>
window.seen = [];
for (const type of ['mousedown', 'mouseup', 'click', 'dblclick', 'contextmenu', 'auxclick'])
  document.addEventListener(type, e => seen.push(type + e.button));
</script></body></html>)html";

constexpr QPoint kPad(100, 50);
constexpr QPoint kBlankLink(100, 140);
constexpr QPoint kScriptButton(100, 200);
constexpr QPoint kHoverLink(100, 260);

constexpr char kDialogsPage[] = R"(<!doctype html><html><head><title>dialogs</title></head><body>
<script>
const confirmed = confirm('confirm?');
const answer = prompt('prompt?', 'default');
alert('alert');
document.title = 'done:' + confirmed + ':' + answer;
</script></body></html>)";

// The pages above on loopback, reachable as 127.0.0.1 and as localhost (two sites for the engine).
class PageServer {
 public:
  PageServer() {
    server_.Get("/", [](const httplib::Request&, httplib::Response& response) {
      response.set_content(kEventsPage, "text/html; charset=utf-8");
    });
    server_.Get("/opened", [](const httplib::Request& request, httplib::Response& response) {
      response.set_content("<title>opened " + request.get_param_value("via") + "</title>",
                           "text/html");
    });
    server_.Get("/dialogs", [](const httplib::Request&, httplib::Response& response) {
      response.set_content(kDialogsPage, "text/html");
    });
    server_.Get("/secret", [this](const httplib::Request& request, httplib::Response& response) {
      if (request.has_header("Authorization")) ++authorizations_;
      response.status = 401;
      response.set_header("WWW-Authenticate", R"(Basic realm="members")");
      response.set_content("<title>locked</title>", "text/html");
    });
    server_.set_keep_alive_max_count(1);  // no idle connection delays stop()
    server_.start();
  }
  ~PageServer() { server_.stop(); }

  QUrl url(const char* host, const QString& path) const {
    return QUrl(
        QStringLiteral("http://%1:%2%3").arg(QLatin1String(host)).arg(server_.port()).arg(path));
  }
  int authorizations() const { return authorizations_; }

 private:
  test_support::LoopbackHttpServer server_;
  std::atomic<int> authorizations_ = 0;
};

// A page view as the main window makes it, shown at its size, remembering what finished loading.
class ViewUnderTest {
 public:
  explicit ViewUnderTest(bool set_up, const QUrl& address) : view_(new QWebEngineView) {
    view_->setAttribute(Qt::WA_DeleteOnClose);
    view_->resize(552, 344);
    view_->show();
    QObject::connect(view_, &QWebEngineView::loadFinished, view_, [this](bool ok) {
      if (ok) loaded_ = view_->url();
    });
    if (set_up) {
      app::setup_page_view(view_, address.toString());
    } else {
      view_->setUrl(address);
    }
  }
  ~ViewUnderTest() { delete view_.data(); }
  ViewUnderTest(const ViewUnderTest&) = delete;
  ViewUnderTest& operator=(const ViewUnderTest&) = delete;

  QWebEngineView* view() const { return view_; }
  QWidget* inner() const { return view_->focusProxy(); }

  bool wait_loaded(const QUrl& url) {
    return wait_until([&] { return loaded_ == url; });
  }
  bool go(const QUrl& url) {
    view_->setUrl(url);
    return wait_loaded(url);
  }

  // The result of a script in the page, as text; empty when none came in time.
  QString run(const QString& script) const {
    auto result = std::make_shared<std::optional<QString>>();
    view_->page()->runJavaScript(script,
                                 [result](const QVariant& value) { *result = value.toString(); });
    wait_until([&] { return result->has_value(); }, 10s);
    return result->value_or(QString());
  }
  // Clicks the pad with the left button and returns the mouse events the page has seen once
  // that click has come through (events sent before it reach the page first); the page's log
  // then starts afresh.
  QString seen_after_left_click() const {
    click(Qt::LeftButton, kPad);
    QString seen;
    wait_until([&] { return (seen = run("seen.join(',')")).endsWith("click0"); }, 10s);
    run("seen = []; ''");
    return seen;
  }
  // The page takes input: clicks until one has come through (right after loading, a click may be
  // lost); the page's log then starts afresh.
  bool ready_for_input() const {
    const QDeadlineTimer deadline(10s);
    while (!deadline.hasExpired()) {
      click(Qt::LeftButton, kPad);
      if (wait_until([&] { return run("seen.join(',')").contains("click0"); }, 1s)) {
        run("seen = []; ''");
        return true;
      }
    }
    return false;
  }

  // The engine counts clicks by the events' time stamps, so every event carries one.
  void mouse(QEvent::Type type, Qt::MouseButton button, QPoint place) const {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease || type == QEvent::MouseMove
                                      ? Qt::NoButton
                                      : Qt::MouseButtons(button);
    QMouseEvent event(type, place, inner()->mapToGlobal(place), button, held, Qt::NoModifier);
    event.setTimestamp(clock_ += 10);
    QCoreApplication::sendEvent(inner(), &event);
  }
  // A single click, too long after the one before to make a double-click with it.
  void click(Qt::MouseButton button, QPoint place) const {
    clock_ += 5000;
    mouse(QEvent::MouseButtonPress, button, place);
    mouse(QEvent::MouseButtonRelease, button, place);
  }
  // What Qt delivers for a double-click: press, release, press with double-click, release.
  void double_click(Qt::MouseButton button, QPoint place) const {
    click(button, place);
    mouse(QEvent::MouseButtonPress, button, place);
    mouse(QEvent::MouseButtonDblClick, button, place);
    mouse(QEvent::MouseButtonRelease, button, place);
  }

 private:
  QPointer<QWebEngineView> view_;
  QUrl loaded_;
  mutable ulong clock_ = 0;
};

bool menu_open(const QWebEngineView* view) {
  return QApplication::activePopupWidget() != nullptr || !view->findChildren<QMenu*>().isEmpty();
}

int visible_top_level_windows() {
  int count = 0;
  for (const QWidget* widget : QApplication::topLevelWidgets()) count += widget->isVisible();
  return count;
}

QObject* takeover_of(const QWidget* inner) {
  return inner->property("GWL_WNDPROC").value<QObject*>();
}

// A right-button procedure that counts what it is told.
class CountingProcedure : public QObject {
 public:
  int calls = 0;
  bool event(QEvent* event) override {
    if (event->type() == QEvent::None) ++calls;
    return QObject::event(event);
  }
};

class PageViewTest : public ::testing::Test {
 protected:
  PageServer server_;
};

TEST_F(PageViewTest, FindsOnlyTheExactClassNameDepthFirst) {
  QWidget root;
  auto* decoy = new QQuickwidget(&root);
  new qquickwidget(decoy);
  auto* branch = new QWidget(&root);
  new qquickwidget(branch);
  EXPECT_EQ(app::find_page_window(&root), nullptr);
  EXPECT_EQ(app::find_page_window(nullptr), nullptr);
  EXPECT_FALSE(app::hook_page_window(&root, nullptr));
  EXPECT_TRUE(decoy->dynamicPropertyNames().isEmpty());

  // The engine's own inner widget, two levels down behind the decoys, is found.
  auto* view = new QWebEngineView(branch);
  view->setUrl(server_.url("127.0.0.1", "/opened"));
  ASSERT_TRUE(wait_until([&] { return view->focusProxy() != nullptr; }));
  EXPECT_STREQ(view->focusProxy()->metaObject()->className(), app::page_window_class);
  EXPECT_EQ(app::find_page_window(&root), view->focusProxy());
  EXPECT_EQ(app::find_page_window(view), view->focusProxy());
}

// Control for the tests below: an untouched view hands the right button to the page, which opens
// the engine's menu; so their absence below is the takeover's doing.
TEST_F(PageViewTest, UntouchedViewHandsTheRightButtonToThePage) {
  ViewUnderTest page(false, server_.url("127.0.0.1", "/"));
  ASSERT_TRUE(page.wait_loaded(server_.url("127.0.0.1", "/")));
  ASSERT_TRUE(page.ready_for_input());
  page.click(Qt::RightButton, kPad);
  EXPECT_TRUE(page.seen_after_left_click().contains("contextmenu2"));
  EXPECT_TRUE(wait_until([&] { return menu_open(page.view()); }, 10s));
  if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
}

struct SitesVisited {
  const char* name;
  std::vector<const char*> hosts;  // in the order the view visits them
};

void PrintTo(const SitesVisited& sites, std::ostream* out) { *out << sites.name; }

class RightButtonTest : public PageViewTest, public ::testing::WithParamInterface<SitesVisited> {};

TEST_P(RightButtonTest, NeverReachesThePageWhileTheLeftButtonDoes) {
  const std::vector<const char*>& hosts = GetParam().hosts;
  ViewUnderTest page(true, server_.url(hosts.front(), "/"));
  ASSERT_TRUE(page.wait_loaded(server_.url(hosts.front(), "/")));
  ASSERT_TRUE(page.ready_for_input());
  QPointer<QWidget> first_inner = page.inner();
  for (std::size_t i = 1; i < hosts.size(); ++i) {
    ASSERT_TRUE(page.go(server_.url(hosts[i], "/")));
    ASSERT_TRUE(page.ready_for_input());
  }
  if (hosts.size() > 1) {
    EXPECT_TRUE(wait_until([&] { return first_inner.isNull(); }))
        << "the engine kept its inner widget";
  }
  ASSERT_EQ(takeover_of(page.inner()), &app::page_window_proc());

  page.click(Qt::RightButton, kPad);
  page.double_click(Qt::RightButton, kPad);
  QContextMenuEvent menu_request(QContextMenuEvent::Mouse, kPad, page.inner()->mapToGlobal(kPad));
  QCoreApplication::sendEvent(page.inner(), &menu_request);

  EXPECT_EQ(page.seen_after_left_click(), "mousedown0,mouseup0,click0");
  EXPECT_FALSE(menu_open(page.view()));
}

INSTANTIATE_TEST_SUITE_P(Sites, RightButtonTest,
                         ::testing::Values(SitesVisited{"FirstSite", {"127.0.0.1"}},
                                           SitesVisited{"AnotherSite", {"127.0.0.1", "localhost"}}),
                         [](const auto& test) { return std::string(test.param.name); });

// Records which events get past the takeover to the widget's own handling.
class BehindTheTakeover : public QObject {
 public:
  QList<QEvent::Type> passed;
  bool eventFilter(QObject*, QEvent* event) override {
    passed.append(event->type());
    return false;
  }
};

TEST_F(PageViewTest, HoldsBackExactlyTheRightButtonAndMenuEvents) {
  ViewUnderTest page(true, server_.url("127.0.0.1", "/"));
  ASSERT_TRUE(page.wait_loaded(server_.url("127.0.0.1", "/")));
  BehindTheTakeover behind;
  page.inner()->installEventFilter(&behind);
  ASSERT_TRUE(app::hook_page_window(page.view(), nullptr));  // the takeover now stands in front

  const QPointF at(kPad);
  const QPointF global = page.inner()->mapToGlobal(at);
  const auto mouse = [&](QEvent::Type type, Qt::MouseButton button) -> std::unique_ptr<QEvent> {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    return std::make_unique<QMouseEvent>(type, at, global, button, held, Qt::NoModifier);
  };
  const struct {
    std::unique_ptr<QEvent> event;
    bool passes;
  } cases[] = {
      {mouse(QEvent::MouseButtonPress, Qt::RightButton), false},
      {mouse(QEvent::MouseButtonRelease, Qt::RightButton), false},
      {mouse(QEvent::MouseButtonDblClick, Qt::RightButton), false},
      {std::make_unique<QContextMenuEvent>(QContextMenuEvent::Mouse, kPad, global.toPoint()),
       false},
      {mouse(QEvent::MouseButtonPress, Qt::LeftButton), true},
      {mouse(QEvent::MouseButtonDblClick, Qt::LeftButton), true},
      {mouse(QEvent::MouseButtonRelease, Qt::LeftButton), true},
      {mouse(QEvent::MouseButtonPress, Qt::MiddleButton), true},
      {std::make_unique<QWheelEvent>(at, global, QPoint(), QPoint(0, -120), Qt::NoButton,
                                     Qt::NoModifier, Qt::NoScrollPhase, false),
       true},
      {std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier), true},
  };
  for (const auto& c : cases) {
    behind.passed.clear();
    QCoreApplication::sendEvent(page.inner(), c.event.get());
    EXPECT_EQ(behind.passed.contains(c.event->type()), c.passes) << c.event->type();
  }
}

TEST_F(PageViewTest, NewInnerWidgetIsTakenOverBeforeTheOldOneLeaves) {
  ViewUnderTest page(true, server_.url("127.0.0.1", "/"));
  ASSERT_TRUE(page.wait_loaded(server_.url("127.0.0.1", "/")));
  QPointer<QWidget> old_inner = page.inner();
  bool successor_taken_over = false;
  const QObject listening;
  QObject::connect(old_inner, &QObject::destroyed, &listening, [&] {
    successor_taken_over = takeover_of(page.inner()) == &app::page_window_proc();
  });
  ASSERT_TRUE(page.go(server_.url("localhost", "/")));
  ASSERT_TRUE(wait_until([&] { return old_inner.isNull(); }));
  EXPECT_TRUE(successor_taken_over);
}

struct NewWindowCase {
  const char* name;
  QPoint place;     // what the user clicks
  bool hover;       // the pointer rests on the place first, so the status text is its link
  const char* via;  // the page that must load in the view
};

void PrintTo(const NewWindowCase& c, std::ostream* out) { *out << c.name; }

class NewWindowTest : public PageViewTest, public ::testing::WithParamInterface<NewWindowCase> {};

TEST_P(NewWindowTest, LoadsInTheViewAndOpensNoWindow) {
  const NewWindowCase& c = GetParam();
  ViewUnderTest page(true, server_.url("127.0.0.1", "/"));
  ASSERT_TRUE(page.wait_loaded(server_.url("127.0.0.1", "/")));
  ASSERT_TRUE(page.ready_for_input());
  const int windows = visible_top_level_windows();
  if (c.hover) {
    QString hovered;
    const QObject listening;
    QObject::connect(page.view()->page(), &QWebEnginePage::linkHovered, &listening,
                     [&](const QString& url) { hovered = url; });
    page.mouse(QEvent::MouseMove, Qt::NoButton, c.place);
    ASSERT_TRUE(wait_until([&] { return !hovered.isEmpty(); }, 10s));
  }
  page.click(Qt::LeftButton, c.place);
  const QUrl target = server_.url("127.0.0.1", QStringLiteral("/opened?via=") + c.via);
  EXPECT_TRUE(page.wait_loaded(target)) << page.view()->url().toString().toStdString();
  EXPECT_EQ(visible_top_level_windows(), windows);
}

INSTANTIATE_TEST_SUITE_P(
    Links, NewWindowTest,
    ::testing::Values(NewWindowCase{"BlankTarget", kBlankLink, false, "blank"},
                      NewWindowCase{"WindowOpen", kScriptButton, false, "script"},
                      NewWindowCase{"WindowOpenWithoutAddress", kHoverLink, true, "hover"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(PageViewTest, SeveralNavigationsLeaveExactlyOneTakeover) {
  ViewUnderTest page(true, server_.url("127.0.0.1", "/"));
  ASSERT_TRUE(page.wait_loaded(server_.url("127.0.0.1", "/")));
  int visit = 0;
  for (const char* host : {"localhost", "127.0.0.1", "127.0.0.1", "localhost"}) {
    ASSERT_TRUE(page.go(server_.url(host, QStringLiteral("/?visit=%1").arg(++visit))));
    EXPECT_EQ(takeover_of(page.inner()), &app::page_window_proc());
    EXPECT_EQ(page.inner()->property("lProc").value<QPointer<QObject>>(), nullptr);
  }
  ASSERT_TRUE(page.ready_for_input());
  // Taking over again and again still leaves one filter: each right-button event is held back
  // and announced once.
  CountingProcedure procedure;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(app::hook_page_window(page.view(), &procedure));
  EXPECT_EQ(page.inner()->property("lProc").value<QPointer<QObject>>(), &procedure);
  page.double_click(Qt::RightButton, kPad);
  EXPECT_EQ(page.seen_after_left_click(), "mousedown0,mouseup0,click0");
  EXPECT_EQ(procedure.calls, 5);  // press, release, press, double-click, release
}

TEST_F(PageViewTest, ClosingTheViewEndsTheTakeoverBeforeTheWidgetGoes) {
  ViewUnderTest page(true, server_.url("127.0.0.1", "/"));
  ASSERT_TRUE(page.wait_loaded(server_.url("127.0.0.1", "/")));
  QPointer<QWidget> inner = page.inner();

  // Stands behind the takeover, where the widget's own handling is.
  struct LastWord : QObject {
    bool destroyed = false;
    QList<QByteArray> properties;
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Destroy) {
        destroyed = true;
        properties = watched->dynamicPropertyNames();
      }
      return false;
    }
  } last_word;
  inner->installEventFilter(&last_word);
  ASSERT_TRUE(app::hook_page_window(page.view(), nullptr));  // the takeover now stands in front
  ASSERT_EQ(inner->dynamicPropertyNames().size(), 2);

  page.view()->close();
  ASSERT_TRUE(wait_until([&] { return inner.isNull(); }));
  EXPECT_TRUE(last_word.destroyed);
  EXPECT_FALSE(last_word.properties.contains("GWL_WNDPROC"));
  EXPECT_FALSE(last_word.properties.contains("lProc"));
}

TEST_F(PageViewTest, AnswersDialogsAndAuthenticationWithoutAWindow) {
  // A modal window that does appear is counted and closed, so that it cannot hold the test up.
  int modal_windows = 0;
  QTimer guard;
  QObject::connect(&guard, &QTimer::timeout, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      ++modal_windows;
      modal->close();
    }
  });
  guard.start(50);
  ViewUnderTest page(true, server_.url("127.0.0.1", "/dialogs"));
  const int windows = visible_top_level_windows();
  ASSERT_TRUE(wait_until([&] { return page.view()->title() == "done:false:null"; }))
      << page.view()->title().toStdString();
  page.view()->setUrl(server_.url("127.0.0.1", "/secret"));
  EXPECT_TRUE(wait_until([&] { return page.view()->title() == "locked"; }));
  EXPECT_EQ(server_.authorizations(), 0);
  EXPECT_EQ(visible_top_level_windows(), windows);
  EXPECT_EQ(modal_windows, 0);
}

// A page that tries to have the program open addresses of its own choosing in the view: one link
// over the whole page, holding stacked blocks, that asks for a window without an address each
// time the pointer enters one of them (the view then falls back to the hovered link), and
// buttons that ask for windows at non-web addresses.
constexpr char kHostilePage[] = R"html(<!doctype html>
<html><head><meta charset="utf-8"><title>hostile</title><style>
body { margin: 0 }
#all { position: absolute; left: 0; top: 0; width: 552px; height: 344px; display: block }
#all div { height: 40px; margin: 0; padding: 0; border: 0 }
</style></head><body>
<a id="all" href="file:///etc/hostname" onmouseover="window.open(); opened++">
<div></div><div></div><div></div><div></div><div></div><div></div><div></div><div></div></a>
<script>var opened = 0;</script>
</body></html>)html";

// A page that asks for a new window at the address in its own query once the pointer moves.
constexpr char kOpenerPage[] = R"html(<!doctype html>
<html><head><meta charset="utf-8"><title>opener</title></head>
<body style="margin: 0"><div style="width: 552px; height: 344px"
onmousemove="if (!window.asked) { window.asked = true; window.open(target) }"></div>
<script>var target = decodeURIComponent(location.search.substring(1));</script>
</body></html>)html";

test_support::PeerReply hostile_pages(const test_support::PeerRequest& request) {
  const std::string target = request.target();
  const char* page = target.rfind("/opener", 0) == 0 ? kOpenerPage : kHostilePage;
  return test_support::PeerReply::with("200 OK", {"Content-Type: text/html; charset=utf-8"}, page);
}

// Every address the view was ever asked to show, and every new-window request the page made.
struct ViewHistory {
  QList<QUrl> addresses;
  QList<QUrl> requested;  // the addresses of the new-window requests
  QString hovered;
  int requests_after_hover = 0;  // new-window requests made while a link was hovered

  explicit ViewHistory(QWebEngineView* view) {
    QObject::connect(view->page(), &QWebEnginePage::urlChanged, &listening,
                     [this](const QUrl& url) { addresses.append(url); });
    QObject::connect(view->page(), &QWebEnginePage::linkHovered, &listening,
                     [this](const QString& url) {
                       if (!url.isEmpty()) hovered = url;
                     });
    QObject::connect(view->page(), &QWebEnginePage::newWindowRequested, &listening,
                     [this](QWebEngineNewWindowRequest& request) {
                       requested.append(request.requestedUrl());
                       if (!hovered.isEmpty()) ++requests_after_hover;
                     });
  }
  QObject listening;
};

TEST(PageViewHostileTest, HoveredLinkToALocalFileNeverLoads) {
  test_support::HttpPeer peer(hostile_pages);
  const QUrl address(QString::fromStdString(peer.url("/")));
  ViewUnderTest page(true, address);
  ASSERT_TRUE(page.wait_loaded(address));
  ViewHistory history(page.view());

  // The pointer crosses the blocks, down and up again, until the page has asked for a window
  // at least twice after the engine reported the hovered link (the first request may come
  // before the report).
  const QDeadlineTimer deadline(20s);
  for (int step = 0; history.requests_after_hover < 2 && !deadline.hasExpired(); ++step) {
    const int y = 20 + 40 * (step % 16 < 8 ? step % 8 : 7 - step % 8);
    page.mouse(QEvent::MouseMove, Qt::NoButton, QPoint(100 + step % 3, y));
    wait_until([] { return false; }, 50ms);
  }
  ASSERT_EQ(history.hovered, QStringLiteral("file:///etc/hostname"));
  ASSERT_GE(history.requests_after_hover, 2) << "the page never asked for a window";

  // Whatever the view was going to do with the requests, it has done once the page answers a
  // script after them; a navigation would have replaced the page by then or shortly after.
  EXPECT_EQ(page.run("'still ' + document.title"), "still hostile");
  EXPECT_FALSE(wait_until([&] { return page.view()->url() != address; }, 2s))
      << page.view()->url().toString().toStdString();
  EXPECT_EQ(page.view()->url(), address);
  for (const QUrl& url : history.addresses) {
    EXPECT_EQ(url.scheme(), "http") << url.toString().toStdString();
  }
}

struct NonWebCase {
  const char* name;
  const char* address;  // what the page asks a new window for
};

void PrintTo(const NonWebCase& c, std::ostream* out) { *out << c.name; }

class PageViewNonWebTest : public ::testing::TestWithParam<NonWebCase> {};

TEST_P(PageViewNonWebTest, LeavesTheViewWhereItIs) {
  test_support::HttpPeer peer(hostile_pages);
  const QUrl address(QString::fromStdString(peer.url("/opener?")) +
                     QString::fromLatin1(QUrl::toPercentEncoding(GetParam().address)));
  ViewUnderTest page(true, address);
  ASSERT_TRUE(page.wait_loaded(address));
  ViewHistory history(page.view());
  const QDeadlineTimer deadline(20s);
  while (history.requested.isEmpty() && !deadline.hasExpired()) {
    page.mouse(QEvent::MouseMove, Qt::NoButton,
               QPoint(100, 100 + int(deadline.remainingTime() % 7)));
    wait_until([] { return false; }, 50ms);
  }
  ASSERT_EQ(history.requested.size(), 1) << "the page's window was never requested";
  EXPECT_EQ(history.requested.front().scheme(), QUrl(GetParam().address).scheme());
  EXPECT_EQ(page.run("'still ' + document.title"), "still opener");
  EXPECT_FALSE(wait_until([&] { return page.view()->url() != address; }, 2s))
      << page.view()->url().toString().toStdString();
  EXPECT_TRUE(history.addresses.isEmpty()) << history.addresses.front().toString().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Schemes, PageViewNonWebTest,
                         ::testing::Values(NonWebCase{"Data", "data:text/html,<title>data</title>"},
                                           NonWebCase{"FileTransfer", "ftp://127.0.0.1/"},
                                           NonWebCase{"Mail", "mailto:someone@example.com"},
                                           NonWebCase{"Socket", "ws://127.0.0.1/"}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(PageViewTest, MainWindowViewStartsLoadingTheShareAtOnce) {
  QTcpServer share;
  ASSERT_TRUE(share.listen(QHostAddress::LocalHost));
  test_support::UpdateService updates;
  app::MakerValues values = test_support::loopback_values(updates.host());
  values.share_host = "127.0.0.1:" + std::to_string(share.serverPort());
  app::Program program(values);
  app::MainWindow window(values, program.verification_code());  // created, never shown

  auto* view = window.findChild<QWebEngineView*>(QStringLiteral("超文本浏览框1"));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->url(), QUrl(QString::fromStdString(values.share_address())));
  EXPECT_EQ(view->zoomFactor(), 1.0);
  EXPECT_EQ(view->geometry(), QRect(8, 48, 552, 344));
  EXPECT_TRUE(wait_until([&] { return share.hasPendingConnections(); }));
}

}  // namespace

#include "page_view_test.moc"
