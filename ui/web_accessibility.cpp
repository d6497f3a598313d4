#include "ui/web_accessibility.h"

#include <QByteArray>
#include <QtGlobal>

namespace ui {

void expose_web_content_to_accessibility() {
  constexpr char kVariable[] = "QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY";
  if (!qEnvironmentVariableIsSet(kVariable)) qputenv(kVariable, QByteArrayLiteral("1"));
}

}  // namespace ui
