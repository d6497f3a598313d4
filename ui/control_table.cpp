#include "ui/control_table.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/flat_button.h"
#include "ui/hyperlink_label.h"
#include "ui/transparent_label.h"

namespace ui {
namespace {

QWidget* create_control(const ControlSpec& spec, QWidget* parent) {
  switch (spec.kind) {
    case ControlKind::FlatButton: return new FlatButton(spec.text, parent);
    case ControlKind::PushButton: return new QPushButton(spec.text, parent);
    case ControlKind::TransparentLabel: return new TransparentLabel(spec.text, parent);
    case ControlKind::Label: {
      auto* label = new QLabel(parent);
      label->setTextFormat(Qt::PlainText);
      label->setText(spec.text);
      return label;
    }
    case ControlKind::HyperlinkLabel: return new HyperlinkLabel(spec.text, parent);
    case ControlKind::GroupBox: return new QGroupBox(spec.text, parent);
    case ControlKind::ComboBox: {
      auto* combo = new QComboBox(parent);
      combo->setEditable(true);
      combo->setInsertPolicy(QComboBox::NoInsert);
      combo->setCompleter(nullptr);
      return combo;
    }
    case ControlKind::EntryBox: {
      auto* entry = new QLineEdit(spec.text, parent);
      entry->setAlignment(Qt::AlignCenter);
      return entry;
    }
    case ControlKind::TextBox: {
      auto* box = new QPlainTextEdit(parent);
      box->setReadOnly(true);
      box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
      box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      box->setPlainText(spec.text);
      return box;
    }
    case ControlKind::PictureBox: {
      auto* picture = new QLabel(parent);
      picture->setAccessibleDescription(spec.text);
      return picture;
    }
    case ControlKind::PictureButton: {
      auto* button = new QPushButton(parent);
      button->setFlat(true);
      button->setAccessibleName(spec.text);
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

QFont font_of(const FontSpec& spec, const QFont& fallback) {
  if (spec.face.isEmpty()) return fallback;
  QFont font(spec.face);
  font.setPixelSize(spec.pixel_height);
  font.setBold(spec.bold);
  return font;
}

QHash<QString, QWidget*> build_controls(QWidget* root, const ControlTable& table,
                                        const QHash<QString, QWidget*>& containers) {
  QHash<QString, QWidget*> controls = containers;
  for (const ControlSpec& spec : table) {
    QWidget* parent = spec.parent.isEmpty() ? root : controls.value(spec.parent, root);
    QWidget* control = create_control(spec, parent);
    control->setObjectName(spec.name);
    control->setGeometry(spec.place);
    control->setFont(font_of(spec.font, parent->font()));
    if (spec.color) apply_color(control, spec.kind, *spec.color);
    // Buttons, labels and group boxes are read out by the text they show at the time, so their
    // names follow later changes of text; pictures carry their text as name or description.
    controls.insert(spec.name, control);
  }
  for (const QString& name : containers.keys()) controls.remove(name);
  return controls;
}

}  // namespace ui
