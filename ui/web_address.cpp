#include "ui/web_address.h"

namespace ui {

bool is_web_address(const QUrl& url) {
  if (!url.isValid() || url.isRelative()) return false;
  const QString scheme = url.scheme();
  if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return false;
  return !url.host().isEmpty();
}

bool is_web_address(const QString& address) {
  return is_web_address(QUrl(address, QUrl::StrictMode));
}

}  // namespace ui
