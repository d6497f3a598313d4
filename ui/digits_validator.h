// Keeps only the digits 0 to 9 and the minus sign of typed or pasted text.
#pragma once

#include <QValidator>

namespace ui {

class DigitsValidator : public QValidator {
  Q_OBJECT
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& position) const override;
};

}  // namespace ui
