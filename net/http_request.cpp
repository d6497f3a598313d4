#include "net/http_request.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <limits>
#include <string_view>
#include <vector>

#include "net/curl_http_transfer.h"
#include "net/encoding.h"
#include "net/event_pump.h"
#include "net/gbk.h"
#include "net/header_cookie.h"
#include "net/http_response.h"
#include "net/text_extract.h"

namespace net {
namespace {

// The failure texts, made once from their UTF-8 spelling.
struct FailureTexts {
  Text no_platform = utf8_to_gbk("700 当前系统不支持WinHttp服务!");
  Text bad_url = utf8_to_gbk("701 解析URL地址失败!");
  Text no_session = utf8_to_gbk("702 创建WinHttp会话失败!");
  Text no_connection = utf8_to_gbk("703 创建WinHttp连接失败!");
  Text no_request = utf8_to_gbk("704 创建WinHttp请求失败!");
  Text no_timeouts = utf8_to_gbk("705 设置超时时间失败!");
  Text no_credentials = utf8_to_gbk("707 设置代理凭证失败!");
  Text no_cookie_setting = utf8_to_gbk("708 禁止自动设置Cookies失败!");
  Text no_redirect_setting = utf8_to_gbk("709 重定向设置失败!");
  Text no_headers = utf8_to_gbk("710 设置协议头失败!");
  Text not_sent = utf8_to_gbk("711 发送请求失败!");
  Text no_response = utf8_to_gbk("712 服务器未响应!");
  Text read_failed = utf8_to_gbk("713 读取数据失败!");
  Text no_certificate_setting = utf8_to_gbk("忽略错误/证书错误  失败！");
};

const FailureTexts& failure_texts() {
  static const FailureTexts texts;
  return texts;
}

constexpr std::array<const char*, 8> kVerbs = {"GET",     "POST",   "HEAD",  "PUT",
                                               "OPTIONS", "DELETE", "TRACE", "CONNECT"};

struct DefaultLine {
  std::string_view key;
  std::string_view line;
  bool post_only;
};

constexpr std::array<DefaultLine, 6> kDefaultLines = {{
    {"User-Agent: ",
     "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n",
     false},
    {"Accept: ", "Accept: text/html, application/xhtml+xml, */*\r\n", false},
    {"Accept-Encoding: ", "Accept-Encoding: gbk, GB2312\r\n", false},
    {"Accept-Language: ", "Accept-Language: zh-cn\r\n", false},
    {"Content-Type:", "Content-Type: application/x-www-form-urlencoded\r\n", true},
    {"Cache-Control: ", "Cache-Control: no-cache\r\n", false},
}};

using Clock = std::chrono::steady_clock;

constexpr std::int32_t kDefaultTimeoutMs = 30000;

// The steps that prepare the transfer, in their order, each with the message of its failure.
struct SetUpStep {
  HttpStep step;
  Text FailureTexts::*message;
};

constexpr std::array<SetUpStep, 12> kSetUpSteps = {{
    {HttpStep::platform, &FailureTexts::no_platform},
    {HttpStep::address, &FailureTexts::bad_url},
    {HttpStep::session, &FailureTexts::no_session},
    {HttpStep::timeouts, &FailureTexts::no_timeouts},
    {HttpStep::connection, &FailureTexts::no_connection},
    {HttpStep::request, &FailureTexts::no_request},
    {HttpStep::server_credentials, &FailureTexts::no_credentials},
    {HttpStep::proxy_credentials, &FailureTexts::no_credentials},
    {HttpStep::certificates, &FailureTexts::no_certificate_setting},
    {HttpStep::cookies, &FailureTexts::no_cookie_setting},
    {HttpStep::redirects, &FailureTexts::no_redirect_setting},
    {HttpStep::headers, &FailureTexts::no_headers},
}};

// Bytes copied or joined between two chances for the event hook to run.
constexpr std::size_t kCopySlice = std::size_t{4} << 20;

bool contains(const Text& text, std::string_view marker, bool ignore_case) {
  return find_marker(text, marker, 0, ignore_case) != Text::npos;
}

std::chrono::milliseconds phase_timeout(std::int32_t seconds) {
  if (seconds < 1) return std::chrono::milliseconds(kDefaultTimeoutMs);
  const std::int64_t milliseconds = std::int64_t{seconds} * 1000;
  return std::chrono::milliseconds(
      std::min<std::int64_t>(milliseconds, std::numeric_limits<std::int32_t>::max()));
}

bool is_digits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool is_valid_host(std::string_view host) {
  if (host.empty()) return false;
  return std::none_of(host.begin(), host.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte >= 0x7F ||
           std::string_view("/?#@\\").find(c) != std::string_view::npos;
  });
}

// Takes an http or https address apart; a failure for anything else.
Result<WebAddress> split_web_address(const Text& url) {
  const auto scheme_end = url.find("://");
  if (scheme_end == Text::npos) return Failure{"no scheme"};
  const std::string_view scheme(url.data(), scheme_end);
  WebAddress address;
  if (gbk::equal_ignoring_ascii_case(scheme, "http")) {
    address.port = 80;
  } else if (gbk::equal_ignoring_ascii_case(scheme, "https")) {
    address.secure = true;
    address.port = 443;
  } else {
    return Failure{"not a web scheme"};
  }
  const std::string_view rest = std::string_view(url).substr(scheme_end + 3);
  const auto authority_end = std::min(rest.find_first_of("/?#"), rest.size());
  std::string_view authority = rest.substr(0, authority_end);
  const std::string_view object = rest.substr(authority_end);
  if (const auto at = authority.rfind('@'); at != std::string_view::npos)
    authority.remove_prefix(at + 1);

  std::string_view host = authority;
  std::string_view port;
  if (authority.starts_with('[')) {
    const auto close = authority.find(']');
    if (close == std::string_view::npos) return Failure{"an unclosed IPv6 address"};
    host = authority.substr(0, close + 1);
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty() && !after.starts_with(':')) return Failure{"junk after the host"};
    if (!after.empty()) port = after.substr(1);
  } else if (const auto colon = authority.rfind(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
  }
  if (!is_valid_host(host.starts_with('[') ? host.substr(1, host.size() - 2) : host))
    return Failure{"no valid host"};
  if (!port.empty()) {
    if (!is_digits(port) || port.size() > 5) return Failure{"no valid port"};
    const int number = std::stoi(std::string(port));
    if (number < 1 || number > 65535) return Failure{"no valid port"};
    address.port = static_cast<std::uint16_t>(number);
  }
  address.host = Text(host);
  // A query without a path still belongs to the request: "http://host?q" asks for "/?q".
  address.object_name =
      object.starts_with('/') ? Text(object) : "/" + Text(object.substr(0, object.find('#')));
  return address;
}

// The header block that goes to the server: the caller's lines, the default lines the block
// lacks, normalised names, no "Connection: keep-alive" line, and the cookie line.
Text request_header_block(const HttpRequestOptions& options, const Text& send_cookies) {
  Text block = options.request_headers;
  if (!block.empty()) block += "\r\n";
  if (options.add_default_headers) {
    for (const DefaultLine& line : kDefaultLines) {
      if (line.post_only && options.method != 1) continue;
      if (!contains(block, line.key, true)) block += line.line;
    }
  }
  if (options.normalize_header_names) block = normalize_headers(block);
  if (contains(block, "Connection", false) && header_value(block, "Connection") == "keep-alive") {
    constexpr std::string_view kKeepAlive = "Connection: keep-alive\r\n";
    for (auto at = find_marker(block, kKeepAlive, 0); at != Text::npos;
         at = find_marker(block, kKeepAlive, at)) {
      block.erase(at, kKeepAlive.size());
    }
  }
  if (!contains(block, "Cookie:", true) && !send_cookies.empty()) {
    block += contains(send_cookies, "Cookie:", true) ? "\r\n" : "\r\nCookie: ";
    block += send_cookies;
    block += "\r\n";
  }
  return block;
}

// The lines of a header block, without their line ends; empty lines are left out.
std::vector<Text> header_lines_of(const Text& block) {
  std::vector<Text> lines;
  for (std::size_t begin = 0; begin < block.size();) {
    auto end = block.find('\n', begin);
    if (end == Text::npos) end = block.size();
    std::string_view line(block.data() + begin, end - begin);
    begin = end + 1;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!line.empty()) lines.emplace_back(line);
  }
  return lines;
}

// The exchange that the options describe, decided once before the transfer is set up.
HttpExchange describe_exchange(WebAddress address, const HttpRequestOptions& options,
                               const Text& send_cookies, Clock::time_point start) {
  HttpExchange exchange;
  const bool known_method =
      options.method >= 0 && options.method < static_cast<std::int32_t>(kVerbs.size());
  exchange.verb = kVerbs[known_method ? static_cast<std::size_t>(options.method) : 0];
  exchange.address = std::move(address);
  exchange.proxy = options.proxy;
  if (!options.user_name.empty() && !options.password.empty())
    exchange.server_login = Login{options.user_name, options.password};
  if (!options.proxy_user_name.empty() && !options.proxy_password.empty())
    exchange.proxy_login = Login{options.proxy_user_name, options.proxy_password};
  exchange.header_lines = header_lines_of(request_header_block(options, send_cookies));
  if (!options.body_bytes.empty()) {
    exchange.body = options.body_bytes;
  } else {
    exchange.body.assign(options.body_text.begin(), options.body_text.end());
  }
  // Certificate faults (unknown authority, wrong usage, wrong name, out of date) are overlooked.
  exchange.verify_peer = false;
  exchange.verify_host = false;
  // Cookies given to send keep a store for the exchange, and ask for revocation answers.
  exchange.keep_cookies = !send_cookies.empty();
  exchange.check_revocation = !send_cookies.empty();
  exchange.follow_redirects = !options.disable_redirects;
  exchange.phase_timeout = phase_timeout(options.timeout_seconds);
  if (options.overall_timeout_seconds >= 1)
    exchange.deadline = start + std::chrono::seconds(options.overall_timeout_seconds);
  return exchange;
}

// The body as it arrives, gathered in blocks that never grow past what they reserved, and
// joined once at the end: no byte is copied twice while the body grows. Blocks grow with the
// body up to kLargestBlock, so a large body lives in a few large blocks that go straight back
// to the system when they are let go.
class BodyPieces {
 public:
  void add(Text piece) {
    size_ += piece.size();
    if (blocks_.empty()) {
      blocks_.push_back(std::move(piece));
      return;
    }
    Text& last = blocks_.back();
    if (last.capacity() - last.size() < piece.size()) {
      Text block;
      block.reserve(std::max(piece.size(), std::clamp(size_, kSmallestBlock, kLargestBlock)));
      blocks_.push_back(std::move(block));
    }
    blocks_.back().append(piece);
  }

  // The whole body in one text. Each block is let go once it is copied, and the event hook
  // keeps running between slices.
  Text join() && {
    if (blocks_.size() == 1) return std::move(blocks_.front());
    Text joined;
    joined.reserve(size_);
    for (Text& block : blocks_) {
      for (std::size_t at = 0; at < block.size(); at += kCopySlice) {
        joined.append(block, at, kCopySlice);
        pump_events_if_due();
      }
      Text().swap(block);
    }
    blocks_.clear();
    return joined;
  }

 private:
  static constexpr std::size_t kSmallestBlock = std::size_t{64} << 10;
  static constexpr std::size_t kLargestBlock = std::size_t{64} << 20;

  std::vector<Text> blocks_;
  std::size_t size_ = 0;
};

// A copy of the text as bytes, made slice by slice with the event hook running in between.
Bytes bytes_of(const Text& text) {
  Bytes bytes;
  bytes.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); at += kCopySlice) {
    const auto end =
        text.begin() + static_cast<std::ptrdiff_t>(std::min(text.size(), at + kCopySlice));
    bytes.insert(bytes.end(), text.begin() + static_cast<std::ptrdiff_t>(at), end);
    pump_events_if_due();
  }
  return bytes;
}

}  // namespace

Text http_request(const Text& url, const HttpRequestOptions& options) {
  CurlHttpTransfer transfer;
  return http_request(transfer, url, options);
}

Text http_request(HttpTransfer& transfer, const Text& url, const HttpRequestOptions& options) {
  const auto start = Clock::now();
  const FailureTexts& texts = failure_texts();
  // Parameters the caller left out take part in the steps as variables of their own.
  Text own_send_cookies;
  Text own_received_cookies;
  Text own_status_text;
  Text& send_cookies = options.send_cookies != nullptr ? *options.send_cookies : own_send_cookies;
  Text& received_cookies =
      options.received_cookies != nullptr ? *options.received_cookies : own_received_cookies;
  Text& status_text = options.status_text != nullptr ? *options.status_text : own_status_text;
  const auto fail = [&status_text](const Text& message) {
    status_text = message;
    return Text();
  };

  const Result<WebAddress> address = split_web_address(url);
  const HttpExchange exchange =
      describe_exchange(address.value_or(WebAddress{}), options, send_cookies, start);
  for (const SetUpStep& step : kSetUpSteps) {
    if (step.step == HttpStep::server_credentials && !exchange.server_login) continue;
    if (step.step == HttpStep::proxy_credentials && !exchange.proxy_login) continue;
    if (step.step == HttpStep::address && !address) return fail(texts.*step.message);
    if (!transfer.set_up(step.step, exchange)) return fail(texts.*step.message);
  }
  if (!transfer.start()) return fail(texts.not_sent);
  if (!transfer.wait_for_head()) return fail(texts.no_response);

  // A body cut short (the connection stalled or broke, or the overall bound ran out) keeps the
  // bytes read so far, and the read failure stays in status_text.
  BodyPieces body_pieces;
  bool body_complete = false;
  for (;;) {
    Result<Text> piece = transfer.read_some();
    if (!piece) break;
    if (piece->empty()) {
      body_complete = true;
      break;
    }
    body_pieces.add(std::move(*piece));
  }
  if (!body_complete) status_text = texts.read_failed;

  const Result<Text> raw_headers = transfer.raw_head();
  if (!raw_headers) return Text();
  Text response_headers = header_block_text(*raw_headers);
  if (body_complete) status_text = status_text_of(response_headers);

  Text own_location;
  Text& redirect_location =
      options.redirect_location != nullptr ? *options.redirect_location : own_location;
  read_header_lines(response_headers, received_cookies, redirect_location);
  if (options.response_headers != nullptr) *options.response_headers = std::move(response_headers);

  if (received_cookies.ends_with("; ")) received_cookies.resize(received_cookies.size() - 2);
  if (options.merge_sent_cookies && !send_cookies.empty()) {
    merge_cookies(send_cookies, received_cookies);
    received_cookies = send_cookies;
  }
  Text received_body = std::move(body_pieces).join();
  if (options.response_bytes != nullptr) *options.response_bytes = bytes_of(received_body);

  Text body_text = body_text_of(std::move(received_body));
  pump_events();
  pump_events();
  return body_text;
}

}  // namespace net
