#include "app/about_window.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>

#include "app/author_window.h"
#include "net/encoding.h"
#include "ui/control_table.h"
#include "ui/fixed_frame.h"
#include "ui/hyperlink_label.h"
#include "ui/text_qt.h"
#include "ui/window_opening.h"

namespace app {
namespace {

using Kind = ui::ControlKind;

// Holds every control (the English button reaches x 528, the author label y 320); the outer
// size 532 × 354 less a thin border and a title bar.
constexpr QSize kClientSize{528, 320};

// The window's controls by layout name.
constexpr ui::ControlName kTitle{"透明标签1"};
constexpr ui::ControlName kBeta{"透明标签2"};
constexpr ui::ControlName kChineseButton{"超级按钮2"};  // shows the Chinese text
constexpr ui::ControlName kEnglishButton{"超级按钮1"};  // shows the English text
constexpr ui::ControlName kTextBox{"编辑框1"};
constexpr ui::ControlName kAuthorLink{"超级链接框1"};  // opens the author window

ui::ControlTable about_window_controls() {
  using ui::kClientArea;
  const QString miaowu = QStringLiteral("方正喵呜体");
  const QString kai = QStringLiteral("楷体");
  // clang-format off
  return {
      {kTitle,         Kind::TransparentLabel, kClientArea, {56, -8, 400, 88},  "关于栎湾腕舟助手", {miaowu, 35}, QColor(86, 171, 84)},
      {kBeta,          Kind::TransparentLabel, kClientArea, {360, 0, 136, 48},  "bete",             {miaowu, 20}, QColor(192, 192, 192)},
      {kChineseButton, Kind::FlatButton,       kClientArea, {416, 40, 56, 16},  "简体中文",         {},           {}},
      {kEnglishButton, Kind::FlatButton,       kClientArea, {472, 40, 56, 16},  "English",          {},           {}},
      {kTextBox,       Kind::TextBox,          kClientArea, {8, 64, 512, 232},  "",                 {miaowu, 32}, QColor(255, 0, 0)},
      {kAuthorLink,    Kind::HyperlinkLabel,   kClientArea, {0, 296, 96, 24},   "关于作者",         {kai, 14},    {}},
  };
  // clang-format on
}

// What a Windows edit box draws for a text: a line per CR LF; a lone CR or LF is not drawn.
QString drawn_lines(const net::Text& text) {
  QStringList lines = ui::to_qstring(text).split(QStringLiteral("\r\n"));
  for (QString& line : lines) line.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

net::Text about_text_chinese(const MakerValues& values) {
  return net::utf8_to_gbk(
      "栎湾云腕舟助手(以下简称\"助手\")\r\n"
      "1.助手不会收集您的个人信息\r\n"
      "2.助手软件完全免费\r\n"
      "3.助手官方QQ群：" +
      values.qq_group + "\r\n");
}

net::Text about_text_english(const MakerValues& values) {
  return net::utf8_to_gbk(
      "A Wristboat assistant (hereinafter referred to as assistant)\n\n\r\n"
      "1. The assistant will not collect your personal information\r\n\n\n"
      "2. The assistant software is completely free\n\n\r\n"
      "3. Official QQ group: " +
      values.qq_group + "\r\n\n\n");
}

AboutWindow::AboutWindow(const MakerValues& values, QWidget* parent)
    : QWidget(parent), values_(values) {
  setWindowTitle(QStringLiteral("关于助手"));
  const ui::Controls controls = ui::build_controls(this, about_window_controls());
  text_box_ = &controls.get<QPlainTextEdit>(kTextBox);
  // The heading above the text box names it for assistive technology.
  controls.get<QLabel>(kTitle).setBuddy(text_box_);
  connect(&controls.get<QPushButton>(kChineseButton), &QPushButton::clicked, this,
          [this] { show_text(about_text_chinese(values_)); });
  connect(&controls.get<QPushButton>(kEnglishButton), &QPushButton::clicked, this,
          [this] { show_text(about_text_english(values_)); });
  connect(&controls.get<ui::HyperlinkLabel>(kAuthorLink), &ui::HyperlinkLabel::pressed, this,
          [this] { ui::open_modeless<AuthorWindow>(values_); });
  show_text(about_text_chinese(values_));
  ui::set_fixed_frame(this, kClientSize, ui::TitleButtons::CloseOnly);
  ui::close_on_escape(this);
}

void AboutWindow::show_text(net::Text text) {
  shown_text_ = std::move(text);
  text_box_->setPlainText(drawn_lines(shown_text_));  // the view starts again at the top
}

}  // namespace app
