#include "app/agreement_window.h"

#include <QFile>
#include <QPlainTextEdit>

#include "ui/control_table.h"
#include "ui/fixed_frame.h"

// The texts live in the static asset library; naming its resources links them in.
// Q_INIT_RESOURCE must be expanded outside any namespace.
static void register_info_resources() { Q_INIT_RESOURCE(info); }

namespace app {
namespace {

using Kind = ui::ControlKind;

// Holds both texts (to x 576, y 336); the outer size 586 × 375 less a thin border and a title bar.
constexpr QSize kClientSize{582, 341};

QString resource_text(const QString& path) {
  register_info_resources();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

// The window's controls by layout name.
constexpr ui::ControlName kTermsOfUseBox{"编辑框1"};
constexpr ui::ControlName kCopyrightNoticeBox{"编辑框2"};

ui::ControlTable agreement_window_controls() {
  using ui::kClientArea;
  const ui::FontSpec font{QStringLiteral("楷体"), 16, true};
  const QColor green{86, 171, 84};
  // clang-format off
  return {
      {kTermsOfUseBox,      Kind::TextBox, kClientArea, {8, 8, 280, 328},   terms_of_use_text(),     font, green},
      {kCopyrightNoticeBox, Kind::TextBox, kClientArea, {296, 8, 280, 328}, copyright_notice_text(), font, green},
  };
  // clang-format on
}

}  // namespace

QString terms_of_use_text() { return resource_text(QStringLiteral(":/info/terms_of_use.txt")); }

QString copyright_notice_text() {
  return resource_text(QStringLiteral(":/info/copyright_notice.txt"));
}

AgreementWindow::AgreementWindow(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("小天才协议"));
  const ui::Controls controls = ui::build_controls(this, agreement_window_controls());
  // Each text box is named by the heading its text starts with.
  for (const ui::ControlName name : {kTermsOfUseBox, kCopyrightNoticeBox}) {
    QPlainTextEdit& box = controls.get<QPlainTextEdit>(name);
    box.setAccessibleName(box.toPlainText().section(QLatin1Char('\n'), 0, 0).trimmed());
  }
  ui::set_fixed_frame(this, kClientSize, ui::TitleButtons::CloseOnly);
  ui::close_on_escape(this);
}

}  // namespace app
