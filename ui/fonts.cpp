#include "ui/fonts.h"

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
}

}  // namespace ui
