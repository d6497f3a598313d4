// The about window: what the program is, in Chinese or in English, and the way to the author.
#pragma once

#include <QWidget>

#include "app/maker_values.h"
#include "net/text.h"

class QPlainTextEdit;

namespace app {

// The two about texts as the program holds them (GBK), every line end exactly as written.
net::Text about_text_chinese(const MakerValues& values);
net::Text about_text_english(const MakerValues& values);

// "关于助手": a red text box that starts with the Chinese text, "简体中文" and "English" to
// switch it, and "关于作者", which opens the author window. Fixed frame, close button only.
class AboutWindow : public QWidget {
  Q_OBJECT
 public:
  explicit AboutWindow(const MakerValues& values, QWidget* parent = nullptr);

  // The text 编辑框1 holds, byte for byte. The box draws it as a Windows edit box does:
  // CR LF breaks the line, a lone CR or LF is not drawn.
  const net::Text& shown_text() const { return shown_text_; }

 private:
  void show_text(net::Text text);

  MakerValues values_;
  QPlainTextEdit* text_box_ = nullptr;
  net::Text shown_text_;
};

}  // namespace app
