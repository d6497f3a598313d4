// A label that draws only its text, in its own colour, over whatever lies behind it.
#pragma once

#include <QLabel>

class QTextLayout;

namespace ui {

// Wraps its text at the label's width with lines 1.2 character heights apart, as the program's
// fixed layouts expect, whatever line spacing the installed face would ask for. A text that does
// not fit the label's fixed place is shown whole as its tool tip.
class TransparentLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TransparentLabel(const QString& text, QWidget* parent = nullptr);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // Lays the text out in the label's width; returns the height the lines need.
  qreal lay_out(QTextLayout& layout) const;
};

}  // namespace ui
