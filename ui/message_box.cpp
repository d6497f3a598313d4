#include "ui/message_box.h"

#include <QMessageBox>

namespace ui {

void message_box(const QString& text, int flags, const QString& title) {
  QMessageBox box(flags == kMessageInformation ? QMessageBox::Information : QMessageBox::NoIcon,
                  title, text, QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace ui
