#include "ui/hyperlink_label.h"

#include <QMouseEvent>

#include "ui/open_address.h"

namespace ui {

HyperlinkLabel::HyperlinkLabel(const QString& text, QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setText(text);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setCursor(Qt::PointingHandCursor);
  update_color();
}

void HyperlinkLabel::set_address(Kind kind, const QString& address) {
  kind_ = kind;
  address_ = address;
}

QString HyperlinkLabel::target() const {
  if (address_.isEmpty()) return {};
  return kind_ == Kind::Mail ? QStringLiteral("mailto:") + address_ : address_;
}

void HyperlinkLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QLabel::mousePressEvent(event);
    return;
  }
  if (const QString address = target(); !address.isEmpty() && open_address(address)) {
    visited_ = true;
    update_color();
  }
  emit pressed();
}

void HyperlinkLabel::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update_color();
  QLabel::enterEvent(event);
}

void HyperlinkLabel::leaveEvent(QEvent* event) {
  hovered_ = false;
  update_color();
  QLabel::leaveEvent(event);
}

void HyperlinkLabel::update_color() {
  QPalette colors = palette();
  colors.setColor(QPalette::WindowText, hovered_   ? kHoverColor
                                        : visited_ ? kVisitedColor
                                                   : kNormalColor);
  setPalette(colors);
}

}  // namespace ui
