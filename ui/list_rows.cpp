#include "ui/list_rows.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QPointer>
#include <QStyledItemDelegate>

namespace ui {
namespace {

// Draws rows as usual, sized by the combo box's own font: the height of its line plus one pixel.
class FontRowDelegate : public QStyledItemDelegate {
 public:
  explicit FontRowDelegate(QComboBox* combo) : QStyledItemDelegate(combo), combo_(combo) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (combo_) size.setHeight(QFontMetrics(combo_->font()).height() + 1);
    return size;
  }

 private:
  QPointer<QComboBox> combo_;
};

}  // namespace

void use_font_rows_plus_one(QComboBox* combo) {
  combo->setItemDelegate(new FontRowDelegate(combo));
}

}  // namespace ui
