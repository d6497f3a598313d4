// The entry boxes' filter: only the digits 0 to 9 and the minus sign stay, the cursor with them.
#include "ui/digits_validator.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(DigitsValidator, KeepsDigitsAndMinusAndMovesTheCursorWithThem) {
  const struct {
    const char* label;
    QString input;
    int cursor;
    QString kept;
    int kept_cursor;
  } cases[] = {
      {"digits only", "0123456789", 10, "0123456789", 10},
      {"minus signs stay", "-12-3", 2, "-12-3", 2},
      {"letters and spaces go", "a1 b2c3", 7, "123", 3},
      {"cursor counts only kept characters before it", "1x2y3", 3, "123", 2},
      {"full-width digits are not ASCII digits", "１２3", 3, "3", 1},
      {"plus and dot go", "+1.5", 4, "15", 2},
      {"empty stays empty", "", 0, "", 0},
      {"nothing kept", "abc", 2, "", 0},
  };
  const ui::DigitsValidator validator;
  for (const auto& test : cases) {
    SCOPED_TRACE(test.label);
    QString input = test.input;
    int cursor = test.cursor;
    EXPECT_EQ(validator.validate(input, cursor), QValidator::Acceptable);
    EXPECT_EQ(input, test.kept);
    EXPECT_EQ(cursor, test.kept_cursor);
  }
}

TEST(DigitsValidator, TypedTextInAnEntryBoxKeepsOnlyWhatIsAllowed) {
  QLineEdit entry;
  entry.setValidator(new ui::DigitsValidator(&entry));
  QTest::keyClicks(&entry, "12ab-3 4");
  EXPECT_EQ(entry.text(), "12-34");
  QTest::keyClick(&entry, Qt::Key_Backspace);  // editing keys work as usual
  EXPECT_EQ(entry.text(), "12-3");
}

}  // namespace
