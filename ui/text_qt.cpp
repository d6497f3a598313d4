#include "ui/text_qt.h"

#include <cstring>

#include "net/encoding.h"

namespace ui {

QString to_qstring(const net::Text& text) {
  const net::Bytes units = net::gbk_to_utf16(text, true);
  return QString(reinterpret_cast<const QChar*>(units.data()),
                 static_cast<qsizetype>(units.size() / 2));
}

net::Text to_text(const QString& string) {
  net::Bytes units(static_cast<std::size_t>(string.size()) * 2);
  if (!units.empty()) std::memcpy(units.data(), string.utf16(), units.size());
  return net::utf16_to_gbk(units);
}

}  // namespace ui
