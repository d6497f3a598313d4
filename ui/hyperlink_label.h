// A hyperlink label: opens its web or mail address when the left button goes down.
#pragma once

#include <QLabel>

namespace ui {

class HyperlinkLabel : public QLabel {
  Q_OBJECT
 public:
  enum class Kind { Web, Mail };

  static inline const QColor kNormalColor{0, 0, 255};
  static inline const QColor kHoverColor{50, 196, 253};
  static inline const QColor kVisitedColor{128, 0, 0};

  explicit HyperlinkLabel(const QString& text, QWidget* parent = nullptr);

  // A web label opens the address itself; a mail label opens "mailto:" followed by it.
  // Without an address the label only reports the press.
  void set_address(Kind kind, const QString& address);
  QString target() const;  // what a press opens; empty when there is no address
  bool visited() const { return visited_; }

 signals:
  void pressed();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void update_color();

  Kind kind_ = Kind::Web;
  QString address_;
  bool hovered_ = false;
  bool visited_ = false;
};

}  // namespace ui
