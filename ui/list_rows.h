// Drop-down list rows one pixel taller than the list's font asks for.
#pragma once

class QComboBox;

namespace ui {

// Makes every row of the combo box's drop-down list the height of a line of its font plus one
// pixel, following the font when it changes.
void use_font_rows_plus_one(QComboBox* combo);

}  // namespace ui
