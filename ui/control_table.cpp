#include "ui/control_table.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <utility>

#include "ui/flat_button.h"
#include "ui/hyperlink_label.h"
#include "ui/list_rows.h"
#include "ui/transparent_label.h"

namespace ui {
namespace {

QWidget* create_control(const ControlSpec& row, QWidget* parent) {
  switch (row.kind) {
    case ControlKind::FlatButton:
      return new FlatButton(row.text, parent);
    case ControlKind::PushButton:
      return new QPushButton(row.text, parent);
    case ControlKind::TransparentLabel:
      return new TransparentLabel(row.text, parent);
    case ControlKind::Label: {
      auto* label = new QLabel(parent);
      label->setTextFormat(Qt::PlainText);
      label->setText(row.text);
      return label;
    }
    case ControlKind::HyperlinkLabel:
      return new HyperlinkLabel(row.text, parent);
    case ControlKind::GroupBox:
      return new QGroupBox(row.text, parent);
    case ControlKind::ComboBox: {
      auto* combo = new QComboBox(parent);
      combo->setEditable(true);
      combo->setInsertPolicy(QComboBox::NoInsert);
      combo->setCompleter(nullptr);
      use_font_rows_plus_one(combo);
      return combo;
    }
    case ControlKind::EntryBox: {
      auto* entry = new QLineEdit(row.text, parent);
      entry->setAlignment(Qt::AlignCenter);
      return entry;
    }
    case ControlKind::TextBox: {
      auto* box = new QPlainTextEdit(parent);
      box->setReadOnly(true);
      box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
      box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      box->setPlainText(row.text);
      return box;
    }
    case ControlKind::PictureBox: {
      auto* picture = new QLabel(parent);
      picture->setAccessibleDescription(row.text);
      return picture;
    }
    case ControlKind::PictureButton: {
      auto* button = new QPushButton(parent);
      button->setFlat(true);
      button->setAccessibleName(row.text);
      button->setCursor(Qt::PointingHandCursor);
      return button;
    }
  }
  return nullptr;
}

void apply_color(QWidget* control, ControlKind kind, const QColor& color) {
  QPalette colors = control->palette();
  const bool editable = kind == ControlKind::ComboBox || kind == ControlKind::EntryBox ||
                        kind == ControlKind::TextBox;
  colors.setColor(editable ? QPalette::Text : QPalette::WindowText, color);
  if (editable) colors.setColor(QPalette::Base, Qt::white);
  control->setPalette(colors);
}

}  // namespace

QFont font_of(const FontSpec& wanted, const QFont& fallback) {
  if (wanted.face.isEmpty()) return fallback;
  QFont font(wanted.face);
  font.setPixelSize(wanted.pixel_height);
  font.setBold(wanted.bold);
  return font;
}

void Controls::missing_control(ControlName name, const char* class_name) {
  qFatal("no control %s of class %s in this window", name.layout(), class_name);
}

BuiltControls try_build_controls(QWidget* root, const ControlTable& table,
                                 const Controls& containers) {
  BuiltControls built{containers, {}};
  for (const ControlSpec& row : table) {
    if (row.name.empty()) {
      built.error = QStringLiteral("a control without a name");
      break;
    }
    if (built.controls.contains(row.name)) {
      built.error = QStringLiteral("%1: the name is used twice").arg(row.name.text());
      break;
    }
    QWidget* parent = root;
    if (!row.parent.empty()) {
      parent = built.controls.find(row.parent);
      if (parent == nullptr) {
        built.error =
            QStringLiteral("%1: unknown parent %2").arg(row.name.text(), row.parent.text());
        break;
      }
    }
    QWidget* control = create_control(row, parent);
    control->setObjectName(row.name.text());
    control->setGeometry(row.place);
    control->setFont(font_of(row.font, parent->font()));
    if (row.color) apply_color(control, row.kind, *row.color);
    // Buttons, labels and group boxes are read out by the text they show at the time, so their
    // names follow later changes of text; pictures carry their text as name or description.
    built.controls.add(row.name, control);
  }
  return built;
}

Controls build_controls(QWidget* root, const ControlTable& table, const Controls& containers) {
  BuiltControls built = try_build_controls(root, table, containers);
  if (!built.error.isEmpty()) qFatal("layout table: %s", qUtf8Printable(built.error));
  return std::move(built.controls);
}

}  // namespace ui
