// The link catalogue of page 1: tutorial articles, system images and PC software.
#pragma once

#include <QString>
#include <vector>

#include "app/maker_values.h"

class QComboBox;

namespace app {

struct CatalogueRow {
  QString item;     // the text of the list item
  QString address;  // what the browser opens for it
};

std::vector<CatalogueRow> tutorial_rows();
std::vector<CatalogueRow> system_image_rows();
std::vector<CatalogueRow> software_rows(const MakerValues& values);

// A button's click: opens the address of the row whose index is the list's selected index.
// Nothing is opened when no item is selected; the edit field's text is never read.
void open_selected_row(const QComboBox& list, const std::vector<CatalogueRow>& rows);

}  // namespace app
