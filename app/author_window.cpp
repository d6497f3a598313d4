#include "app/author_window.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "ui/control_table.h"
#include "ui/fixed_frame.h"
#include "ui/hyperlink_label.h"
#include "ui/jpeg_image.h"
#include "ui/open_address.h"

// The pictures live in the static asset library; naming its resources links them in.
// Q_INIT_RESOURCE must be expanded outside any namespace.
static void register_info_resources() { Q_INIT_RESOURCE(info); }

namespace app {
namespace {

using Kind = ui::ControlKind;

// Holds every control (the profile reaches x 408, the song link y 136); the outer size
// 424 × 184 less a thin border and a title bar.
constexpr QSize kClientSize{420, 150};

// The window's controls by layout name.
constexpr ui::ControlName kAvatar{"图片框2"};
constexpr ui::ControlName kAuthorName{"透明标签1"};
constexpr ui::ControlName kLevelBadge{"图片框1"};
constexpr ui::ControlName kRankBadge{"图片框3"};
constexpr ui::ControlName kProfile{"透明标签2"};
constexpr ui::ControlName kChatButton{"图形按钮1"};  // opens the QQ chat link
constexpr ui::ControlName kSongLink{"超级链接框1"};  // opens the song page

ui::ControlTable author_window_controls() {
  using ui::kClientArea;
  const QString kai = QStringLiteral("楷体");
  // clang-format off
  return {
      {kAvatar,     Kind::PictureBox,       kClientArea, {8, 8, 50, 50},     "头像",                                 {},        {}},
      {kAuthorName, Kind::TransparentLabel, kClientArea, {64, 24, 96, 32},   "栎湾小舟",                             {kai, 19}, QColor(144, 0, 255)},
      {kLevelBadge, Kind::PictureBox,       kClientArea, {168, 24, 89, 20},  "腕舟达人",                             {},        {}},
      {kRankBadge,  Kind::PictureBox,       kClientArea, {264, 24, 41, 22},  "LV9",                                  {},        {}},
      {kProfile,    Kind::TransparentLabel, kClientArea, {8, 64, 400, 40},   "爱折腾手表的小程序员，愿大家玩得开心！", {kai, 19}, QColor(255, 0, 0)},
      {kChatButton, Kind::PictureButton,    kClientArea, {80, 112, 77, 22},  "QQ交谈",                               {},        {}},
      {kSongLink,   Kind::HyperlinkLabel,   kClientArea, {248, 112, 64, 24}, "QQ音乐",                               {},        {}},
  };
  // clang-format on
}

// The picture of each picture control, as shipped in the resources.
struct Picture {
  ui::ControlName control;
  const char* resource;
};
constexpr Picture kPictures[] = {
    {kAvatar, ":/info/author_avatar.jpg"},
    {kLevelBadge, ":/info/author_badge_level.jpg"},
    {kRankBadge, ":/info/author_badge_rank.jpg"},
    {kChatButton, ":/info/author_chat_button.jpg"},
};

void show_picture(QWidget* control, const QPixmap& picture) {
  if (auto* box = qobject_cast<QLabel*>(control)) {
    box->setPixmap(picture);
  } else if (auto* button = qobject_cast<QPushButton*>(control)) {
    button->setIcon(picture);
    button->setIconSize(picture.size());
    button->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0; }"));
  }
}

}  // namespace

QString qq_chat_address(const MakerValues& values) {
  return QStringLiteral("http://wpa.qq.com/msgrd?v=3&uin=%1&site=qq&menu=yes")
      .arg(QString::fromStdString(values.qq_number));
}

QString song_page_address(const MakerValues& values) {
  return QStringLiteral("https://i.y.qq.com/v8/playsong.html?songid=%1&source=yqq#wechat_redirect")
      .arg(QString::fromStdString(values.song_id));
}

AuthorWindow::AuthorWindow(const MakerValues& values, QWidget* parent)
    : QWidget(parent), chat_address_(qq_chat_address(values)) {
  register_info_resources();
  setWindowTitle(QStringLiteral("关于作者"));
  const ui::Controls controls = ui::build_controls(this, author_window_controls());
  for (const Picture& picture : kPictures) {
    show_picture(&controls.get<QWidget>(picture.control),
                 QPixmap::fromImage(ui::load_jpeg(QString::fromUtf8(picture.resource))));
  }
  connect(&controls.get<QPushButton>(kChatButton), &QPushButton::clicked, this,
          [this] { ui::open_address(chat_address_); });
  controls.get<ui::HyperlinkLabel>(kSongLink).set_address(ui::HyperlinkLabel::Kind::Web,
                                                          song_page_address(values));
  ui::set_fixed_frame(this, kClientSize, ui::TitleButtons::CloseOnly);
  ui::close_on_escape(this);
}

}  // namespace app
