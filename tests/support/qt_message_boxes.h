// Answers the program's message boxes during a test and records what each one said.
#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>

namespace test_support {

struct SeenMessageBox {
  QString text;
  QString title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// While it exists, every visible message box is recorded and then answered with its OK (or
// default) button, as a user would. It looks every few milliseconds, so boxes shown from
// inside nested event loops are answered too.
class MessageBoxAnswerer : public QObject {
  Q_OBJECT
 public:
  MessageBoxAnswerer();

  const QList<SeenMessageBox>& seen() const { return seen_; }
  void clear() { seen_.clear(); }

 private:
  void answer_visible_boxes();

  QTimer timer_;
  QList<SeenMessageBox> seen_;
};

}  // namespace test_support
