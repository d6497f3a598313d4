// The web-address check on any bytes, read as UTF-8 and as Latin-1, as text and as an address.
// Whatever it accepts is an absolute http or https address with a host, and stays one when it is
// written out and read back.
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <cstdlib>

#include "ui/web_address.h"

namespace {

void check(const QString& text) {
  const QUrl lenient(text);
  const QUrl strict(text, QUrl::StrictMode);
  if (ui::is_web_address(text) != ui::is_web_address(strict)) std::abort();
  for (const QUrl* url : {&strict, &lenient}) {
    if (!ui::is_web_address(*url)) continue;
    const QString scheme = url->scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) std::abort();
    if (url->host().isEmpty() || url->isRelative()) std::abort();
    if (!ui::is_web_address(url->toString(QUrl::FullyEncoded))) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto* bytes = reinterpret_cast<const char*>(data);
  const auto length = static_cast<qsizetype>(size);
  check(QString::fromUtf8(bytes, length));
  check(QString::fromLatin1(bytes, length));
  return 0;
}
