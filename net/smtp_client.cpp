#include "net/smtp_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <future>
#include <random>
#include <string_view>
#include <system_error>

#include "net/curl_multi_loop.h"
#include "net/event_pump.h"

namespace net {
namespace {

using Clock = std::chrono::steady_clock;

// Bytes of subject text per encoded word: 56 base64 characters keep "Subject: " and the word
// within the 76 characters RFC 2047 allows on a line.
constexpr std::size_t kSubjectBytesPerWord = 42;
constexpr std::size_t kBodyLineLength = 76;

std::string base64(std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k)
      group = group << 8 | (k < n ? static_cast<std::uint8_t>(bytes[i + k]) : 0u);
    for (std::size_t k = 0; k < 4; ++k) out += k <= n ? kDigits[group >> (18 - 6 * k) & 0x3F] : '=';
  }
  return out;
}

// Length in bytes of the GBK character that starts at position i: two for a lead byte
// (0x81 to 0xFE) that has a byte after it, one otherwise.
std::size_t gbk_char_length(const Text& text, std::size_t i) {
  const auto byte = static_cast<std::uint8_t>(text[i]);
  return byte >= 0x81 && byte <= 0xFE && i + 1 < text.size() ? 2 : 1;
}

// The subject as RFC 2047 "B" encoded words in GBK, folded onto continuation lines. No word
// splits a character, so each decodes on its own.
std::string encoded_subject(const Text& subject) {
  std::string out;
  std::size_t begin = 0;
  while (begin < subject.size()) {
    std::size_t end = begin;
    while (end < subject.size() &&
           end + gbk_char_length(subject, end) - begin <= kSubjectBytesPerWord)
      end += gbk_char_length(subject, end);
    if (!out.empty()) out += "\r\n ";
    out += "=?GBK?B?" + base64(std::string_view(subject).substr(begin, end - begin)) + "?=";
    begin = end;
  }
  return out;
}

std::string folded_base64(const Text& body) {
  const std::string encoded = base64(body);
  std::string out;
  for (std::size_t i = 0; i < encoded.size(); i += kBodyLineLength)
    out += encoded.substr(i, kBodyLineLength) + "\r\n";
  return out;
}

// RFC 5322 date in UTC, written without the locale (the GUI sets one from the environment).
std::string date_header_value() {
  static constexpr std::array<const char*, 7> kDays{"Sun", "Mon", "Tue", "Wed",
                                                    "Thu", "Fri", "Sat"};
  static constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[utc.tm_wday],
                utc.tm_mday, kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                utc.tm_sec);
  return buffer;
}

std::string message_id(const std::string& from) {
  const auto at = from.rfind('@');
  const std::string domain = at == std::string::npos ? "localhost" : from.substr(at + 1);
  std::random_device random;
  char unique[64];
  std::snprintf(unique, sizeof unique, "%lld.%08x%08x", static_cast<long long>(std::time(nullptr)),
                random(), random());
  return "<" + std::string(unique) + "@" + domain + ">";
}

bool host_has_port(const std::string& host) {
  const auto colon = host.rfind(':');
  if (colon == std::string::npos) return false;
  // [v6]:port, or name:port with a single colon.
  return host.front() == '[' ? colon > 0 && host[colon - 1] == ']' : host.find(':') == colon;
}

std::string smtp_url(const SmtpServer& server) {
  std::string url = "smtp://" + server.host;
  if (!host_has_port(server.host)) url += ":" + std::to_string(server.port);
  return url;
}

// What the transfer's callbacks, on the transfer thread, share with the waiting caller. The
// caller reads the replies only after the transfer has ended.
struct Exchange {
  std::string message;
  std::size_t sent = 0;
  std::string last_reply;
  std::string reply_to_message;  // the server's verdict on the mail itself
  std::atomic<Clock::rep> last_activity{Clock::now().time_since_epoch().count()};
  std::atomic<bool> give_up{false};

  void touch() { last_activity = Clock::now().time_since_epoch().count(); }
  Clock::duration silence() const {
    return Clock::now() - Clock::time_point(Clock::duration(last_activity.load()));
  }
};

std::size_t read_message(char* buffer, std::size_t size, std::size_t count, void* user) {
  auto& exchange = *static_cast<Exchange*>(user);
  const std::size_t n = std::min(size * count, exchange.message.size() - exchange.sent);
  std::memcpy(buffer, exchange.message.data() + exchange.sent, n);
  exchange.sent += n;
  return n;
}

// Sees every byte exchanged with the server: each one restarts the wait, and the server's
// replies give the status text. The first reply after the whole message has gone out is the
// answer to it; the later ones belong to QUIT.
int watch_exchange(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
  auto& exchange = *static_cast<Exchange*>(user);
  if (type == CURLINFO_TEXT) return 0;
  exchange.touch();
  if (type == CURLINFO_HEADER_IN) {
    std::string line(data, size);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.empty()) return 0;
    if (exchange.sent == exchange.message.size() && exchange.reply_to_message.empty())
      exchange.reply_to_message = line;
    exchange.last_reply = std::move(line);
  }
  return 0;
}

// libcurl asks at least once a second, also inside its blocking waits, whether to go on.
int keep_going(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Exchange*>(user)->give_up ? 1 : 0;
}

struct TransferOutcome {
  CURLcode result = CURLE_OK;
  bool timed_out = false;
};

// Runs the transfer on a thread of its own and waits for it in short slices, letting the GUI
// run between them. libcurl's SMTP waits for the reply to the mail and for the reply to QUIT
// block inside libcurl, so a multi handle on this thread could not keep the GUI going there.
// Once the server has been silent for the whole time-out the transfer is told to give up.
TransferOutcome run_transfer(CURL* easy, Exchange& exchange, std::chrono::milliseconds timeout) {
  std::future<CURLcode> transfer;
  try {
    transfer = std::async(std::launch::async, [easy] { return curl_easy_perform(easy); });
  } catch (const std::system_error&) {
    return {CURLE_FAILED_INIT, false};
  }
  bool timed_out = false;
  while (transfer.wait_for(kPumpInterval) != std::future_status::ready) {
    pump_events();
    if (!timed_out && exchange.silence() >= timeout) {
      timed_out = true;
      exchange.give_up = true;
    }
  }
  return {transfer.get(), timed_out};
}

}  // namespace

std::string mail_text(const MailMessage& mail) {
  std::string text;
  text += "Date: " + date_header_value() + "\r\n";
  text += "From: " + mail.from + "\r\n";
  text += "To: " + mail.to + "\r\n";
  text += "Subject: " + encoded_subject(mail.subject) + "\r\n";
  text += "Message-ID: " + message_id(mail.from) + "\r\n";
  text += "MIME-Version: 1.0\r\n";
  text += "Content-Type: text/plain; charset=GBK\r\n";
  text += "Content-Transfer-Encoding: base64\r\n";
  text += "\r\n";
  text += folded_base64(mail.body);
  return text;
}

SmtpResult send_mail(const SmtpServer& server, const MailMessage& mail,
                     std::chrono::milliseconds timeout) {
  const CurlEasy easy = make_curl_easy();
  if (!easy) return {false, "libcurl could not be initialised"};
  Exchange exchange;
  exchange.message = mail_text(mail);
  CurlSlist recipients;
  if (!append_curl_line(recipients, ("<" + mail.to + ">").c_str())) return {false, "out of memory"};
  char error[CURL_ERROR_SIZE] = {};
  const std::string url = smtp_url(server);
  const std::string sender = "<" + mail.from + ">";
  // Whole seconds, rounded up: libcurl's own bound on each reply, also while it says QUIT.
  const long reply_seconds = static_cast<long>((timeout.count() + 999) / 1000);

  CURL* handle = easy.get();
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "smtp");
  curl_easy_setopt(handle, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
  if (!server.user_name.empty()) {
    curl_easy_setopt(handle, CURLOPT_USERNAME, server.user_name.c_str());
    curl_easy_setopt(handle, CURLOPT_PASSWORD, server.password.c_str());
  }
  curl_easy_setopt(handle, CURLOPT_MAIL_FROM, sender.c_str());
  curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, recipients.get());
  curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE,
                   static_cast<curl_off_t>(exchange.message.size()));
  curl_easy_setopt(handle, CURLOPT_READFUNCTION, read_message);
  curl_easy_setopt(handle, CURLOPT_READDATA, &exchange);
  curl_easy_setopt(handle, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(handle, CURLOPT_DEBUGFUNCTION, watch_exchange);
  curl_easy_setopt(handle, CURLOPT_DEBUGDATA, &exchange);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, keep_going);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &exchange);
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout.count()));
  curl_easy_setopt(handle, CURLOPT_SERVER_RESPONSE_TIMEOUT, std::max(1L, reply_seconds));
  // One mail per connection: it is closed, QUIT included, on the transfer thread as soon as the
  // mail is through, not later by the handle's clean-up on this one.
  curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);

  const TransferOutcome outcome = run_transfer(handle, exchange, timeout);
  if (outcome.result == CURLE_OK) return {true, exchange.reply_to_message};
  const std::string server_said =
      exchange.last_reply.empty() ? "" : " (last reply: " + exchange.last_reply + ")";
  if (outcome.timed_out)
    return {false, "no answer from the server within " + std::to_string(timeout.count()) + " ms" +
                       server_said};
  std::string status = curl_easy_strerror(outcome.result);
  if (error[0] != '\0') status += std::string(": ") + error;
  return {false, status + server_said};
}

}  // namespace net
