#include "ui/open_address.h"

#include <QDesktopServices>
#include <QUrl>

namespace ui {

bool open_address(const QString& address) {
  const QUrl url(address, QUrl::StrictMode);
  if (!url.isValid() || url.scheme().isEmpty()) return false;
  return QDesktopServices::openUrl(url);
}

}  // namespace ui
