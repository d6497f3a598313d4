#include "net/http_service.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/curl_multi_loop.h"
#include "net/encoding.h"
#include "net/http_response.h"

namespace net {
namespace {

using std::chrono::milliseconds;

// Redirects are followed this many times at most, as the platform HTTP services do.
constexpr long kMaxRedirects = 10;
// libcurl's receive buffer; larger than its default so that big bodies take fewer steps.
constexpr long kReceiveBufferSize = 256 * 1024;

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return lower(x) == lower(y); });
}

bool is_digits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Bytes that cannot stand in an address as they are.
bool is_unsafe_in_url(unsigned char byte) { return byte <= 0x20 || byte >= 0x7F; }

bool is_valid_host(std::string_view host) {
  if (host.empty()) return false;
  return std::none_of(host.begin(), host.end(), [](char c) {
    return is_unsafe_in_url(static_cast<unsigned char>(c)) || std::strchr("/?#@\\", c) != nullptr;
  });
}

// The object name as libcurl takes it: GBK characters as percent-escaped UTF-8, blanks and
// control bytes escaped, everything else as given.
std::string escape_object_name(const Text& object_name) {
  const bool plain = std::none_of(object_name.begin(), object_name.end(),
                                  [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  const std::string bytes = plain ? object_name : gbk_to_utf8(object_name);
  std::string escaped;
  escaped.reserve(bytes.size() + 1);
  if (!bytes.starts_with('/')) escaped.push_back('/');
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (is_unsafe_in_url(byte)) {
      escaped.push_back('%');
      escaped.push_back(kHex[byte >> 4]);
      escaped.push_back(kHex[byte & 0x0F]);
    } else {
      escaped.push_back(c);
    }
  }
  return escaped;
}

// The proxy a named-proxy list gives for a scheme: entries are separated by blanks or ";",
// each "host:port" for every scheme or "scheme=host:port" for one. Empty when none applies.
std::string proxy_for(std::string_view list, std::string_view scheme) {
  std::size_t begin = 0;
  while (begin < list.size()) {
    auto end = list.find_first_of("; ", begin);
    if (end == std::string_view::npos) end = list.size();
    std::string_view entry = list.substr(begin, end - begin);
    begin = end + 1;
    if (entry.empty()) continue;
    const auto equals = entry.find('=');
    const bool scoped =
        equals != std::string_view::npos &&
        std::all_of(entry.begin(), entry.begin() + static_cast<std::ptrdiff_t>(equals),
                    [](char c) { return lower(c) >= 'a' && lower(c) <= 'z'; });
    if (scoped) {
      if (!equal_ignoring_case(entry.substr(0, equals), scheme)) continue;
      entry.remove_prefix(equals + 1);
    }
    if (entry.empty()) continue;
    std::string proxy(entry);
    return proxy.find("://") == std::string::npos ? "http://" + proxy : proxy;
  }
  return {};
}

// The name of a header line (the part before its colon), or empty when the line is no header
// line that can be sent as it stands.
std::string_view header_name_of(std::string_view line) {
  const auto colon = line.find(':');
  if (colon == 0 || colon == std::string_view::npos) return {};
  const std::string_view name = line.substr(0, colon);
  const bool clean = std::none_of(name.begin(), name.end(), [](char c) {
    return c == ' ' || c == '\t' || c == '\0' || c == '\r' || c == '\n';
  });
  if (!clean || line.find_first_of(std::string_view("\r\0", 2)) != std::string_view::npos)
    return {};
  return name;
}

}  // namespace

struct CurlHttpService::Timeouts {
  milliseconds resolve{0};
  milliseconds connect{0};
  milliseconds send{0};
  milliseconds receive{0};
};

struct CurlHttpService::Session {
  std::string proxy_list;  // empty: no proxy
  Timeouts timeouts;
};

struct CurlHttpService::Connection {
  Session session;
  Text host;
  std::uint16_t port = 0;
};

// One request: its easy handle, the options and headers it was given and the response as it
// arrives. Stages run strictly in order: options and headers, send, receive, read.
class CurlHttpService::Request {
 public:
  Request(const Connection& connection, const Text& verb, const Text& object_name, bool secure)
      : easy_(make_curl_easy()),
        verb_(verb),
        url_(std::string(secure ? "https://" : "http://") + connection.host + ":" +
             std::to_string(connection.port) + escape_object_name(object_name)),
        proxy_(proxy_for(connection.session.proxy_list, secure ? "https" : "http")),
        timeouts_(connection.session.timeouts) {}

  bool valid() const { return easy_ != nullptr; }

  bool set_credentials(std::uint32_t target, std::uint32_t scheme, const Text& user_name,
                       const Text& password) {
    if (stage_ != Stage::open || scheme != http::kAuthSchemeBasic) return false;
    if (target == http::kAuthTargetServer) {
      server_login_ = {user_name, password};
    } else if (target == http::kAuthTargetProxy) {
      proxy_login_ = {user_name, password};
    } else {
      return false;
    }
    return true;
  }

  bool set_option(std::uint32_t option, std::uint32_t value) {
    if (stage_ != Stage::open) return false;
    switch (option) {
      case http::kOptionSecurityFlags: {
        constexpr std::uint32_t known = http::kIgnoreUnknownCa | http::kIgnoreCertWrongUsage |
                                        http::kIgnoreCertCnInvalid | http::kIgnoreCertDateInvalid;
        if ((value & ~known) != 0) return false;
        // OpenSSL checks authority, usage and dates in one verification of the peer.
        verify_peer_ = (value & (http::kIgnoreUnknownCa | http::kIgnoreCertWrongUsage |
                                 http::kIgnoreCertDateInvalid)) == 0;
        verify_host_ = (value & http::kIgnoreCertCnInvalid) == 0;
        return true;
      }
      case http::kOptionDisableFeature:
        if (value == 0 || (value & ~(http::kDisableCookies | http::kDisableRedirects)) != 0)
          return false;
        if ((value & http::kDisableCookies) != 0) cookies_ = false;
        if ((value & http::kDisableRedirects) != 0) follow_redirects_ = false;
        return true;
      case http::kOptionEnableFeature:
        if (value != http::kEnableSslRevocation) return false;
        check_revocation_ = true;
        return true;
      default:
        return false;
    }
  }

  bool add_headers(const Text& block, std::uint32_t modifiers) {
    if (stage_ != Stage::open || modifiers != http::kAddHeadersFlagAdd) return false;
    std::vector<std::string> lines;
    for (std::size_t begin = 0; begin < block.size();) {
      auto end = block.find('\n', begin);
      if (end == Text::npos) end = block.size();
      std::string_view line(block.data() + begin, end - begin);
      begin = end + 1;
      if (line.ends_with('\r')) line.remove_suffix(1);
      if (line.empty()) continue;
      const std::string_view name = header_name_of(line);
      if (name.empty()) return false;
      std::string value(line.substr(name.size() + 1));
      const bool blank = value.find_first_not_of(" \t") == std::string::npos;
      // libcurl reads "Name:" with nothing after it as "send no such line"; "Name;" sends it empty.
      lines.push_back(blank ? std::string(name) + ";" : std::string(line));
    }
    header_lines_.insert(header_lines_.end(), lines.begin(), lines.end());
    return true;
  }

  bool send(std::span<const std::uint8_t> body) {
    if (stage_ != Stage::open) return false;
    stage_ = Stage::failed;
    body_.assign(body.begin(), body.end());
    if (!configure() || !loop_.start(easy_.get())) return false;
    if (loop_.run_until_connected(timeouts_.resolve, timeouts_.connect) !=
            CurlMultiLoop::Outcome::ready &&
        !request_out()) {
      return false;
    }
    const auto sent = loop_.run_until([this] { return request_out(); },
                                      CurlMultiLoop::deadline_after(timeouts_.send));
    if (sent != CurlMultiLoop::Outcome::ready) return false;
    stage_ = Stage::sent;
    return true;
  }

  bool receive() {
    if (stage_ != Stage::sent) return false;
    stage_ = Stage::failed;
    // Every further head (a redirect followed) starts the wait afresh.
    for (;;) {
      const std::size_t heads = head_.completed_heads();
      const auto outcome =
          loop_.run_until([&] { return response_ready() || head_.completed_heads() != heads; },
                          CurlMultiLoop::deadline_after(timeouts_.receive));
      if (outcome == CurlMultiLoop::Outcome::timed_out) return false;
      if (outcome == CurlMultiLoop::Outcome::finished && !ended_well()) return false;
      if (response_ready() || outcome == CurlMultiLoop::Outcome::finished) break;
    }
    if (head_.completed_heads() == 0) return false;
    stage_ = Stage::received;
    return true;
  }

  bool query_available(std::size_t& available) {
    if (stage_ != Stage::received || !wait_for_data()) return false;
    available = pending_.size() - pending_offset_;
    return true;
  }

  bool read(std::span<std::uint8_t> buffer, std::size_t& read) {
    if (stage_ != Stage::received || !wait_for_data()) return false;
    read = std::min(buffer.size(), pending_.size() - pending_offset_);
    if (read > 0) std::memcpy(buffer.data(), pending_.data() + pending_offset_, read);
    pending_offset_ += read;
    if (pending_offset_ == pending_.size()) {
      pending_.clear();
      pending_offset_ = 0;
    }
    return true;
  }

  bool raw_headers(Text& block) const {
    if (stage_ != Stage::received) return false;
    block = head_.block();
    return true;
  }

 private:
  enum class Stage { open, sent, received, failed };

  struct Login {
    Text user_name;
    Text password;
  };

  static std::size_t on_header(char* data, std::size_t size, std::size_t count, void* self) {
    try {
      static_cast<Request*>(self)->head_.add_line(std::string_view(data, size * count));
      return size * count;
    } catch (...) {
      return 0;  // ends the transfer with a write error
    }
  }

  static std::size_t on_body(char* data, std::size_t size, std::size_t count, void* self) {
    auto& pending = static_cast<Request*>(self)->pending_;
    try {
      pending.insert(pending.end(), data, data + size * count);
      return size * count;
    } catch (...) {
      return 0;
    }
  }

  bool configure() {
    CURL* easy = easy_.get();
    bool ok = curl_easy_setopt(easy, CURLOPT_URL, url_.c_str()) == CURLE_OK;
    const auto set = [&](CURLoption option, auto value) {
      ok = ok && curl_easy_setopt(easy, option, value) == CURLE_OK;
    };
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_FOLLOWLOCATION, follow_redirects_ ? 1L : 0L);
    set(CURLOPT_MAXREDIRS, kMaxRedirects);
    set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set(CURLOPT_PATH_AS_IS, 1L);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_QUICK_EXIT, 1L);  // a lookup that hangs must not hold up the clean-up
    set(CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    // An empty proxy also keeps libcurl from taking one from the environment.
    set(CURLOPT_PROXY, proxy_.c_str());
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    set(CURLOPT_SSL_VERIFYPEER, verify_peer_ ? 1L : 0L);
    set(CURLOPT_SSL_VERIFYHOST, verify_host_ ? 2L : 0L);
    // With OpenSSL, revocation is known only from the OCSP answer the server staples; there
    // is nothing to check on a certificate that is not verified.
    if (check_revocation_ && verify_peer_) set(CURLOPT_SSL_VERIFYSTATUS, 1L);
    // The cookie feature is a store of this request's own: cookies set by one redirect hop
    // go along to the next. Nothing outlives the request.
    if (cookies_) set(CURLOPT_COOKIEFILE, "");
    if (server_login_) {
      set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
      set(CURLOPT_USERNAME, server_login_->user_name.c_str());
      set(CURLOPT_PASSWORD, server_login_->password.c_str());
    }
    if (proxy_login_) {
      set(CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
      set(CURLOPT_PROXYUSERNAME, proxy_login_->user_name.c_str());
      set(CURLOPT_PROXYPASSWORD, proxy_login_->password.c_str());
    }
    set(CURLOPT_HEADERFUNCTION, &Request::on_header);
    set(CURLOPT_HEADERDATA, static_cast<void*>(this));
    set(CURLOPT_WRITEFUNCTION, &Request::on_body);
    set(CURLOPT_WRITEDATA, static_cast<void*>(this));
    return ok && configure_method() && configure_headers();
  }

  bool configure_method() {
    CURL* easy = easy_.get();
    const bool with_body = !body_.empty() || verb_ == "POST" || verb_ == "PUT";
    // A HEAD request carries no body, and its answer none.
    if (verb_ == "HEAD") return curl_easy_setopt(easy, CURLOPT_NOBODY, 1L) == CURLE_OK;
    if (verb_ == "GET" && body_.empty())
      return curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L) == CURLE_OK;
    if (verb_ != "POST" &&
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb_.c_str()) != CURLE_OK) {
      return false;
    }
    if (!with_body) return curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L) == CURLE_OK;
    static const char kNoBytes[] = "";
    const void* data = body_.empty() ? static_cast<const void*>(kNoBytes) : body_.data();
    return curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                            static_cast<curl_off_t>(body_.size())) == CURLE_OK &&
           curl_easy_setopt(easy, CURLOPT_POSTFIELDS, data) == CURLE_OK;
  }

  // The caller's lines in their order; libcurl's own Accept, Expect, Content-Type and
  // Proxy-Connection lines are switched off unless the caller gives such a line.
  bool configure_headers() {
    const auto given = [&](std::string_view name) {
      return std::any_of(header_lines_.begin(), header_lines_.end(), [&](const std::string& line) {
        return equal_ignoring_case(line.substr(0, line.find_first_of(":;")), name);
      });
    };
    for (const auto& line : header_lines_) {
      if (!append_curl_line(headers_, line.c_str())) return false;
    }
    for (const char* name : {"Accept", "Expect", "Content-Type"}) {
      if (!given(name) && !append_curl_line(headers_, (std::string(name) + ":").c_str()))
        return false;
    }
    if (!append_curl_line(proxy_headers_, "Proxy-Connection:")) return false;
    return curl_easy_setopt(easy_.get(), CURLOPT_HTTPHEADER, headers_.get()) == CURLE_OK &&
           curl_easy_setopt(easy_.get(), CURLOPT_PROXYHEADER, proxy_headers_.get()) == CURLE_OK;
  }

  // The request line, the headers and the whole body have gone out (or an answer has begun).
  bool request_out() const {
    if (head_.started()) return true;
    long request_size = 0;
    curl_off_t uploaded = 0;
    curl_easy_getinfo(easy_.get(), CURLINFO_REQUEST_SIZE, &request_size);
    curl_easy_getinfo(easy_.get(), CURLINFO_SIZE_UPLOAD_T, &uploaded);
    return request_size > 0 && static_cast<std::size_t>(uploaded) >= body_.size();
  }

  // The head of the final response is complete: no further head will replace it, or its
  // body has begun (libcurl passes on no body of a redirect it follows).
  bool response_ready() const {
    return head_.final_head_complete() ||
           (head_.completed_heads() > 0 && pending_offset_ < pending_.size());
  }

  // The transfer ended without fault, or a redirect could not be followed (another scheme, or
  // an address that cannot be read): then the redirecting response is the final one.
  bool ended_well() const {
    if (loop_.result() == CURLE_OK) return true;
    return head_.last_head_redirects() &&
           (loop_.result() == CURLE_UNSUPPORTED_PROTOCOL || loop_.result() == CURLE_URL_MALFORMAT);
  }

  // Waits until body bytes are pending or the body has ended well.
  bool wait_for_data() {
    const auto outcome = loop_.run_until([this] { return pending_offset_ < pending_.size(); },
                                         CurlMultiLoop::deadline_after(timeouts_.receive));
    return outcome == CurlMultiLoop::Outcome::ready ||
           (outcome == CurlMultiLoop::Outcome::finished && ended_well());
  }

  CurlEasy easy_;
  CurlSlist headers_;
  CurlSlist proxy_headers_;
  Bytes body_;          // libcurl sends it from here
  CurlMultiLoop loop_;  // declared after what the transfer uses: detaches before they go
  Text verb_;
  std::string url_;
  std::string proxy_;
  Timeouts timeouts_;
  std::optional<Login> server_login_;
  std::optional<Login> proxy_login_;
  bool verify_peer_ = true;
  bool verify_host_ = true;
  bool check_revocation_ = false;
  bool cookies_ = true;
  bool follow_redirects_ = true;
  std::vector<std::string> header_lines_;
  Stage stage_ = Stage::open;
  ResponseHeadCollector head_;
  Bytes pending_;
  std::size_t pending_offset_ = 0;
};

CurlHttpService::CurlHttpService() = default;
CurlHttpService::~CurlHttpService() = default;

HttpHandle CurlHttpService::next_handle() { return HttpHandle{++last_handle_}; }

CurlHttpService::Request* CurlHttpService::find_request(HttpHandle handle) {
  const auto found = requests_.find(handle);
  return found == requests_.end() ? nullptr : found->second.get();
}

bool CurlHttpService::check_platform() {
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  if (info == nullptr || info->protocols == nullptr) return false;
  for (const char* const* protocol = info->protocols; *protocol != nullptr; ++protocol) {
    if (std::string_view(*protocol) == "http") return true;
  }
  return false;
}

bool CurlHttpService::crack_url(const Text& url, HttpUrlParts& parts) {
  const auto scheme_end = url.find("://");
  if (scheme_end == Text::npos) return false;
  const std::string_view scheme(url.data(), scheme_end);
  HttpUrlParts cracked;
  if (equal_ignoring_case(scheme, "http")) {
    cracked.port = 80;
  } else if (equal_ignoring_case(scheme, "https")) {
    cracked.secure = true;
    cracked.port = 443;
  } else {
    return false;
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
    if (close == std::string_view::npos) return false;
    host = authority.substr(0, close + 1);
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty() && !after.starts_with(':')) return false;
    if (!after.empty()) port = after.substr(1);
  } else if (const auto colon = authority.rfind(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
  }
  if (!is_valid_host(host.starts_with('[') ? host.substr(1, host.size() - 2) : host)) return false;
  if (!port.empty()) {
    if (!is_digits(port) || port.size() > 5) return false;
    const int number = std::stoi(std::string(port));
    if (number < 1 || number > 65535) return false;
    cracked.port = static_cast<std::uint16_t>(number);
  }
  cracked.host = Text(host);
  // A query without a path still belongs to the request: "http://host?q" asks for "/?q".
  cracked.object_name =
      object.starts_with('/') ? Text(object) : "/" + Text(object.substr(0, object.find('#')));
  parts = std::move(cracked);
  return true;
}

HttpHandle CurlHttpService::open_session(std::uint32_t access_type, const Text& proxy_name) {
  auto session = std::make_unique<Session>();
  if (access_type == http::kAccessNamedProxy) {
    if (proxy_name.empty()) return kNoHttpHandle;
    session->proxy_list = proxy_name;
  } else if (access_type != http::kAccessNoProxy) {
    return kNoHttpHandle;
  }
  const HttpHandle handle = next_handle();
  sessions_.emplace(handle, std::move(session));
  return handle;
}

bool CurlHttpService::set_timeouts(HttpHandle session, std::int32_t resolve_ms,
                                   std::int32_t connect_ms, std::int32_t send_ms,
                                   std::int32_t receive_ms) {
  const auto found = sessions_.find(session);
  if (found == sessions_.end()) return false;
  found->second->timeouts = {milliseconds(resolve_ms), milliseconds(connect_ms),
                             milliseconds(send_ms), milliseconds(receive_ms)};
  return true;
}

HttpHandle CurlHttpService::connect(HttpHandle session, const Text& host, std::uint16_t port) {
  const auto found = sessions_.find(session);
  if (found == sessions_.end() || host.empty() || port == 0) return kNoHttpHandle;
  const HttpHandle handle = next_handle();
  connections_.emplace(handle,
                       std::make_unique<Connection>(Connection{*found->second, host, port}));
  return handle;
}

HttpHandle CurlHttpService::open_request(HttpHandle connection, const Text& verb,
                                         const Text& object_name, std::uint32_t flags) {
  const auto found = connections_.find(connection);
  const bool token = !verb.empty() && std::none_of(verb.begin(), verb.end(), [](char c) {
    return is_unsafe_in_url(static_cast<unsigned char>(c));
  });
  if (found == connections_.end() || !token || (flags & ~http::kFlagSecure) != 0)
    return kNoHttpHandle;
  auto request = std::make_unique<Request>(*found->second, verb, object_name,
                                           (flags & http::kFlagSecure) != 0);
  if (!request->valid()) return kNoHttpHandle;
  const HttpHandle handle = next_handle();
  requests_.emplace(handle, std::move(request));
  return handle;
}

bool CurlHttpService::set_credentials(HttpHandle request, std::uint32_t target,
                                      std::uint32_t scheme, const Text& user_name,
                                      const Text& password) {
  Request* found = find_request(request);
  return found != nullptr && found->set_credentials(target, scheme, user_name, password);
}

bool CurlHttpService::set_option(HttpHandle request, std::uint32_t option, std::uint32_t value) {
  Request* found = find_request(request);
  return found != nullptr && found->set_option(option, value);
}

bool CurlHttpService::add_request_headers(HttpHandle request, const Text& block,
                                          std::uint32_t modifiers) {
  Request* found = find_request(request);
  return found != nullptr && found->add_headers(block, modifiers);
}

bool CurlHttpService::send_request(HttpHandle request, std::span<const std::uint8_t> body) {
  Request* found = find_request(request);
  return found != nullptr && found->send(body);
}

bool CurlHttpService::receive_response(HttpHandle request) {
  Request* found = find_request(request);
  return found != nullptr && found->receive();
}

bool CurlHttpService::query_data_available(HttpHandle request, std::size_t& available) {
  Request* found = find_request(request);
  return found != nullptr && found->query_available(available);
}

bool CurlHttpService::read_data(HttpHandle request, std::span<std::uint8_t> buffer,
                                std::size_t& read) {
  Request* found = find_request(request);
  return found != nullptr && found->read(buffer, read);
}

bool CurlHttpService::query_raw_headers(HttpHandle request, Text& block) {
  const Request* found = find_request(request);
  return found != nullptr && found->raw_headers(block);
}

bool CurlHttpService::close_handle(HttpHandle handle) {
  return requests_.erase(handle) + connections_.erase(handle) + sessions_.erase(handle) > 0;
}

}  // namespace net
