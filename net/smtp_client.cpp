#include "net/smtp_client.h"

#include <curl/curl.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <future>
#include <mutex>
#include <random>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "net/curl_multi_loop.h"
#include "net/event_pump.h"
#include "net/gbk.h"
#include "net/result.h"

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

// The subject as RFC 2047 "B" encoded words in GBK, folded onto continuation lines. No word
// splits a character, so each decodes on its own.
std::string encoded_subject(const Text& subject) {
  std::string out;
  std::size_t begin = 0;
  while (begin < subject.size()) {
    std::size_t end = begin;
    while (end < subject.size() && gbk::next_char(subject, end) - begin <= kSubjectBytesPerWord)
      end = gbk::next_char(subject, end);
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
// caller reads the replies only after the transfer has ended; the sockets and the flag to give
// up are shared while it runs.
struct Exchange {
  std::string message;
  std::size_t sent = 0;
  std::string last_reply;
  std::string reply_to_message;   // the server's verdict on the mail itself
  bool starttls_asked = false;    // STARTTLS has gone out and its reply is awaited
  bool starttls_refused = false;  // the server offered STARTTLS, then would not start TLS
  std::atomic<bool> give_up{false};

  // Cuts every connection the transfer has open: whatever libcurl waits for ends at once.
  void cut_off() {
    const std::lock_guard lock(socket_mutex);
    for (const curl_socket_t socket : sockets) ::shutdown(socket, SHUT_RDWR);
  }

  std::mutex socket_mutex;
  std::vector<curl_socket_t> sockets;  // open while libcurl holds them
};

std::size_t read_message(char* buffer, std::size_t size, std::size_t count, void* user) {
  auto& exchange = *static_cast<Exchange*>(user);
  const std::size_t n = std::min(size * count, exchange.message.size() - exchange.sent);
  std::memcpy(buffer, exchange.message.data() + exchange.sent, n);
  exchange.sent += n;
  return n;
}

// A reply line ends its reply when its code stands alone or is followed by a space.
bool ends_reply(std::string_view line) { return line.size() == 3 || line[3] == ' '; }

// Sees every command and reply line. The replies give the status text: the first reply after
// the whole message has gone out is the answer to it; the later ones belong to QUIT. A server
// that offers STARTTLS and then refuses it would get the login in the clear next (libcurl goes
// on without TLS when it is refused): the connection is cut before that can happen. This runs
// before libcurl acts on the reply.
int watch_exchange(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
  auto& exchange = *static_cast<Exchange*>(user);
  if (type == CURLINFO_HEADER_OUT) {
    if (std::string_view(data, size).substr(0, 8) == "STARTTLS") exchange.starttls_asked = true;
    return 0;
  }
  if (type != CURLINFO_HEADER_IN) return 0;
  std::string line(data, size);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.empty()) return 0;
  if (exchange.starttls_asked && line.size() >= 3 && ends_reply(line)) {
    exchange.starttls_asked = false;
    if (line.compare(0, 3, "220") != 0) {
      exchange.starttls_refused = true;
      exchange.cut_off();
    }
  }
  if (exchange.sent == exchange.message.size() && exchange.reply_to_message.empty())
    exchange.reply_to_message = line;
  exchange.last_reply = std::move(line);
  return 0;
}

// libcurl asks at least once a second, also inside its blocking waits, whether to go on.
int keep_going(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Exchange*>(user)->give_up ? 1 : 0;
}

// The transfer's sockets are opened and closed here so that the waiting caller can cut them.
curl_socket_t open_socket(void* user, curlsocktype, curl_sockaddr* address) {
  auto& exchange = *static_cast<Exchange*>(user);
  const curl_socket_t socket =
      ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
  if (socket == CURL_SOCKET_BAD) return socket;
  const std::lock_guard lock(exchange.socket_mutex);
  exchange.sockets.push_back(socket);
  return socket;
}

int close_socket(void* user, curl_socket_t socket) {
  auto& exchange = *static_cast<Exchange*>(user);
  const std::lock_guard lock(exchange.socket_mutex);
  std::erase(exchange.sockets, socket);
  return ::close(socket);
}

// Sets libcurl options one after the other; the first one refused is the failure, and no
// option is set after it.
class OptionSetter {
 public:
  explicit OptionSetter(CURL* easy) : easy_(easy) {}

  template <class Value>
  OptionSetter& set(CURLoption option, Value value) {
    if (!status_) return *this;
    const CURLcode code = curl_easy_setopt(easy_, option, value);
    if (code != CURLE_OK) {
      const curl_easyoption* known = curl_easy_option_by_id(option);
      const std::string name = known ? known->name : std::to_string(option);
      status_ = Failure{"libcurl refused option " + name + ": " + curl_easy_strerror(code)};
    }
    return *this;
  }

  const Status& status() const { return status_; }

 private:
  CURL* easy_;
  Status status_;
};

// Everything the options point to; it outlives the transfer.
struct Envelope {
  std::string url;
  std::string sender;
  CurlSlist recipients;
};

Result<Envelope> envelope_of(const SmtpServer& server, const MailMessage& mail) {
  Envelope envelope{.url = smtp_url(server), .sender = "<" + mail.from + ">", .recipients = {}};
  if (!append_curl_line(envelope.recipients, ("<" + mail.to + ">").c_str()))
    return Failure{"out of memory"};
  return envelope;
}

Status configure(CURL* easy, const SmtpServer& server, const Envelope& envelope, Exchange& exchange,
                 char* error, std::chrono::milliseconds timeout) {
  // Whole seconds, rounded up: libcurl's own bound on each reply, the one that also holds for
  // the reply to QUIT (where the bound on the whole transfer no longer counts).
  const long reply_seconds = std::max(1L, static_cast<long>((timeout.count() + 999) / 1000));
  OptionSetter options(easy);
  options.set(CURLOPT_ERRORBUFFER, error)
      .set(CURLOPT_URL, envelope.url.c_str())
      .set(CURLOPT_PROTOCOLS_STR, "smtp")
      // STARTTLS whenever the server offers it, with the certificate verified; the login and
      // the mail go in the clear only to a server that offers no TLS at all.
      .set(CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY))
      .set(CURLOPT_SSL_VERIFYPEER, 1L)
      .set(CURLOPT_SSL_VERIFYHOST, 2L);
  if (!server.ca_file.empty()) options.set(CURLOPT_CAINFO, server.ca_file.c_str());
  if (!server.user_name.empty()) {
    options.set(CURLOPT_USERNAME, server.user_name.c_str())
        .set(CURLOPT_PASSWORD, server.password.c_str());
  }
  options.set(CURLOPT_MAIL_FROM, envelope.sender.c_str())
      .set(CURLOPT_MAIL_RCPT, envelope.recipients.get())
      .set(CURLOPT_UPLOAD, 1L)
      .set(CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(exchange.message.size()))
      .set(CURLOPT_READFUNCTION, read_message)
      .set(CURLOPT_READDATA, &exchange)
      .set(CURLOPT_VERBOSE, 1L)
      .set(CURLOPT_DEBUGFUNCTION, watch_exchange)
      .set(CURLOPT_DEBUGDATA, &exchange)
      .set(CURLOPT_NOPROGRESS, 0L)
      .set(CURLOPT_XFERINFOFUNCTION, keep_going)
      .set(CURLOPT_XFERINFODATA, &exchange)
      .set(CURLOPT_OPENSOCKETFUNCTION, open_socket)
      .set(CURLOPT_OPENSOCKETDATA, &exchange)
      .set(CURLOPT_CLOSESOCKETFUNCTION, close_socket)
      .set(CURLOPT_CLOSESOCKETDATA, &exchange)
      .set(CURLOPT_NOSIGNAL, 1L)
      .set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout.count()))
      .set(CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()))
      .set(CURLOPT_SERVER_RESPONSE_TIMEOUT, reply_seconds)
      // One mail per connection: it is closed, QUIT included, on the transfer thread as soon as
      // the mail is through, not later by the handle's clean-up on this one.
      .set(CURLOPT_FORBID_REUSE, 1L);
  return options.status();
}

struct TransferOutcome {
  CURLcode result = CURLE_OK;
  bool timed_out = false;  // the time-out ran out before the transfer ended
};

// Runs the transfer on a thread of its own and waits for it in short slices, letting the GUI
// run between them. libcurl's SMTP waits for the reply to the mail and for the reply to QUIT
// block inside libcurl, so a multi handle on this thread could not keep the GUI going there.
// When the time-out runs out the transfer is told to give up (libcurl may still say QUIT);
// kSmtpQuitGrace later its connections are cut, which ends any wait.
Result<TransferOutcome> run_transfer(CURL* easy, Exchange& exchange,
                                     std::chrono::milliseconds timeout) {
  std::future<CURLcode> transfer;
  try {
    transfer = std::async(std::launch::async, [easy] { return curl_easy_perform(easy); });
  } catch (const std::system_error&) {
    return Failure{"no thread for the transfer"};
  }
  const Clock::time_point deadline = Clock::now() + timeout;
  bool timed_out = false;
  bool cut = false;
  while (transfer.wait_for(kPumpInterval) != std::future_status::ready) {
    pump_events();
    const Clock::time_point now = Clock::now();
    if (!timed_out && now >= deadline) {
      timed_out = true;
      exchange.give_up = true;
    }
    if (!cut && now >= deadline + kSmtpQuitGrace) {
      cut = true;
      exchange.cut_off();
    }
  }
  return TransferOutcome{transfer.get(), timed_out};
}

SmtpResult failure_result(const std::string& what, const Exchange& exchange) {
  const std::string server_said =
      exchange.last_reply.empty() ? "" : " (last reply: " + exchange.last_reply + ")";
  return {false, what + server_said};
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
  const Result<Envelope> envelope = envelope_of(server, mail);
  if (!envelope) return {false, envelope.failure().reason};
  char error[CURL_ERROR_SIZE] = {};
  if (const Status configured = configure(easy.get(), server, *envelope, exchange, error, timeout);
      !configured)
    return {false, configured.failure().reason};

  const Result<TransferOutcome> outcome = run_transfer(easy.get(), exchange, timeout);
  if (!outcome) return {false, outcome.failure().reason};
  if (outcome->result == CURLE_OK) return {true, exchange.reply_to_message};
  if (exchange.starttls_refused)
    return failure_result("the server offers STARTTLS but did not start TLS; nothing was sent",
                          exchange);
  if (outcome->timed_out || outcome->result == CURLE_OPERATION_TIMEDOUT)
    return failure_result(
        "the mail exchange did not end within " + std::to_string(timeout.count()) + " ms",
        exchange);
  std::string status = curl_easy_strerror(outcome->result);
  if (error[0] != '\0') status += std::string(": ") + error;
  return failure_result(status, exchange);
}

}  // namespace net
