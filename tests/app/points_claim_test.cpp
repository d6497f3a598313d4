// The points claim end to end: a loopback code service, a real SMTP server with login, the
// message boxes answered as a user would.
#include "app/points_claim.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "app/main_window.h"
#include "app/program.h"
#include "net/encoding.h"
#include "net/event_pump.h"
#include "tests/app/test_values.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/loopback_port.h"
#include "tests/support/qt_message_boxes.h"
#include "tests/support/smtp_peer.h"

namespace {

using namespace std::chrono_literals;
using test_support::closed_port;
using test_support::SeenMessageBox;
using test_support::SmtpPeer;

constexpr const char* kCodePath = "/others/api/lp/xtcapi/jymapi.php";

// The maker's verification-code service on loopback: one scripted reply, optionally late.
class CodeService {
 public:
  CodeService() {
    server_.Post(kCodePath, [this](const httplib::Request& request, httplib::Response& response) {
      std::string reply;
      std::chrono::milliseconds delay;
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request.method + " " + request.path + " body=" + request.body);
        reply = reply_;
        delay = delay_;
      }
      std::this_thread::sleep_for(delay);
      response.set_content(reply, "text/plain");
    });
    server_.start();
  }
  ~CodeService() { server_.stop(); }

  std::string host() const { return server_.host(); }
  void set_reply(std::string reply, std::chrono::milliseconds delay = 0ms) {
    std::lock_guard lock(mutex_);
    reply_ = std::move(reply);
    delay_ = delay;
  }
  std::vector<std::string> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  test_support::LoopbackHttpServer server_;
  mutable std::mutex mutex_;
  std::string reply_;
  std::chrono::milliseconds delay_{0};
  std::vector<std::string> requests_;
};

// The mail account the maker's values log in with.
SmtpPeer::Account account_of(const app::MakerValues& values) {
  return {values.mail_user, values.mail_auth_code};
}

const QString kSuccess = QStringLiteral("成功！请添加QQ！");
const QString kMismatch = QStringLiteral("校验码错误");
const QString kNoCode = QStringLiteral("未能获取校验码，请检查网络后重试");
const QString kSendFailed = QStringLiteral("发送失败，请稍后重试");
const QString kInfoTitle = QStringLiteral("信息：");

class PointsClaimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(smtp_.running());
    values_ = test_support::loopback_values("127.0.0.1:" + std::to_string(closed_port()));
    values_.code_service_host = service_.host();
    values_.smtp_host = "127.0.0.1";
    values_.smtp_port = smtp_.port();
    net::set_event_pump([] { QCoreApplication::processEvents(); });
  }
  void TearDown() override { net::set_event_pump({}); }

  // Page 2's four controls on a page of their own, with the claim attached.
  void make_page() {
    page_ = std::make_unique<QWidget>();
    button_ = new QPushButton(QStringLiteral("领取"), page_.get());
    button_->setObjectName(QStringLiteral("按钮4"));
    for (auto [entry, name] :
         {std::pair{&claim_id_, "编辑框1"}, {&code_, "编辑框3"}, {&qq_, "编辑框4"}}) {
      *entry = new QLineEdit(page_.get());
      (*entry)->setObjectName(QString::fromUtf8(name));
    }
    claim_ = new app::PointsClaim(page_.get(), {*button_, *claim_id_, *code_, *qq_}, values_,
                                  verification_code_);
    page_->show();
  }

  void fill(const char* claim_id, const char* code, const char* qq) {
    claim_id_->setText(QString::fromUtf8(claim_id));
    code_->setText(QString::fromUtf8(code));
    qq_->setText(QString::fromUtf8(qq));
  }

  static void expect_box(const QList<SeenMessageBox>& seen, const QString& text) {
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].text, text);
    if (text == kSuccess) {
      EXPECT_EQ(seen[0].title, QStringLiteral("正在处理中"));
      EXPECT_EQ(seen[0].icon, QMessageBox::Information);
    } else {
      EXPECT_EQ(seen[0].title, kInfoTitle);
      EXPECT_EQ(seen[0].icon, QMessageBox::NoIcon);
    }
  }

  CodeService service_;
  SmtpPeer smtp_{account_of(test_support::loopback_values(""))};
  app::MakerValues values_;
  net::Text verification_code_;
  std::unique_ptr<QWidget> page_;
  QPushButton* button_ = nullptr;
  QLineEdit* claim_id_ = nullptr;
  QLineEdit* code_ = nullptr;
  QLineEdit* qq_ = nullptr;
  app::PointsClaim* claim_ = nullptr;
};

TEST_F(PointsClaimTest, MatchingCodeInTheMainWindowSendsTheClaimMail) {
  service_.set_reply("{xtcjym\"4711\"jym}");
  app::Program program(values_);
  app::MainWindow window(values_, program.verification_code());
  app::run_creation_handler(window, program, values_);
  window.show();
  test_support::MessageBoxAnswerer boxes;

  window.findChild<QAbstractButton*>(QStringLiteral("超级按钮4"))->click();
  QTest::keyClicks(window.findChild<QLineEdit*>(QStringLiteral("编辑框1")), "123");
  QTest::keyClicks(window.findChild<QLineEdit*>(QStringLiteral("编辑框3")), "4711");
  QTest::keyClicks(window.findChild<QLineEdit*>(QStringLiteral("编辑框4")), "456");
  window.findChild<QPushButton*>(QStringLiteral("按钮4"))->click();

  expect_box(boxes.seen(), kSuccess);
  EXPECT_EQ(program.verification_code(), "4711");
  EXPECT_EQ(service_.requests(),
            std::vector<std::string>{std::string("POST ") + kCodePath + " body="});
  const auto mails = smtp_.mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].subject, "积分发放！");
  EXPECT_EQ(mails[0].body, net::utf8_to_gbk("领取ID：123\r\nQQ：456"));
  EXPECT_EQ(mails[0].charset, "GBK");
  EXPECT_EQ(mails[0].mail_from, values_.mailbox);
  EXPECT_EQ(mails[0].rcpt_tos, std::vector<std::string>{values_.mailbox});
  EXPECT_EQ(mails[0].login, values_.mail_user);
  EXPECT_EQ(mails[0].password, values_.mail_auth_code);
  EXPECT_NE(mails[0].raw.find("\r\nFrom: " + values_.mailbox + "\r\n"), std::string::npos);
  EXPECT_NE(mails[0].raw.find("\r\nTo: " + values_.mailbox + "\r\n"), std::string::npos);
  EXPECT_EQ(mails[0].raw.find("\nCc:"), std::string::npos);
  EXPECT_EQ(mails[0].raw.find("\nBcc:"), std::string::npos);
}

struct CodeCase {
  const char* name;
  const char* reply;
  const char* typed;
  const char* code_kept;  // verification_code afterwards
  QString message;
};

void PrintTo(const CodeCase& c, std::ostream* out) { *out << c.name; }

class PointsClaimCodes : public PointsClaimTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(PointsClaimCodes, CodeDecidesWhetherTheMailGoes) {
  const CodeCase& c = GetParam();
  service_.set_reply(c.reply);
  make_page();
  fill("123", c.typed, "456");
  test_support::MessageBoxAnswerer boxes;

  button_->click();

  expect_box(boxes.seen(), c.message);
  EXPECT_EQ(verification_code_, c.code_kept);
  EXPECT_EQ(service_.requests().size(), 1u);
  EXPECT_EQ(smtp_.mails().size(), c.message == kSuccess ? 1u : 0u);
  EXPECT_TRUE(button_->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PointsClaimCodes,
    ::testing::Values(CodeCase{"Match", "{xtcjym\"4711\"jym}", "4711", "4711", kSuccess},
                      CodeCase{"OneDigitChanged", "{xtcjym\"4711\"jym}", "4712", "4711", kMismatch},
                      CodeCase{"TextAroundTheMarkers", "ok: {xtcjym\"-815\"jym} thanks", "-815",
                               "-815", kSuccess},
                      CodeCase{"FirstOfTwoCodesCounts", "{xtcjym\"1111\"jym}{xtcjym\"2222\"jym}",
                               "1111", "1111", kSuccess},
                      CodeCase{"SecondOfTwoCodesIsWrong", "{xtcjym\"1111\"jym}{xtcjym\"2222\"jym}",
                               "2222", "1111", kMismatch},
                      CodeCase{"NoMarkers", "4711", "4711", "", kNoCode},
                      CodeCase{"NoRightMarker", "{xtcjym\"4711", "", "", kNoCode},
                      CodeCase{"EmptyCodeBetweenMarkers", "{xtcjym\"\"jym}", "", "", kNoCode}),
    [](const ::testing::TestParamInfo<CodeCase>& test) { return std::string(test.param.name); });

TEST_F(PointsClaimTest, ServiceDownWithAnEmptyEntrySendsNothing) {
  values_.code_service_host = "127.0.0.1:" + std::to_string(closed_port());
  verification_code_ = "old";
  make_page();
  fill("123", "", "456");
  test_support::MessageBoxAnswerer boxes;

  button_->click();

  expect_box(boxes.seen(), kNoCode);
  EXPECT_EQ(verification_code_, "");
  EXPECT_TRUE(smtp_.mails().empty());
}

struct MailFailureCase {
  const char* name;
  bool refuse_login;  // otherwise nothing listens at the SMTP port
};

void PrintTo(const MailFailureCase& c, std::ostream* out) { *out << c.name; }

class PointsClaimMailFailures : public PointsClaimTest,
                                public ::testing::WithParamInterface<MailFailureCase> {};

TEST_P(PointsClaimMailFailures, ShowTheFailureAndNotTheSuccess) {
  std::optional<SmtpPeer> refusing;
  if (GetParam().refuse_login) {
    refusing.emplace(account_of(values_), SmtpPeer::Behaviour{.refuse_login = true});
    ASSERT_TRUE(refusing->running());
    values_.smtp_port = refusing->port();
  } else {
    values_.smtp_port = closed_port();
  }
  service_.set_reply("{xtcjym\"4711\"jym}");
  make_page();
  fill("123", "4711", "456");
  test_support::MessageBoxAnswerer boxes;

  button_->click();

  expect_box(boxes.seen(), kSendFailed);
  EXPECT_TRUE(smtp_.mails().empty());
  if (refusing) {
    EXPECT_TRUE(refusing->mails().empty());
  }
  EXPECT_TRUE(button_->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Cases, PointsClaimMailFailures,
                         ::testing::Values(MailFailureCase{"SmtpServerDown", false},
                                           MailFailureCase{"LoginRefused", true}),
                         [](const ::testing::TestParamInfo<MailFailureCase>& test) {
                           return std::string(test.param.name);
                         });

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST_F(PointsClaimTest, DuringASlowReplyTheButtonIsOffAndTheWindowKeepsWorking) {
  service_.set_reply("{xtcjym\"4711\"jym}", 1500ms);
  make_page();
  fill("123", "4711", "456");
  test_support::MessageBoxAnswerer boxes;
  PaintCounter painted;
  page_->installEventFilter(&painted);

  struct Sample {
    bool button_enabled;
    std::optional<Qt::CursorShape> cursor;
  };
  std::vector<Sample> during;
  std::optional<int> paints_at_first_sample;
  int paints_at_last_sample = 0;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    if (cursor == nullptr || !boxes.seen().isEmpty()) return;  // the claim is not waiting now
    during.push_back({button_->isEnabled(), cursor->shape()});
    if (!paints_at_first_sample) paints_at_first_sample = painted.paints;
    paints_at_last_sample = painted.paints;
    page_->update();
    claim_->claim();  // a second claim inside the first returns at once
    button_->click();
  });
  sampler.start(20);

  button_->click();
  sampler.stop();

  ASSERT_GE(during.size(), 5u) << "events were not processed while the code was awaited";
  for (const Sample& sample : during) {
    EXPECT_FALSE(sample.button_enabled);
    EXPECT_EQ(sample.cursor, Qt::BusyCursor);
  }
  EXPECT_GT(paints_at_last_sample, paints_at_first_sample.value_or(0))
      << "the page was not repainted";
  EXPECT_TRUE(button_->isEnabled());
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(service_.requests().size(), 1u);
  EXPECT_EQ(smtp_.mails().size(), 1u);
  expect_box(boxes.seen(), kSuccess);
}

}  // namespace
