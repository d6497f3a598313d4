#include "tests/support/qt_event_loop.h"

#include <QApplication>
#include <QTimer>

namespace test_support {

int run_event_loop(int limit_ms) {
  QTimer guard;
  guard.setSingleShot(true);
  guard.callOnTimeout([] { QCoreApplication::exit(99); });
  guard.start(limit_ms);
  return QApplication::exec();
}

}  // namespace test_support
