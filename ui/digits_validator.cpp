#include "ui/digits_validator.h"

namespace ui {

QValidator::State DigitsValidator::validate(QString& input, int& position) const {
  QString kept;
  kept.reserve(input.size());
  int kept_before_cursor = 0;
  for (qsizetype i = 0; i < input.size(); ++i) {
    const QChar c = input.at(i);
    if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-')) {
      kept.append(c);
      if (i < position) ++kept_before_cursor;
    }
  }
  input = kept;
  position = kept_before_cursor;
  return Acceptable;
}

}  // namespace ui
