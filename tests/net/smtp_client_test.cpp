// The SMTP client against a real SMTP server with login on loopback, plain and with STARTTLS.
#include "net/smtp_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "net/encoding.h"
#include "net/event_pump.h"
#include "tests/support/loopback_port.h"
#include "tests/support/smtp_peer.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
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

struct SubjectCase {
  const char* name;
  const char* piece_utf8;  // repeated to make a subject of several encoded words
};

void PrintTo(const SubjectCase& c, std::ostream* out) { *out << c.name; }

class SmtpClientSubject : public ::testing::TestWithParam<SubjectCase> {};

TEST_P(SmtpClientSubject, WordsEndOnWholeCharactersAndLinesStayShort) {
  std::string subject_utf8;
  for (int i = 0; i < 9; ++i) subject_utf8 += GetParam().piece_utf8;
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

// The euro sign is the single byte 0x80 in GBK: taken for a lead byte it would shift every cut
// after it into the middle of a character.
INSTANTIATE_TEST_SUITE_P(Cases, SmtpClientSubject,
                         ::testing::Values(SubjectCase{"OddAsciiOffsets", "积分x发放！"},
                                           SubjectCase{"EuroSigns", "€积分€x发€放！"}),
                         [](const ::testing::TestParamInfo<SubjectCase>& test) {
                           return std::string(test.param.name);
                         });

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

// libcurl refuses text options longer than 8,000,000 bytes. A refused option ends the call
// before it connects, and the status names it; nothing half-configured goes out.
TEST(SmtpClient, AnOptionLibcurlRefusesEndsTheCallBeforeAnythingIsSent) {
  SmtpPeer peer(kAccount);
  ASSERT_TRUE(peer.running());
  net::SmtpServer server = server_at(peer.port());
  server.user_name.assign(8'000'001, 'u');

  const net::SmtpResult result = net::send_mail(server, claim_mail(), 5s);

  EXPECT_FALSE(result.accepted);
  EXPECT_NE(result.status.find("USERNAME"), std::string::npos) << result.status;
  EXPECT_TRUE(peer.commands().empty());
  EXPECT_TRUE(peer.mails().empty());
}

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

// A wait that blocked the GUI throughout would show as one gap as long as the whole wait; the
// hook runs every few milliseconds, so half the wait is a bound that only a block can break.
TEST(SmtpClient, ASilentServerTimesOutWhileEventsKeepBeingProcessed) {
  const test_support::SilentPort silent;
  PumpRecorder pumps;

  const auto started = Clock::now();
  const net::SmtpResult result = net::send_mail(server_at(silent.port()), claim_mail(), 2s);
  const auto took = Clock::now() - started;

  EXPECT_FALSE(result.accepted);
  EXPECT_NE(result.status.find("did not end within 2000 ms"), std::string::npos) << result.status;
  EXPECT_GE(took, 1900ms);  // it waited its time
  EXPECT_LT(took, 8s);      // and not much more, whatever the load
  EXPECT_GE(pumps.count(), 10u);
  EXPECT_LT(pumps.longest_gap(), 1s);
}

TEST(SmtpClient, ASlowAcceptanceIsAwaitedWhileEventsKeepBeingProcessed) {
  SmtpPeer peer(kAccount, {.reply_delay = 2s});
  ASSERT_TRUE(peer.running());
  PumpRecorder pumps;

  const auto started = Clock::now();
  const net::SmtpResult result = net::send_mail(server_at(peer.port()), claim_mail(), 20s);

  EXPECT_TRUE(result.accepted) << result.status;
  EXPECT_GE(Clock::now() - started, 1900ms);  // the acceptance was awaited, not skipped
  EXPECT_EQ(peer.mails().size(), 1u);
  EXPECT_GE(pumps.count(), 10u);
  EXPECT_LT(pumps.longest_gap(), 1s);
}

// A server that takes the message and then never answers it, or keeps answering without ever
// finishing, holds the call for its time-out and the QUIT grace at most. Each wait used to have
// the whole time-out of its own (the answer to the message, then the answer to QUIT): 12 s with
// a 6-second time-out, for both servers.
struct StallCase {
  const char* name;
  SmtpPeer::Behaviour behaviour;
};

void PrintTo(const StallCase& c, std::ostream* out) { *out << c.name; }

class SmtpClientStall : public ::testing::TestWithParam<StallCase> {};

TEST_P(SmtpClientStall, EndsWithinTheTimeOutAndTheQuitGrace) {
  SmtpPeer peer(kAccount, GetParam().behaviour);
  ASSERT_TRUE(peer.running());
  constexpr auto kTimeout = 6s;

  const auto started = Clock::now();
  const net::SmtpResult result = net::send_mail(server_at(peer.port()), claim_mail(), kTimeout);
  const auto took = Clock::now() - started;

  EXPECT_FALSE(result.accepted);
  EXPECT_NE(result.status.find("did not end within 6000 ms"), std::string::npos) << result.status;
  EXPECT_GE(took, kTimeout - 100ms);
  // The time-out, the grace and room for a slow machine; still short of twice the time-out.
  static_assert(kTimeout + net::kSmtpQuitGrace + 3s < 2 * kTimeout);
  EXPECT_LT(took, kTimeout + net::kSmtpQuitGrace + 3s);
  EXPECT_TRUE(peer.mails().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SmtpClientStall,
    ::testing::Values(StallCase{"StallsAfterData", {.stall_after_data = true}},
                      StallCase{"TricklesAfterData", {.trickle_after_data = true}}),
    [](const ::testing::TestParamInfo<StallCase>& test) { return std::string(test.param.name); });

// Certificates made for the run with openssl: an authority of our own, and a key with two
// certificates it signed, one for 127.0.0.1 and one for another name.
class TestCertificates {
 public:
  TestCertificates() {
    char pattern[] = "/tmp/smtp_tls_test.XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    directory_ = pattern;
    std::ofstream(directory_ / "loopback.ext") << "subjectAltName=IP:127.0.0.1\n";
    std::ofstream(directory_ / "other.ext") << "subjectAltName=DNS:someone.else.example\n";
    const std::string key_options = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const std::string command =
        "cd " + directory_.string() + " && openssl req -x509" + key_options +
        " -subj '/CN=Wristboat Test Authority' -days 1 -keyout authority.key"
        " -out authority.pem && openssl req -new" +
        key_options + " -subj /CN=127.0.0.1 -keyout server.key -out loopback.csr" +
        " && openssl req -new -key server.key -subj /CN=someone.else.example -out other.csr" +
        sign("loopback") + sign("other") + " 2>/dev/null >/dev/null";
    made_ = std::system(command.c_str()) == 0;
  }
  ~TestCertificates() {
    std::error_code ignored;
    if (!directory_.empty()) fs::remove_all(directory_, ignored);
  }
  TestCertificates(const TestCertificates&) = delete;
  TestCertificates& operator=(const TestCertificates&) = delete;

  bool made() const { return made_; }
  fs::path authority() const { return directory_ / "authority.pem"; }
  fs::path key() const { return directory_ / "server.key"; }
  fs::path for_loopback() const { return directory_ / "loopback.pem"; }
  fs::path for_other_name() const { return directory_ / "other.pem"; }

 private:
  static std::string sign(const std::string& name) {
    return " && openssl x509 -req -in " + name +
           ".csr -CA authority.pem -CAkey authority.key -CAcreateserial -days 1 -extfile " + name +
           ".ext -out " + name + ".pem";
  }

  fs::path directory_;
  bool made_ = false;
};

enum class Certificate { for_loopback, for_other_name };

struct TlsCase {
  const char* name;
  Certificate certificate;
  bool trust_our_authority;  // the client is given the authority that signed it
  bool refuse_starttls;      // the server offers STARTTLS but answers it 454
  bool delivered;
};

void PrintTo(const TlsCase& c, std::ostream* out) { *out << c.name; }

class SmtpClientStartTls : public ::testing::TestWithParam<TlsCase> {
 protected:
  static void SetUpTestSuite() { certificates_ = std::make_unique<TestCertificates>(); }
  static void TearDownTestSuite() { certificates_.reset(); }
  static inline std::unique_ptr<TestCertificates> certificates_;
};

// Where in the peer's log a verb first appears; the log's size when it never does.
std::size_t first_of(const std::vector<test_support::SmtpCommand>& commands,
                     const std::string& verb) {
  return static_cast<std::size_t>(
      std::find_if(commands.begin(), commands.end(),
                   [&](const auto& command) { return command.verb == verb; }) -
      commands.begin());
}

// The server offers STARTTLS: the login and the mail go only over TLS with a certificate that
// verifies for the host; otherwise nothing of them reaches the server and the call says so.
TEST_P(SmtpClientStartTls, LoginAndMailTravelOnlyOverVerifiedTls) {
  const TlsCase& c = GetParam();
  ASSERT_TRUE(certificates_->made());
  SmtpPeer peer(kAccount, {.tls_certificate = c.certificate == Certificate::for_loopback
                                                  ? certificates_->for_loopback()
                                                  : certificates_->for_other_name(),
                           .tls_key = certificates_->key(),
                           .refuse_starttls = c.refuse_starttls});
  ASSERT_TRUE(peer.running());
  net::SmtpServer server = server_at(peer.port());
  if (c.trust_our_authority) server.ca_file = certificates_->authority().string();

  const net::SmtpResult result = net::send_mail(server, claim_mail(), 10s);

  const auto commands = peer.commands();
  const auto starttls = first_of(commands, "STARTTLS");
  ASSERT_LT(starttls, commands.size()) << "the client never asked for TLS";
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const std::string& verb = commands[i].verb;
    if (verb == "AUTH" || verb == "MAIL" || verb == "RCPT" || verb == "DATA") {
      EXPECT_GT(i, starttls) << verb;
      EXPECT_TRUE(commands[i].over_tls) << verb << " came in the clear";
    }
  }
  for (const auto& login : peer.logins()) EXPECT_TRUE(login.over_tls) << "credentials in the clear";
  EXPECT_EQ(result.accepted, c.delivered) << result.status;
  if (c.delivered) {
    ASSERT_EQ(peer.logins().size(), 1u);
    EXPECT_EQ(peer.logins()[0].user, kAccount.user);
    EXPECT_EQ(peer.logins()[0].password, kAccount.password);
    ASSERT_EQ(peer.mails().size(), 1u);
    EXPECT_EQ(peer.mails()[0].subject, "积分发放！");
  } else {
    EXPECT_FALSE(result.status.empty());
    EXPECT_TRUE(peer.logins().empty());
    EXPECT_EQ(first_of(commands, "AUTH"), commands.size());
    EXPECT_TRUE(peer.mails().empty());
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, SmtpClientStartTls,
    ::testing::Values(
        //      name                         certificate                  trusted refused delivered
        TlsCase{"TrustedCertificate",        Certificate::for_loopback,   true,   false,  true},
        TlsCase{"UnknownAuthority",          Certificate::for_loopback,   false,  false,  false},
        TlsCase{"CertificateForAnotherName", Certificate::for_other_name, true,   false,  false},
        TlsCase{"StartTlsRefused",           Certificate::for_loopback,   true,   true,   false}),
    [](const ::testing::TestParamInfo<TlsCase>& test) { return std::string(test.param.name); });
// clang-format on

}  // namespace
