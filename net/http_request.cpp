#include "net/http_request.h"

#include <algorithm>
#include <array>
#include <limits>
#include <span>
#include <string_view>

#include "net/encoding.h"
#include "net/event_pump.h"
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

constexpr std::int32_t kDefaultTimeoutMs = 30000;
constexpr std::uint32_t kAllCertificateFaults =
    http::kIgnoreUnknownCa | http::kIgnoreCertWrongUsage | http::kIgnoreCertCnInvalid |
    http::kIgnoreCertDateInvalid;

bool contains(const Text& text, std::string_view marker, bool ignore_case) {
  return find_marker(text, marker, 0, ignore_case) != Text::npos;
}

std::int32_t timeout_milliseconds(std::int32_t seconds) {
  if (seconds < 1) return kDefaultTimeoutMs;
  const std::int64_t milliseconds = std::int64_t{seconds} * 1000;
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(milliseconds, std::numeric_limits<std::int32_t>::max()));
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

// Closes a service handle when it goes out of scope. Declared in the order session,
// connection, request, the handles close in the order request, connection, session.
class HandleCloser {
 public:
  HandleCloser(HttpService& service, HttpHandle handle) : service_(service), handle_(handle) {}
  ~HandleCloser() {
    if (handle_ != kNoHttpHandle) service_.close_handle(handle_);
  }
  HandleCloser(const HandleCloser&) = delete;
  HandleCloser& operator=(const HandleCloser&) = delete;

  explicit operator bool() const { return handle_ != kNoHttpHandle; }
  HttpHandle get() const { return handle_; }

 private:
  HttpService& service_;
  HttpHandle handle_;
};

}  // namespace

Text http_request(const Text& url, const HttpRequestOptions& options) {
  CurlHttpService service;
  return http_request(service, url, options);
}

Text http_request(HttpService& service, const Text& url, const HttpRequestOptions& options) {
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

  if (!service.check_platform()) return fail(texts.no_platform);
  HttpUrlParts address;
  if (!service.crack_url(url, address)) return fail(texts.bad_url);

  const bool proxied = !options.proxy.empty();
  const Text proxy_name = !proxied         ? Text()
                          : address.secure ? options.proxy
                                           : "http=" + options.proxy;
  const HandleCloser session(
      service,
      service.open_session(proxied ? http::kAccessNamedProxy : http::kAccessNoProxy, proxy_name));
  if (!session) return fail(texts.no_session);
  const std::int32_t timeout = timeout_milliseconds(options.timeout_seconds);
  if (!service.set_timeouts(session.get(), timeout, timeout, timeout, timeout))
    return fail(texts.no_timeouts);

  const HandleCloser connection(service,
                                service.connect(session.get(), address.host, address.port));
  if (!connection) return fail(texts.no_connection);
  const bool known_method =
      options.method >= 0 && options.method < static_cast<std::int32_t>(kVerbs.size());
  const Text verb = kVerbs[known_method ? static_cast<std::size_t>(options.method) : 0];
  const HandleCloser request(service,
                             service.open_request(connection.get(), verb, address.object_name,
                                                  address.secure ? http::kFlagSecure : 0));
  if (!request) return fail(texts.no_request);

  if (!options.user_name.empty() && !options.password.empty() &&
      !service.set_credentials(request.get(), http::kAuthTargetServer, http::kAuthSchemeBasic,
                               options.user_name, options.password)) {
    return fail(texts.no_credentials);
  }
  if (!options.proxy_user_name.empty() && !options.proxy_password.empty() &&
      !service.set_credentials(request.get(), http::kAuthTargetProxy, http::kAuthSchemeBasic,
                               options.proxy_user_name, options.proxy_password)) {
    return fail(texts.no_credentials);
  }
  if (!service.set_option(request.get(), http::kOptionSecurityFlags, kAllCertificateFaults)) {
    return fail(texts.no_certificate_setting);
  }
  const bool cookie_feature_set =
      send_cookies.empty()
          ? service.set_option(request.get(), http::kOptionDisableFeature, http::kDisableCookies)
          : service.set_option(request.get(), http::kOptionEnableFeature,
                               http::kEnableSslRevocation);
  if (!cookie_feature_set) return fail(texts.no_cookie_setting);
  if (options.disable_redirects &&
      !service.set_option(request.get(), http::kOptionDisableFeature, http::kDisableRedirects)) {
    return fail(texts.no_redirect_setting);
  }

  const Text header_block = request_header_block(options, send_cookies);
  if (!service.add_request_headers(request.get(), header_block, http::kAddHeadersFlagAdd)) {
    return fail(texts.no_headers);
  }
  const std::span<const std::uint8_t> body =
      !options.body_bytes.empty()
          ? std::span<const std::uint8_t>(options.body_bytes)
          : std::span(reinterpret_cast<const std::uint8_t*>(options.body_text.data()),
                      options.body_text.size());
  if (!service.send_request(request.get(), body)) return fail(texts.not_sent);
  if (!service.receive_response(request.get())) return fail(texts.no_response);

  // The body is read in the pieces the service reports available, straight onto the end of one
  // buffer that grows geometrically and becomes the body text in the end. A body cut short (the
  // connection stalled or broke) keeps the bytes read so far, and the read failure stays in
  // status_text.
  Text received_body;
  bool body_complete = false;
  for (;;) {
    std::size_t available = 0;
    if (!service.query_data_available(request.get(), available)) break;
    if (available < 1) {
      body_complete = true;
      break;
    }
    const std::size_t old_size = received_body.size();
    received_body.resize(old_size + available);
    std::size_t read = 0;
    const std::span<std::uint8_t> tail(
        reinterpret_cast<std::uint8_t*>(received_body.data()) + old_size, available);
    const bool read_ok = service.read_data(request.get(), tail, read);
    received_body.resize(old_size + (read_ok ? std::min(read, available) : 0));
    if (!read_ok) break;
  }
  if (!body_complete) status_text = texts.read_failed;

  Text raw_headers;
  if (!service.query_raw_headers(request.get(), raw_headers)) return Text();
  Text response_headers = header_block_text(raw_headers);
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
  if (options.response_bytes != nullptr)
    *options.response_bytes = Bytes(received_body.begin(), received_body.end());

  Text body_text = body_text_of(std::move(received_body));
  pump_events();
  pump_events();
  return body_text;
}

}  // namespace net
