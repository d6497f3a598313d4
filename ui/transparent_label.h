// A label that draws only its text, in its own colour, over whatever lies behind it.
#pragma once

#include <QColor>
#include <QLabel>

namespace ui {

class TransparentLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TransparentLabel(const QString& text, QWidget* parent = nullptr);
  void set_text_color(const QColor& color);
};

}  // namespace ui
