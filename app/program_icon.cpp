#include "app/program_icon.h"

// The pictures live in the static asset library; naming its resources links them in.
// Q_INIT_RESOURCE must be expanded outside any namespace.
static void register_desktop_resources() { Q_INIT_RESOURCE(desktop); }

namespace app {

QIcon program_icon() {
  register_desktop_resources();
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/desktop/icons/%1x%1.png").arg(size), QSize(size, size));
  return icon;
}

}  // namespace app
