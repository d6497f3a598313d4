// The agreement window: the terms of use and the copyright notice, side by side.
#pragma once

#include <QString>
#include <QWidget>

namespace app {

// The two legal texts shipped with the program ("使用协议" and "版权声明").
QString terms_of_use_text();
QString copyright_notice_text();

// "小天才协议": two read-only, selectable texts in green bold Kai on white. Fixed frame, close
// button only.
class AgreementWindow : public QWidget {
  Q_OBJECT
 public:
  explicit AgreementWindow(QWidget* parent = nullptr);
};

}  // namespace app
