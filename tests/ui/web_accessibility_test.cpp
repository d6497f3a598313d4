// Web page content is exposed on the accessibility bus unless the user said otherwise.
#include <QByteArray>
#include <QtGlobal>
#include <gtest/gtest.h>

#include <optional>
#include <ostream>

#include "ui/web_accessibility.h"

namespace {

constexpr char kVariable[] = "QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY";

struct Case {
  const char* name;
  std::optional<QByteArray> before;  // unset when empty
  QByteArray after;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class WebAccessibilityTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (qEnvironmentVariableIsSet(kVariable)) saved_ = qgetenv(kVariable);
  }
  void TearDown() override {
    if (saved_) {
      qputenv(kVariable, *saved_);
    } else {
      qunsetenv(kVariable);
    }
  }

 private:
  std::optional<QByteArray> saved_;
};

TEST_P(WebAccessibilityTest, SetsTheSwitchUnlessTheUserDid) {
  if (GetParam().before) {
    qputenv(kVariable, *GetParam().before);
  } else {
    qunsetenv(kVariable);
  }
  ui::expose_web_content_to_accessibility();
  EXPECT_TRUE(qEnvironmentVariableIsSet(kVariable));
  EXPECT_EQ(qgetenv(kVariable), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Settings, WebAccessibilityTest,
                         ::testing::Values(Case{"Unset", std::nullopt, "1"},
                                           Case{"UserOn", QByteArray("1"), "1"},
                                           Case{"UserOff", QByteArray("0"), "0"},
                                           Case{"UserEmpty", QByteArray(""), ""}),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
