// The embedded page view: settings, no context menu on the page, new windows open in place.
#pragma once

#include <QObject>
#include <QString>

class QEvent;
class QWebEngineView;
class QWidget;

namespace app {

// The event filter that takes the page view's inner widget over. One instance serves every
// taken-over widget (see page_window_proc()). It swallows right-button press, release and
// double-click and the context-menu event, so the engine never sees them and never opens its
// menu; each swallowed event is announced to the widget's right-button procedure (its "lProc"
// property) as a bare QEvent::None, when one is set. Every other event passes on to the
// widget's own handling. When the widget is destroyed (QEvent::Destroy) the takeover ends: the
// filter comes off and both properties are removed before the widget handles the event itself.
class PageWindowProc : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// The class name the engine's inner widget (the one that gets mouse input) reports.
inline constexpr char page_window_class[] = "QQuickWidget";

// The first widget below `parent`, depth first in child order, whose class name
// (metaObject()->className()) is exactly page_window_class; a widget is tested before its own
// children. Between siblings it lets the event loop run once, so pending input is handled during
// the search. Null when there is none.
QWidget* find_page_window(QWidget* parent);

// Takes over the inner widget of `view` with page_window_proc(); false, changing nothing, when
// the view has no inner widget. An earlier takeover of the same widget is undone first, so the
// filter is never in place twice. The takeover is kept as two dynamic properties of the widget:
//   "GWL_WNDPROC"  the filter standing in front of the widget's own event handling (QObject*),
//                  the object that undoing the takeover removes; Qt keeps the widget's own
//                  handling behind the filter, so there is nothing else to save;
//   "lProc"        the right-button procedure given here (QPointer<QObject>, null when none).
bool hook_page_window(QWidget* view, QObject* procedure);

// The one event filter every taken-over inner widget has in front of its own handling.
PageWindowProc& page_window_proc();

// Sets up a freshly created page view and starts loading `address`: zoom 1.0, a silent page
// (JavaScript dialogs, certificate errors and authentication are answered without a window), the
// inner widget taken over on every document ready and whenever the engine puts a new one in
// place, and pages that ask for a new window opened in this view instead. Only web addresses
// (ui::is_web_address) are ever loaded: `address`, the address a page asks a new window for and
// the hovered link it falls back on; for anything else the view stays where it is.
void setup_page_view(QWebEngineView* view, const QString& address);

}  // namespace app
