// What a screen reader finds in the five windows: every control a person can reach by keyboard or
// pointer has an accessible name, every picture a name or a description, and Tab follows the
// layout.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/about_window.h"
#include "app/agreement_window.h"
#include "app/author_window.h"
#include "app/main_window.h"
#include "app/program.h"
#include "tests/app/secondary_windows.h"
#include "tests/app/test_values.h"
#include "tests/support/update_service.h"
#include "update/new_version_window.h"
#include "update/update_client.h"

namespace {

QString describe(const QWidget* widget) {
  return QStringLiteral("%1 \"%2\"")
      .arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName());
}

// The name an assistive technology reads: the accessible name, else the label that labels it.
QString spoken_name(QWidget* widget) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
  if (accessible == nullptr) return {};
  if (const QString name = accessible->text(QAccessible::Name); !name.isEmpty()) return name;
  for (const auto& [label, relation] : accessible->relations(QAccessible::Label)) {
    if (const QString name = label->text(QAccessible::Name); !name.isEmpty()) return name;
  }
  return {};
}

QString spoken_description(QWidget* widget) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
  return accessible == nullptr ? QString() : accessible->text(QAccessible::Description);
}

// The widget that a widget hands its focus to, following every focus proxy.
QWidget* deepest_focus_proxy(QWidget* widget) {
  QWidget* proxy = widget->focusProxy();
  while (proxy != nullptr && proxy->focusProxy() != nullptr) proxy = proxy->focusProxy();
  return proxy;
}

// The control a focused widget belongs to (an entry inside a drop-down list, the page view's
// inner widget): screen readers announce the owner.
QWidget* focus_owner(QWidget* widget) {
  for (QWidget* ancestor = widget->parentWidget(); ancestor != nullptr;
       ancestor = ancestor->parentWidget()) {
    if (deepest_focus_proxy(ancestor) == widget) return focus_owner(ancestor);
  }
  return widget;
}

// What Tab stops at, in chain order, by the rule Qt applies to the window as it is shown now: a
// widget counts when it is shown and the widget its focus goes to accepts Tab, unless that
// widget lies inside it (a compound control such as an editable drop-down list).
std::vector<QWidget*> tab_stops(QWidget* window) {
  std::vector<QWidget*> stops;
  for (QWidget* widget = window->nextInFocusChain(); widget != window;
       widget = widget->nextInFocusChain()) {
    QWidget* proxy = deepest_focus_proxy(widget);
    QWidget* target = proxy != nullptr ? proxy : widget;
    const bool inside_compound = proxy != nullptr && proxy->isAncestorOf(widget);
    if (!inside_compound && widget->window() == window && widget->isVisible() &&
        widget->isEnabled() && target->isEnabled() &&
        (target->focusPolicy() & Qt::TabFocus) == Qt::TabFocus)
      stops.push_back(widget);
  }
  return stops;
}

// Everything a person can reach in the window as shown now: Tab stops, controls that answer the
// pointer (buttons, links, clickable labels) and pictures.
void expect_every_reachable_control_named(QWidget* window) {
  for (QWidget* stop : tab_stops(window)) {
    QWidget* owner = focus_owner(stop);
    const QString name = spoken_name(owner);
    EXPECT_FALSE(name.isEmpty()) << "Tab stop without a name: " << describe(owner).toStdString();
    // A name is a heading read before the content, never the content itself.
    EXPECT_FALSE(name.contains(QLatin1Char('\n')))
        << "Tab stop named by its whole text: " << describe(owner).toStdString();
  }
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (!widget->isVisible()) continue;
    const bool answers_pointer = qobject_cast<QAbstractButton*>(widget) != nullptr ||
                                 (widget->testAttribute(Qt::WA_SetCursor) &&
                                  widget->cursor().shape() == Qt::PointingHandCursor);
    if (answers_pointer) {
      EXPECT_FALSE(spoken_name(widget).isEmpty())
          << "control without a name: " << describe(widget).toStdString();
    }
    if (auto* label = qobject_cast<QLabel*>(widget);
        label != nullptr && !label->pixmap().isNull()) {
      EXPECT_FALSE(spoken_name(label).isEmpty() && spoken_description(label).isEmpty())
          << "picture without a name or description: " << describe(label).toStdString();
    }
  }
}

QStringList names_of(const std::vector<QWidget*>& widgets) {
  QStringList names;
  for (const QWidget* widget : widgets) names << widget->objectName();
  return names;
}

std::string joined(const QStringList& names) {
  return names.join(QStringLiteral(" → ")).toStdString();
}

class AccessibilityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    values_ = test_support::loopback_values(service_.host());
    program_ = std::make_unique<app::Program>(values_);
  }

  void TearDown() override {
    for (QWidget* widget : QApplication::topLevelWidgets()) widget->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  test_support::UpdateService service_;
  app::MakerValues values_;
  std::unique_ptr<app::Program> program_;
};

TEST_F(AccessibilityTest, EveryPageOfTheMainWindowNamesItsControls) {
  app::MainWindow window(values_, program_->verification_code());
  app::run_creation_handler(window, *program_, values_);
  window.show();
  for (int page = 0; page < window.pages()->count(); ++page) {
    SCOPED_TRACE(page);
    window.pages()->setCurrentIndex(page);
    expect_every_reachable_control_named(&window);
  }
}

TEST_F(AccessibilityTest, MenuItemsAreNamed) {
  app::MainWindow window(values_, program_->verification_code());
  app::run_creation_handler(window, *program_, values_);
  window.show();
  QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(window.menuBar());
  ASSERT_NE(bar, nullptr);
  ASSERT_GT(bar->childCount(), 0);
  for (int index = 0; index < bar->childCount(); ++index) {
    EXPECT_FALSE(bar->child(index)->text(QAccessible::Name).isEmpty()) << index;
  }
  for (QAction* top : window.menuBar()->actions()) {
    ASSERT_NE(top->menu(), nullptr);
    QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(top->menu());
    ASSERT_EQ(menu->childCount(), top->menu()->actions().size());
    for (int index = 0; index < menu->childCount(); ++index) {
      EXPECT_FALSE(menu->child(index)->text(QAccessible::Name).isEmpty()) << index;
    }
  }
}

TEST_F(AccessibilityTest, InformationAndNewVersionWindowsNameTheirControls) {
  update::UpdateClient client(service_.host(), [](const net::Text&, const net::Text&) {});
  client.连接(values_.app_id, "1.1");
  for (const auto& each : test_support::secondary_windows(values_, client)) {
    SCOPED_TRACE(each.window);
    const std::unique_ptr<QWidget> window = each.make();
    window->show();
    expect_every_reachable_control_named(window.get());
  }
}

// The window's Tab stops are the expected ones in that order, and the keyboard really goes
// through them from the first and comes round to it again. The window is shown and active.
void expect_tab_round(QWidget* window, const QStringList& expected) {
  const QStringList stops = names_of(tab_stops(window));
  EXPECT_TRUE(stops == expected) << "Tab stops " << joined(stops) << "\nexpected  "
                                 << joined(expected);

  window->findChild<QWidget*>(expected.first())->setFocus(Qt::OtherFocusReason);
  std::vector<QWidget*> visited;
  for (int step = 0; step <= expected.size(); ++step) {
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    visited.push_back(focus_owner(focused));
    QTest::keyClick(focused, Qt::Key_Tab);
  }
  const QStringList round = expected + QStringList{expected.first()};
  EXPECT_TRUE(names_of(visited) == round)
      << "Tab went " << joined(names_of(visited)) << "\nexpected  " << joined(round);
}

// Tab goes down the side buttons, then through the shown page row by row, and back to the top.
TEST_F(AccessibilityTest, TabFollowsTheLayoutOfTheMainWindow) {
  const QStringList side = {"超级按钮1", "超级按钮2", "超级按钮4", "超级按钮5", "超级按钮3"};
  const struct {
    int page;
    QStringList controls;
  } pages[] = {
      {0, {}},
      {1, {"代码区组合框", "按钮1", "系统区组合框", "按钮2", "软件区组合框", "按钮3"}},
      {2, {"编辑框1", "编辑框3", "编辑框4", "按钮4"}},
      {3, {}},
  };
  app::MainWindow window(values_, program_->verification_code());
  app::run_creation_handler(window, *program_, values_);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  for (const auto& each : pages) {
    SCOPED_TRACE(each.page);
    window.pages()->setCurrentIndex(each.page);
    expect_tab_round(&window, side + each.controls);
  }
}

// Left to right along the top, then down.
TEST_F(AccessibilityTest, TabFollowsTheLayoutOfTheInformationWindows) {
  const struct {
    const char* window;
    std::function<std::unique_ptr<QWidget>()> make;
    QStringList stops;
  } windows[] = {
      {"AboutWindow",
       [&] { return std::make_unique<app::AboutWindow>(values_); },
       {"超级按钮2", "超级按钮1", "编辑框1"}},
      {"AuthorWindow", [&] { return std::make_unique<app::AuthorWindow>(values_); }, {"图形按钮1"}},
      {"AgreementWindow",
       [] { return std::make_unique<app::AgreementWindow>(); },
       {"编辑框1", "编辑框2"}},
  };
  for (const auto& each : windows) {
    SCOPED_TRACE(each.window);
    const std::unique_ptr<QWidget> window = each.make();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    expect_tab_round(window.get(), each.stops);
  }
}

}  // namespace
