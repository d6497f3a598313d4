// Fixed window layouts as data: one row per control, built into widgets by one function.
#pragma once

#include <QColor>
#include <QHash>
#include <QList>
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

// The layout name of a control, which is also its Qt object name; unique within its window.
// Each window names every control once, as a constant beside a name that says what it does:
//   constexpr ui::ControlName kClaimButton{"按钮4"};
// and uses that constant both in its layout table and in its wiring.
class ControlName {
 public:
  constexpr ControlName() = default;  // no name: the window's own client area
  constexpr explicit ControlName(const char* layout) : layout_(layout) {}

  constexpr bool empty() const { return layout_ == nullptr || *layout_ == '\0'; }
  const char* layout() const { return layout_ ? layout_ : ""; }  // UTF-8
  QString text() const { return QString::fromUtf8(layout()); }

 private:
  const char* layout_ = nullptr;
};

// The window's own client area, as a parent in a layout table.
inline constexpr ControlName kClientArea{};

struct ControlSpec {
  ControlName name;
  ControlKind kind;
  ControlName parent;  // a container given to the builder or an earlier row; kClientArea
  QRect place;         // left, top, width, height in the container
  QString text;
  FontSpec font;
  std::optional<QColor> color;  // text colour
};

using ControlTable = std::vector<ControlSpec>;

// A window's controls by name.
class Controls {
 public:
  void add(ControlName name, QWidget* control) { controls_.insert(name.text(), control); }
  bool contains(ControlName name) const { return controls_.contains(name.text()); }
  QList<QWidget*> all() const { return controls_.values(); }

  // The control of that name and class; null when there is none or it is of another class.
  template <class Control = QWidget>
  Control* find(ControlName name) const {
    return qobject_cast<Control*>(controls_.value(name.text()));
  }

  // As find, for a window wiring its own fixed layout, which it does once while it is built: a
  // control that is missing or of another class is a fault of the program, so it stops at once
  // with a message naming the control and the class asked for.
  template <class Control = QWidget>
  Control& get(ControlName name) const {
    Control* control = find<Control>(name);
    if (control == nullptr) missing_control(name, Control::staticMetaObject.className());
    return *control;
  }

 private:
  [[noreturn]] static void missing_control(ControlName name, const char* class_name);

  QHash<QString, QWidget*> controls_;
};

// What building a table gave: every control made so far and, when a row was wrong, what was
// wrong with it (building stops there).
struct BuiltControls {
  Controls controls;
  QString error;  // empty when every row was built
};

// Creates every control of the table, in order, inside `root` or inside its parent: a container
// given in `containers` or a control of an earlier row. The result holds the containers and the
// controls. A parent that is neither, and a name used twice, are errors.
BuiltControls try_build_controls(QWidget* root, const ControlTable& table,
                                 const Controls& containers = {});

// As try_build_controls, for a window's own fixed table: an error there is a fault of the
// program, so it stops at once with the error.
Controls build_controls(QWidget* root, const ControlTable& table, const Controls& containers = {});

// A QFont for a font description (pixel height, GB2312-era faces resolved through the
// substitutions).
QFont font_of(const FontSpec& wanted, const QFont& fallback);

}  // namespace ui
