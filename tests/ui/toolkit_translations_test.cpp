// The toolkit's own texts follow the locale: message box buttons in Chinese on a Chinese desktop.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <ostream>

#include "ui/toolkit_translations.h"

namespace {

QString ok_button_text() {
  QMessageBox box(QMessageBox::Information, QStringLiteral("信息："), QStringLiteral("x"),
                  QMessageBox::Ok);
  return box.button(QMessageBox::Ok)->text();
}

struct Case {
  const char* locale;
  bool found;
  const char* ok;  // the message box's button
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.locale; }

class ToolkitTranslationsTest : public ::testing::TestWithParam<Case> {
 protected:
  void TearDown() override { ui::install_toolkit_translations(QLocale::c()); }
};

TEST_P(ToolkitTranslationsTest, MessageBoxesSpeakTheLocalesLanguage) {
  // Another language first: each call replaces what the one before installed.
  ui::install_toolkit_translations(QLocale(QStringLiteral("zh_TW")));
  EXPECT_EQ(ui::install_toolkit_translations(QLocale(QString::fromLatin1(GetParam().locale))),
            GetParam().found);
  EXPECT_EQ(ok_button_text(), QString::fromUtf8(GetParam().ok));
}

INSTANTIATE_TEST_SUITE_P(Locales, ToolkitTranslationsTest,
                         ::testing::Values(Case{"zh_CN", true, "确定"}, Case{"en_US", false, "OK"},
                                           Case{"C", false, "OK"}),
                         [](const auto& test) {
                           std::string name = test.param.locale;
                           return name == "C" ? std::string("NoLanguage") : name;
                         });

// The desktop's language comes from the environment the program starts in: this test program
// runs itself with LANG set, and the test below, in that run, installs the system locale's
// translations.
struct Desktop {
  const char* name;
  const char* lang;
  bool found;
  const char* ok;
};

void PrintTo(const Desktop& d, std::ostream* out) { *out << d.name; }

class DesktopLanguageTest : public ::testing::TestWithParam<Desktop> {};

TEST_P(DesktopLanguageTest, FollowsLang) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"}) environment.remove(name);
  environment.insert(QStringLiteral("LANG"), QString::fromLatin1(GetParam().lang));
  environment.insert(QStringLiteral("WRISTBOAT_EXPECTED_OK"), QString::fromUtf8(GetParam().ok));
  environment.insert(QStringLiteral("WRISTBOAT_EXPECTED_FOUND"),
                     GetParam().found ? QStringLiteral("1") : QStringLiteral("0"));
  QProcess child;
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=SystemLocale.InstalledAtStart")});
  ASSERT_TRUE(child.waitForFinished(60000));
  const QByteArray output = child.readAll();
  EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Desktops, DesktopLanguageTest,
                         ::testing::Values(Desktop{"Chinese", "zh_CN.UTF-8", true, "确定"},
                                           Desktop{"English", "en_US.UTF-8", false, "OK"}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(SystemLocale, InstalledAtStart) {
  const QByteArray expected = qgetenv("WRISTBOAT_EXPECTED_OK");
  if (expected.isEmpty()) GTEST_SKIP() << "runs only inside DesktopLanguageTest";
  EXPECT_EQ(ui::install_toolkit_translations(), qgetenv("WRISTBOAT_EXPECTED_FOUND") == "1");
  EXPECT_EQ(ok_button_text(), QString::fromUtf8(expected));
}

}  // namespace
