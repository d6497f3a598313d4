// A flat push button: no raised edge, a soft background that lightens under the mouse.
#pragma once

#include <QPushButton>

namespace ui {

class FlatButton : public QPushButton {
  Q_OBJECT
 public:
  explicit FlatButton(const QString& text, QWidget* parent = nullptr);
};

}  // namespace ui
