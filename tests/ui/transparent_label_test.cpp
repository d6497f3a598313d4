// Transparent labels: a text that does not fit its fixed place is offered whole as a tool tip.
#include <QApplication>
#include <QHelpEvent>
#include <QTextDocument>
#include <QToolTip>
#include <gtest/gtest.h>

#include "ui/transparent_label.h"

namespace {

// The characters the tool tip shows: its label renders text that looks like markup as markup.
QString shown_tool_tip() {
  const QString tip = QToolTip::text();
  if (!Qt::mightBeRichText(tip)) return tip;
  QTextDocument document;
  document.setHtml(tip);
  return document.toPlainText();
}

struct Case {
  const char* label;
  QString text;
  QSize place;
  bool tool_tip;
};

TEST(TransparentLabel, ShowsTheWholeTextAsToolTipOnlyWhenItDoesNotFit) {
  const Case cases[] = {
      {"fits on one line", "官方积分获取", {512, 64}, false},
      {"wraps and fits", "立志做最全的资源网，投稿或建议请联系官方QQ", {200, 120}, false},
      {"cut below",
       "密码:1234，也可浏览器复制：https://share.example.com/b00uamx8j",
       {552, 24},
       true},
      // Texts may come from outside: markup in them is shown as the characters it is made of.
      {"markup cut below",
       "<b>x</b><img src=\"file:///etc/hostname\"> &lt;i&gt; &amp; <a href=\"http://a/\">a</a> "
       "<b>y</b><img src=\"qrc:/x.png\"> 领取后请添加QQ",
       {80, 24},
       true},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.label);
    ui::TransparentLabel label(each.text);
    QFont font(QStringLiteral("方正喵呜体"));
    font.setPixelSize(19);
    label.setFont(font);
    label.resize(each.place);
    label.show();
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, QPoint(4, 4), label.mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(&label, &help);
    EXPECT_EQ(QToolTip::isVisible(), each.tool_tip);
    if (each.tool_tip) {
      EXPECT_EQ(shown_tool_tip(), each.text);
    }
  }
}

}  // namespace
