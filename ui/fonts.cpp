#include "ui/fonts.h"

#include <QApplication>
#include <QFont>
#include <QStringList>

namespace ui {

void install_font_substitutions() {
  const QStringList kai{QStringLiteral("AR PL UKai CN"), QStringLiteral("AR PL UKai TW"),
                        QStringLiteral("Noto Serif CJK SC")};
  const QStringList sans{QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans CJK"),
                         QStringLiteral("WenQuanYi Micro Hei")};
  QFont::insertSubstitutions(QStringLiteral("楷体"), kai);
  QFont::insertSubstitutions(QStringLiteral("方正喵呜体"), sans);
  QFont::insertSubstitutions(QStringLiteral("微软雅黑"), sans);

  // Text without a face of its own (menus, message boxes, default-font controls) would otherwise
  // fall back to whichever CJK face fontconfig prefers, often a Kai face.
  QFont default_font = QApplication::font();
  default_font.setFamilies(sans);
  QApplication::setFont(default_font);
}

}  // namespace ui
