#include "ui/transparent_label.h"

namespace ui {

TransparentLabel::TransparentLabel(const QString& text, QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);  // texts may come from outside: never interpreted as markup
  setText(text);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setAutoFillBackground(false);
  setAttribute(Qt::WA_TranslucentBackground);
}

void TransparentLabel::set_text_color(const QColor& color) {
  QPalette colors = palette();
  colors.setColor(QPalette::WindowText, color);
  setPalette(colors);
}

}  // namespace ui
