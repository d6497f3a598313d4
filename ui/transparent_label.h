// A label that draws only its text, in its own colour, over whatever lies behind it.
#pragma once

#include <QColor>
#include <QLabel>

namespace ui {

// Wraps its text at the label's width with lines 1.2 character heights apart, as the program's
// fixed layouts expect, whatever line spacing the installed face would ask for.
class TransparentLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TransparentLabel(const QString& text, QWidget* parent = nullptr);
  void set_text_color(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace ui
