// The about-the-author window: avatar, name, badges, profile, a chat button and a song link.
#pragma once

#include <QString>
#include <QWidget>

#include "app/maker_values.h"

namespace app {

// The QQ chat link with the maker: http://wpa.qq.com/msgrd?v=3&uin=<qq>&site=qq&menu=yes
QString qq_chat_address(const MakerValues& values);
// The author's song: https://i.y.qq.com/v8/playsong.html?songid=<id>&source=yqq#wechat_redirect
QString song_page_address(const MakerValues& values);

// "关于作者": four pictures shipped with the program, the author's name and profile, the chat
// button (opens the chat link) and "QQ音乐" (opens the song page). Fixed frame, close button only.
class AuthorWindow : public QWidget {
  Q_OBJECT
 public:
  explicit AuthorWindow(const MakerValues& values, QWidget* parent = nullptr);

 private:
  QString chat_address_;
};

}  // namespace app
