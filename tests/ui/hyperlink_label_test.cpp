// Hyperlink labels: blue, light blue under the pointer, dark red once a press has opened their
// address; the pointer's colour wins.
#include "ui/hyperlink_label.h"

#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "tests/support/qt_url_recorder.h"

namespace {

using ui::HyperlinkLabel;

QColor text_color(const HyperlinkLabel& label) {
  return label.palette().color(QPalette::WindowText);
}

void enter(HyperlinkLabel& label) {
  QEnterEvent event(QPointF(2, 2), QPointF(2, 2), label.mapToGlobal(QPointF(2, 2)));
  QCoreApplication::sendEvent(&label, &event);
}

void leave(HyperlinkLabel& label) {
  QEvent event(QEvent::Leave);
  QCoreApplication::sendEvent(&label, &event);
}

TEST(HyperlinkLabel, ColoursFollowThePointerAndTheFirstSuccessfulPress) {
  test_support::UrlRecorder browser;
  HyperlinkLabel label(QStringLiteral("获取KEY"));
  label.set_address(HyperlinkLabel::Kind::Web, QStringLiteral("http://help.test.example"));
  label.resize(96, 16);
  label.show();
  EXPECT_EQ(text_color(label), QColor(0, 0, 255));
  enter(label);
  EXPECT_EQ(text_color(label), QColor(50, 196, 253));
  QTest::mousePress(&label, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
  EXPECT_EQ(browser.opened, QStringList{"http://help.test.example"});
  EXPECT_TRUE(label.visited());
  EXPECT_EQ(text_color(label), QColor(50, 196, 253));  // still under the pointer
  leave(label);
  EXPECT_EQ(text_color(label), QColor(128, 0, 0));
  enter(label);
  EXPECT_EQ(text_color(label), QColor(50, 196, 253));
}

TEST(HyperlinkLabel, WhatAPressOpensAndReports) {
  const struct {
    const char* label;
    HyperlinkLabel::Kind kind;
    QString address;
    QString opened;  // empty: nothing opened
  } cases[] = {
      {"web", HyperlinkLabel::Kind::Web, "http://www.download.test.example",
       "http://www.download.test.example"},
      {"mail", HyperlinkLabel::Kind::Mail, "20002@mail.test.example",
       "mailto:20002@mail.test.example"},
      {"no address", HyperlinkLabel::Kind::Web, "", ""},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.label);
    test_support::UrlRecorder browser;
    HyperlinkLabel label(QStringLiteral("链接"));
    label.set_address(test.kind, test.address);
    QSignalSpy pressed(&label, &HyperlinkLabel::pressed);
    QTest::mousePress(&label, Qt::RightButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(pressed.count(), 0);  // only the left button acts
    QTest::mousePress(&label, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(pressed.count(), 1);
    EXPECT_EQ(label.target(), test.opened);
    EXPECT_EQ(browser.opened, test.opened.isEmpty() ? QStringList() : QStringList{test.opened});
    EXPECT_EQ(label.visited(), !test.opened.isEmpty());
    EXPECT_EQ(text_color(label), test.opened.isEmpty() ? QColor(0, 0, 255) : QColor(128, 0, 0));
    EXPECT_EQ(label.textFormat(), Qt::PlainText);
  }
}

}  // namespace
