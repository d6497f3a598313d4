// The GUI's edge: GBK Text to QString and back.
#pragma once

#include <QString>

#include "net/text.h"

namespace ui {

QString to_qstring(const net::Text& text);
net::Text to_text(const QString& string);

}  // namespace ui
