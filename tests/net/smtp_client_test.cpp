// The SMTP client against a real SMTP server with login on loopback.
#include "net/smtp_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "net/encoding.h"
#include "net/event_pump.h"
#include "tests/support/loopback_port.h"
#include "tests/support/smtp_peer.h"

namespace {

using namespace std::chrono_literals;
using test_support::closed_port;
using test_support::SmtpPeer;

const SmtpPeer::Account kAccount{"30003", "abcdefghijklmnop"};
constexpr const char* kMailbox = "30003@mail.test.example";

std::string decode_base64(const std::string& text) {
  static const std::string digits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    const auto value = digits.find(c);
    if (value == std::string::npos) continue;  // padding and line breaks
    bits = bits << 6 | static_cast<std::uint32_t>(value);
    if ((count += 6) >= 8) out += static_cast<char>(bits >> (count -= 8) & 0xFF);
  }
  return out;
}

net::MailMessage claim_mail() {
  return {.subject = net::utf8_to_gbk("积分发放！"),
          .body = net::utf8_to_gbk("领取ID：123\r\nQQ：456"),
          .to = kMailbox,
          .from = kMailbox};
}

net::SmtpServer server_at(int port, const SmtpPeer::Account& account = kAccount) {
  return {
      .host = "127.0.0.1", .port = port, .user_name = account.user, .password = account.password};
}

TEST(SmtpClient, DeliversTheMailWithLoginAndGbkEncoding) {
  SmtpPeer peer(kAccount);
  ASSERT_TRUE(peer.running());

  const net::SmtpResult result = net::send_mail(server_at(peer.port()), claim_mail());

  EXPECT_TRUE(result.accepted) << result.status;
  EXPECT_EQ(result.status.substr(0, 3), "250");
  const auto mails = peer.mails();
  ASSERT_EQ(mails.size(), 1u);
  const auto& mail = mails[0];
  EXPECT_EQ(mail.login, kAccount.user);
  EXPECT_EQ(mail.password, kAccount.password);
  EXPECT_EQ(mail.mail_from, kMailbox);
  EXPECT_EQ(mail.rcpt_tos, std::vector<std::string>{kMailbox});
  EXPECT_EQ(mail.subject, "积分发放！");
  EXPECT_EQ(mail.body, net::utf8_to_gbk("领取ID：123\r\nQQ：456"));
  EXPECT_EQ(mail.content_type, "text/plain");
  EXPECT_EQ(mail.charset, "GBK");
  EXPECT_NE(mail.raw.find("\r\nFrom: " + std::string(kMailbox) + "\r\n"), std::string::npos);
  EXPECT_NE(mail.raw.find("\r\nTo: " + std::string(kMailbox) + "\r\n"), std::string::npos);
  EXPECT_NE(mail.raw.find("\r\nContent-Transfer-Encoding: base64\r\n"), std::string::npos);
  EXPECT_EQ(mail.raw.find("\nCc:"), std::string::npos);
  EXPECT_EQ(mail.raw.find("\nBcc:"), std::string::npos);
  // CR LF and nothing else ends every line.
  EXPECT_FALSE(std::regex_search(mail.raw, std::regex("[^\r]\n|\r[^\n]")));
}

TEST(SmtpClient, AHostThatCarriesItsPortKeepsIt) {
  SmtpPeer peer(kAccount);
  ASSERT_TRUE(peer.running());
  net::SmtpServer server = server_at(closed_port());
  server.host = "127.0.0.1:" + std::to_string(peer.port());

  EXPECT_TRUE(net::send_mail(server, claim_mail()).accepted);
  EXPECT_EQ(peer.mails().size(), 1u);
}

TEST(SmtpClient, EmptyBodyAndLongMixedSubjectArriveIntact) {
  SmtpPeer peer(kAccount);
  ASSERT_TRUE(peer.running());
  std::string subject_utf8;
  for (int i = 0; i < 9; ++i) subject_utf8 += "积分x发放！";  // odd ASCII offsets shift every cut
  net::MailMessage mail = claim_mail();
  mail.subject = net::utf8_to_gbk(subject_utf8);
  mail.body.clear();

  ASSERT_TRUE(net::send_mail(server_at(peer.port()), mail).accepted);
  const auto mails = peer.mails();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].subject, subject_utf8);
  EXPECT_EQ(mails[0].body, "");
}

TEST(SmtpClient, SubjectWordsEndOnWholeCharactersAndLinesStayShort) {
  std::string subject_utf8;
  for (int i = 0; i < 9; ++i) subject_utf8 += "积分x发放！";
  net::MailMessage mail = claim_mail();
  mail.subject = net::utf8_to_gbk(subject_utf8);

  const std::string text = net::mail_text(mail);
  const std::string head = text.substr(0, text.find("\r\n\r\n") + 2);
  std::string joined;
  int words = 0;
  const std::regex word("=\\?GBK\\?B\\?([A-Za-z0-9+/=]*)\\?=");
  for (auto it = std::sregex_iterator(head.begin(), head.end(), word); it != std::sregex_iterator();
       ++it) {
    const std::string piece = decode_base64((*it)[1]);
    // Each word alone converts back without a broken character.
    EXPECT_EQ(net::utf8_to_gbk(net::gbk_to_utf8(piece)), piece);
    EXPECT_EQ(net::gbk_to_utf8(piece).find("\xEF\xBF\xBD"), std::string::npos);
    joined += piece;
    ++words;
  }
  EXPECT_GT(words, 1);
  EXPECT_EQ(joined, mail.subject);
  for (std::size_t begin = 0, end; (end = text.find("\r\n", begin)) != std::string::npos;
       begin = end + 2)
    EXPECT_LE(end - begin, 76u) << text.substr(begin, end - begin);
  const std::string body = text.substr(text.find("\r\n\r\n") + 4);
  EXPECT_EQ(decode_base64(body), mail.body);
}

struct FailureCase {
  const char* name;
  bool server_up;
  bool refuse_login;
  SmtpPeer::Account login;
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class SmtpClientFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SmtpClientFailure, ReportsNotAcceptedAndSendsNothing) {
  const FailureCase& c = GetParam();
  SmtpPeer peer(kAccount, {.refuse_login = c.refuse_login});
  ASSERT_TRUE(peer.running());
  const int port = c.server_up ? peer.port() : closed_port();

  const net::SmtpResult result = net::send_mail(server_at(port, c.login), claim_mail(), 5s);

  EXPECT_FALSE(result.accepted);
  EXPECT_FALSE(result.status.empty());
  if (c.server_up) {
    EXPECT_NE(result.status.find("535"), std::string::npos) << result.status;
  }
  EXPECT_TRUE(peer.mails().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SmtpClientFailure,
    ::testing::Values(FailureCase{"ServerDown", false, false, kAccount},
                      FailureCase{"LoginRefused", true, true, kAccount},
                      FailureCase{
                          "WrongPassword", true, false, {kAccount.user, "wrongwrongwrongw"}}),
    [](const ::testing::TestParamInfo<FailureCase>& test) { return std::string(test.param.name); });

// Records when the GUI hook runs while it exists.
class PumpRecorder {
 public:
  using Clock = std::chrono::steady_clock;
  PumpRecorder() {
    net::set_event_pump([this] { times_.push_back(Clock::now()); });
  }
  ~PumpRecorder() { net::set_event_pump({}); }

  std::size_t count() const { return times_.size(); }
  Clock::duration longest_gap() const {
    Clock::duration longest{};
    for (std::size_t i = 1; i < times_.size(); ++i)
      longest = std::max(longest, times_[i] - times_[i - 1]);
    return std::max(longest, times_.empty() ? Clock::duration{} : times_.front() - started_);
  }

 private:
  Clock::time_point started_ = Clock::now();
  std::vector<Clock::time_point> times_;
};

TEST(SmtpClient, ASilentServerTimesOutWhileEventsKeepBeingProcessed) {
  const test_support::SilentPort silent;
  PumpRecorder pumps;

  const auto started = std::chrono::steady_clock::now();
  const net::SmtpResult result = net::send_mail(server_at(silent.port()), claim_mail(), 1s);

  EXPECT_FALSE(result.accepted);
  EXPECT_FALSE(result.status.empty());
  EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
  EXPECT_GE(pumps.count(), 2u);
  EXPECT_LT(pumps.longest_gap(), 500ms);  // generous: the wait is sliced, never one long block
}

TEST(SmtpClient, ASlowAcceptanceIsAwaitedWhileEventsKeepBeingProcessed) {
  SmtpPeer peer(kAccount, {.reply_delay = 1500ms});
  ASSERT_TRUE(peer.running());
  PumpRecorder pumps;

  const net::SmtpResult result = net::send_mail(server_at(peer.port()), claim_mail(), 10s);

  EXPECT_TRUE(result.accepted) << result.status;
  EXPECT_EQ(peer.mails().size(), 1u);
  EXPECT_GE(pumps.count(), 2u);
  EXPECT_LT(pumps.longest_gap(), 500ms);
}

}  // namespace
