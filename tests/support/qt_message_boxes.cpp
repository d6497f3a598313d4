#include "tests/support/qt_message_boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>

namespace test_support {

MessageBoxAnswerer::MessageBoxAnswerer() {
  timer_.setInterval(10);
  connect(&timer_, &QTimer::timeout, this, &MessageBoxAnswerer::answer_visible_boxes);
  timer_.start();
}

void MessageBoxAnswerer::answer_visible_boxes() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (!box || !box->isVisible()) continue;
    seen_.append({box->text(), box->windowTitle(), box->icon()});
    QAbstractButton* answer = box->button(QMessageBox::Ok);
    if (answer == nullptr) answer = box->defaultButton();
    if (answer != nullptr) {
      answer->click();
    } else {
      box->accept();
    }
  }
}

}  // namespace test_support
