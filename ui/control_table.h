// Fixed window layouts as data: one row per control, built into widgets by one function.
#pragma once

#include <QColor>
#include <QHash>
#include <QRect>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

namespace ui {

enum class ControlKind {
  FlatButton,        // ui::FlatButton
  PushButton,        // QPushButton
  TransparentLabel,  // ui::TransparentLabel
  Label,             // QLabel with the window's background
  HyperlinkLabel,    // ui::HyperlinkLabel (address set by the window)
  GroupBox,          // QGroupBox; its controls are placed relative to it
  ComboBox,          // editable drop-down list: QComboBox
  EntryBox,          // single-line entry: QLineEdit
  TextBox,           // multi-line read-only text: QPlainTextEdit
  PictureBox,        // QLabel holding a picture
  PictureButton,     // QPushButton showing a picture
};

// A font as face name and character height in pixels; no face means the window's default font.
struct FontSpec {
  QString face;
  int pixel_height = 0;
  bool bold = false;
};

struct ControlSpec {
  QString name;  // object name, unique within the window
  ControlKind kind;
  QString parent;  // object name of the container; empty for the window's client area
  QRect place;     // left, top, width, height in the container
  QString text;
  FontSpec font;
  std::optional<QColor> color;  // text colour
};

using ControlTable = std::vector<ControlSpec>;

// Creates every control of the table, in order, inside `root` or inside a container found by
// object name among `containers` and the controls created so far. Returns the controls by name.
QHash<QString, QWidget*> build_controls(QWidget* root, const ControlTable& table,
                                        const QHash<QString, QWidget*>& containers = {});

// A QFont for a font description (pixel height, GB2312-era faces resolved through the
// substitutions).
QFont font_of(const FontSpec& wanted, const QFont& fallback);

}  // namespace ui
