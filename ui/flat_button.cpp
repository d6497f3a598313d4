#include "ui/flat_button.h"

namespace ui {

FlatButton::FlatButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
  setFlat(true);
  setCursor(Qt::PointingHandCursor);
  setStyleSheet(QStringLiteral(
      "QPushButton { border: none; background-color: rgb(234, 244, 250); color: rgb(40, 96, 140); }"
      "QPushButton:hover { background-color: rgb(204, 231, 247); }"
      "QPushButton:pressed { background-color: rgb(176, 214, 240); }"));
}

}  // namespace ui
