#include "ui/transparent_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolTip>

namespace ui {

TransparentLabel::TransparentLabel(const QString& text, QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);  // texts may come from outside: never interpreted as markup
  setText(text);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setAutoFillBackground(false);
  setAttribute(Qt::WA_TranslucentBackground);
}

qreal TransparentLabel::lay_out(QTextLayout& layout) const {
  const QFontMetricsF metrics(font());
  const qreal character_height = font().pixelSize() > 0 ? font().pixelSize() : metrics.height();
  const qreal line_step = character_height * 1.2;

  QTextOption option(alignment());
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  // Each line's glyphs sit just below the previous line's, however tall the face's ascent is.
  qreal top = character_height - metrics.ascent();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width());
    line.setPosition(QPointF(0, top));
    top += line_step;
  }
  layout.endLayout();
  return top - line_step + metrics.ascent() + metrics.descent();
}

bool TransparentLabel::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    QTextLayout layout(text(), font());
    if (lay_out(layout) > height()) {
      // The tool tip guesses its format from the text; handed as escaped markup of the plain
      // text, it shows exactly the label's characters, whatever they look like.
      QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(),
                         Qt::convertFromPlainText(text()), this);
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QLabel::event(event);
}

void TransparentLabel::paintEvent(QPaintEvent*) {
  QTextLayout layout(text(), font());
  lay_out(layout);
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  layout.draw(&painter, QPointF(0, 0));
}

}  // namespace ui
