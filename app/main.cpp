// Program start: the GUI runtime, then the program's own start-up.
#include <QApplication>
#include <unistd.h>

#include "app/maker_values.h"
#include "app/program.h"
#include "app/program_icon.h"
#include "net/event_pump.h"
#include "ui/fonts.h"
#include "ui/toolkit_translations.h"
#include "ui/web_accessibility.h"

int main(int argc, char** argv) {
  // The web engine refuses to run as root without its sandbox switch; a normal user keeps it.
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  // Screen readers see the pages' content too; the engine reads the switch when it starts.
  ui::expose_web_content_to_accessibility();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication application(argc, argv);
  // Message boxes and entry box menus in the desktop's language.
  ui::install_toolkit_translations();
  // Every window shows the program's icon; desktops match the windows to the menu entry
  // io.github.wristboat.Assistant.desktop.
  QApplication::setWindowIcon(app::program_icon());
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.wristboat.Assistant"));
  ui::install_font_substitutions();
  // Network waits keep the windows painted and responsive.
  net::set_event_pump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
  return app::run_program(app::built_in_values());
}
