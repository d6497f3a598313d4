#include "app/page_view.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QList>
#include <QMouseEvent>
#include <QPointer>
#include <QUrl>
#include <QVariant>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>
#include <cstring>

#include "ui/silent_web_page.h"
#include "ui/web_address.h"

namespace app {
namespace {

constexpr char wndproc_property[] = "GWL_WNDPROC";
constexpr char lproc_property[] = "lProc";

bool is_page_window(const QObject* object) {
  return object->isWidgetType() &&
         std::strcmp(object->metaObject()->className(), page_window_class) == 0;
}

bool is_right_button_event(const QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
      return static_cast<const QMouseEvent*>(event)->button() == Qt::RightButton;
    default:
      return false;
  }
}

void end_takeover(QObject* inner) {
  inner->removeEventFilter(&page_window_proc());
  inner->setProperty(wndproc_property, QVariant());
  inner->setProperty(lproc_property, QVariant());
}

void take_over(QWidget* inner, QObject* procedure) {
  if (inner->property(wndproc_property).value<QObject*>() != nullptr) end_takeover(inner);
  inner->setProperty(lproc_property, QVariant::fromValue(QPointer<QObject>(procedure)));
  inner->installEventFilter(&page_window_proc());
  inner->setProperty(wndproc_property, QVariant::fromValue<QObject*>(&page_window_proc()));
}

// Takes over each inner widget the engine puts into the view, as soon as it is in place: the
// engine replaces its inner widget when the view moves to another site, and the old one leaves
// later, so a search from the view would still find the old one first.
class InnerWidgetWatch : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::ChildAdded) {
      // The child may still be under construction; look at its class once it is complete.
      QPointer<QObject> child = static_cast<QChildEvent*>(event)->child();
      QMetaObject::invokeMethod(
          this,
          [child] {
            if (child && is_page_window(child)) {
              take_over(static_cast<QWidget*>(child.data()), nullptr);
            }
          },
          Qt::QueuedConnection);
    }
    return false;
  }
};

// Where a page that asks for a new window goes instead: the address the engine gives with the
// request; only when it gives none, the last status-bar text. A window opened without an address
// comes as a blank page ("about:blank", "about:blank#blocked"), which would wipe out this view.
// Either is taken only when it is a web address: the page chooses both, and anything else (a
// local file, a script address) would be loaded with the program's own rights. Empty when the
// view is to stay where it is.
QUrl new_window_target(const QWebEngineNewWindowRequest& request, const ui::SilentWebPage& page) {
  const QUrl requested = request.requestedUrl();
  const bool blank =
      requested.adjusted(QUrl::RemoveFragment) == QUrl(QStringLiteral("about:blank"));
  const QUrl target = !requested.isEmpty() && !blank ? requested : QUrl(page.status_text());
  return ui::is_web_address(target) ? target : QUrl();
}

}  // namespace

bool PageWindowProc::eventFilter(QObject* watched, QEvent* event) {
  if (is_right_button_event(event)) {
    if (const auto procedure = watched->property(lproc_property).value<QPointer<QObject>>()) {
      QEvent none(QEvent::None);
      QCoreApplication::sendEvent(procedure, &none);
    }
    return true;
  }
  switch (event->type()) {
    case QEvent::ContextMenu:
      return true;
    case QEvent::Destroy:
      end_takeover(watched);
      return false;
    default:
      return false;
  }
}

PageWindowProc& page_window_proc() {
  static PageWindowProc proc;
  return proc;
}

QWidget* find_page_window(QWidget* parent) {
  if (parent == nullptr) return nullptr;
  // Events run between siblings may add or delete children: walk a guarded snapshot.
  QList<QPointer<QWidget>> children;
  for (QObject* child : parent->children()) {
    if (child->isWidgetType()) children.append(static_cast<QWidget*>(child));
  }
  for (const QPointer<QWidget>& child : children) {
    if (child.isNull()) continue;
    if (is_page_window(child)) return child;
    if (QWidget* found = find_page_window(child)) return found;
    // Let waiting input be handled; Qt offers no query for it, and this returns at once when
    // nothing waits.
    QCoreApplication::processEvents();
  }
  return nullptr;
}

bool hook_page_window(QWidget* view, QObject* procedure) {
  QWidget* inner = find_page_window(view);
  if (inner == nullptr) return false;
  take_over(inner, procedure);
  return true;
}

void setup_page_view(QWebEngineView* view, const QString& address) {
  auto* page = new ui::SilentWebPage(view);
  view->setPage(page);
  view->setZoomFactor(1.0);
  // Pages always come from the network: the engine has no offline mode to switch off.
  QObject::connect(view, &QWebEngineView::loadFinished, view,
                   [view] { hook_page_window(view, nullptr); });
  view->installEventFilter(new InnerWidgetWatch(view));
  QObject::connect(page, &QWebEnginePage::newWindowRequested, view,
                   [view, page](QWebEngineNewWindowRequest& request) {
                     // Not opening the request in a page leaves the new window unmade. The
                     // engine is still busy with the request here: navigate once it is done.
                     const QUrl target = new_window_target(request, *page);
                     if (target.isEmpty()) return;
                     QMetaObject::invokeMethod(
                         view, [view, target] { view->setUrl(target); }, Qt::QueuedConnection);
                   });
  // The view only ever shows web pages, whoever asks.
  const QUrl url(address);
  if (ui::is_web_address(url)) view->setUrl(url);
}

}  // namespace app
