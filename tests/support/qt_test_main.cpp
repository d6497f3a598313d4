// main() for the Qt test programs: offscreen platform, one QApplication, GoogleTest.
#include <QApplication>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>
#include <gtest/gtest.h>
#include <unistd.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The web engine refuses to run as root without its sandbox switch; a normal user keeps the
  // sandbox.
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
          "--disable-background-networking --disable-component-update --no-first-run");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
