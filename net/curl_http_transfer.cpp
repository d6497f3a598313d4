#include "net/curl_http_transfer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>

#include "net/encoding.h"
#include "net/gbk.h"

namespace net {
namespace {

// Redirects are followed this many times at most.
constexpr long kMaxRedirects = 10;
// libcurl's receive buffer; larger than its default so that big bodies take fewer steps.
constexpr long kReceiveBufferSize = 256 * 1024;
// Body bytes held at most (give or take one receive buffer) before the transfer pauses until
// they are read.
constexpr std::size_t kPendingLimit = std::size_t{1} << 20;
// Room set aside at most for a body whose length the response announces. Untouched room costs
// address space only, so a false announcement costs little.
constexpr std::uint64_t kLargestReservation = std::uint64_t{1} << 30;

// Bytes that cannot stand in an address as they are.
bool is_unsafe_in_url(unsigned char byte) { return byte <= 0x20 || byte >= 0x7F; }

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

// The name of a header line (the part before its colon), or empty when the line is no header
// line that can be sent as it stands.
std::string_view header_name_of(std::string_view line) {
  const auto colon = line.find(':');
  if (colon == 0 || colon == std::string_view::npos) return {};
  const std::string_view name = line.substr(0, colon);
  const bool clean = std::none_of(name.begin(), name.end(), [](char c) {
    return c == ' ' || c == '\t' || c == '\0' || c == '\r' || c == '\n';
  });
  if (!clean || line.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
    return {};
  return name;
}

// Sets options on an easy handle and remembers the first refusal.
class Options {
 public:
  explicit Options(CURL* easy) : easy_(easy) {}
  template <typename Value>
  Options& set(CURLoption option, Value value) {
    if (ok_ && curl_easy_setopt(easy_, option, value) != CURLE_OK) ok_ = false;
    return *this;
  }
  Status status(const char* what) const {
    if (ok_) return {};
    return Failure{std::string("libcurl refused the ") + what};
  }

 private:
  CURL* easy_;
  bool ok_ = true;
};

}  // namespace

CurlHttpTransfer::CurlHttpTransfer() = default;
CurlHttpTransfer::~CurlHttpTransfer() = default;

std::size_t CurlHttpTransfer::on_header(char* data, std::size_t size, std::size_t count,
                                        void* self) {
  try {
    static_cast<CurlHttpTransfer*>(self)->head_.add_line(std::string_view(data, size * count));
    return size * count;
  } catch (...) {
    return 0;  // ends the transfer with a write error
  }
}

std::size_t CurlHttpTransfer::on_body(char* data, std::size_t size, std::size_t count, void* self) {
  auto& transfer = *static_cast<CurlHttpTransfer*>(self);
  if (transfer.discarding_) return size * count;
  // libcurl reads on while the socket has data; holding it here keeps each step short, so the
  // event hook runs in time however fast a large body arrives.
  if (transfer.pending_.size() >= kPendingLimit) {
    transfer.paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  try {
    transfer.pending_.append(data, size * count);
    return size * count;
  } catch (...) {
    return 0;
  }
}

Status CurlHttpTransfer::set_up(HttpStep step, const HttpExchange& exchange) {
  if (stage_ != Stage::preparing) return Failure{"the transfer has already begun"};
  if (exchange_ != nullptr && exchange_ != &exchange) return Failure{"another exchange"};
  exchange_ = &exchange;
  const WebAddress& address = exchange.address;
  CURL* easy = easy_.get();
  if (easy == nullptr && step != HttpStep::platform && step != HttpStep::address &&
      step != HttpStep::session) {
    return Failure{"no session"};
  }
  switch (step) {
    case HttpStep::platform: {
      ensure_curl_global_init();
      const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
      if (info == nullptr || info->protocols == nullptr) return Failure{"no libcurl"};
      for (const char* const* protocol = info->protocols; *protocol != nullptr; ++protocol) {
        if (std::string_view(*protocol) == "http") return {};
      }
      return Failure{"libcurl speaks no http"};
    }
    case HttpStep::address:
      if (address.host.empty() || address.port == 0) return Failure{"no host or port"};
      url_ = std::string(address.secure ? "https://" : "http://") + address.host + ":" +
             std::to_string(address.port) + escape_object_name(address.object_name);
      return {};
    case HttpStep::session: {
      easy_ = make_curl_easy();
      if (!easy_) return Failure{"no easy handle"};
      if (!exchange.proxy.empty()) {
        proxy_ =
            exchange.proxy.find("://") == Text::npos ? "http://" + exchange.proxy : exchange.proxy;
      }
      return Options(easy_.get())
          .set(CURLOPT_NOSIGNAL, 1L)
          .set(CURLOPT_QUICK_EXIT, 1L)  // a lookup that hangs must not hold up the clean-up
          .set(CURLOPT_BUFFERSIZE, kReceiveBufferSize)
          // An empty proxy also keeps libcurl from taking one from the environment.
          .set(CURLOPT_PROXY, proxy_.c_str())
          .set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L)
          .status("session options");
    }
    case HttpStep::timeouts:
      if (exchange.phase_timeout < std::chrono::milliseconds::zero())
        return Failure{"a negative time-out"};
      return {};
    case HttpStep::connection:
      return Options(easy)
          .set(CURLOPT_URL, url_.c_str())
          .set(CURLOPT_PROTOCOLS_STR, "http,https")
          .set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1))
          .set(CURLOPT_PATH_AS_IS, 1L)
          .status("address");
    case HttpStep::request:
      return set_up_method();
    case HttpStep::server_credentials:
      if (!exchange.server_login) return Failure{"no server login"};
      return Options(easy)
          .set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC))
          .set(CURLOPT_USERNAME, exchange.server_login->user_name.c_str())
          .set(CURLOPT_PASSWORD, exchange.server_login->password.c_str())
          .status("server login");
    case HttpStep::proxy_credentials:
      if (!exchange.proxy_login) return Failure{"no proxy login"};
      return Options(easy)
          .set(CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC))
          .set(CURLOPT_PROXYUSERNAME, exchange.proxy_login->user_name.c_str())
          .set(CURLOPT_PROXYPASSWORD, exchange.proxy_login->password.c_str())
          .status("proxy login");
    case HttpStep::certificates: {
      Options options(easy);
      options.set(CURLOPT_SSL_VERIFYPEER, exchange.verify_peer ? 1L : 0L)
          .set(CURLOPT_SSL_VERIFYHOST, exchange.verify_host ? 2L : 0L);
      // With OpenSSL, revocation is known only from the answer the server staples; there is
      // nothing to check on a certificate that is not verified.
      if (exchange.check_revocation && exchange.verify_peer)
        options.set(CURLOPT_SSL_VERIFYSTATUS, 1L);
      return options.status("certificate checks");
    }
    case HttpStep::cookies:
      // An empty file name starts a store of this transfer's own and reads nothing.
      if (!exchange.keep_cookies) return {};
      return Options(easy).set(CURLOPT_COOKIEFILE, "").status("cookie store");
    case HttpStep::redirects:
      // libcurl would drop the body of a redirect it cannot follow (to another scheme), so the
      // transfer follows redirects itself (see follow()).
      return Options(easy).set(CURLOPT_FOLLOWLOCATION, 0L).status("redirect choice");
    case HttpStep::headers:
      return set_up_headers();
    case HttpStep::send:
    case HttpStep::response:
    case HttpStep::read:
    case HttpStep::head:
      break;
  }
  return Failure{"not a preparing step"};
}

Status CurlHttpTransfer::set_up_method() {
  verb_ = exchange_->verb;
  const Text& verb = verb_;
  const Bytes& body = exchange_->body;
  const bool token = !verb.empty() && std::none_of(verb.begin(), verb.end(), [](char c) {
    return is_unsafe_in_url(static_cast<unsigned char>(c));
  });
  if (!token) return Failure{"the verb is no token"};
  Options options(easy_.get());
  // A HEAD request carries no body, and its answer none.
  if (verb == "HEAD") return options.set(CURLOPT_NOBODY, 1L).status("verb");
  if (verb == "GET" && body.empty()) return options.set(CURLOPT_HTTPGET, 1L).status("verb");
  if (verb != "POST") options.set(CURLOPT_CUSTOMREQUEST, verb.c_str());
  const bool with_body = !body.empty() || verb == "POST" || verb == "PUT";
  if (!with_body) return options.set(CURLOPT_HTTPGET, 1L).status("verb");
  static const char kNoBytes[] = "";
  const void* data = body.empty() ? static_cast<const void*>(kNoBytes) : body.data();
  return options.set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()))
      .set(CURLOPT_POSTFIELDS, data)
      .status("body");
}

Status CurlHttpTransfer::set_up_headers() {
  for (const Text& line : exchange_->header_lines) {
    if (header_name_of(line).empty()) return Failure{"a header line without a name"};
  }
  return set_header_list(true);
}

// The caller's lines in their order (without Authorization and Cookie lines when the
// credentials are dropped); libcurl's own Accept, Expect, Content-Type and Proxy-Connection
// lines are switched off unless the caller gives such a line.
Status CurlHttpTransfer::set_header_list(bool with_credentials) {
  CurlSlist lines;
  std::vector<std::string_view> names;
  for (const Text& line : exchange_->header_lines) {
    const std::string_view name = header_name_of(line);
    if (!with_credentials && (gbk::equal_ignoring_ascii_case(name, "Authorization") ||
                              gbk::equal_ignoring_ascii_case(name, "Cookie"))) {
      continue;
    }
    names.push_back(name);
    const bool blank = line.find_first_not_of(" \t", name.size() + 1) == Text::npos;
    // libcurl reads "Name:" with nothing after it as "send no such line"; "Name;" sends it empty.
    const std::string curl_line = blank ? std::string(name) + ";" : line;
    if (!append_curl_line(lines, curl_line.c_str())) return Failure{"out of memory"};
  }
  for (const std::string_view own : {"Accept", "Expect", "Content-Type"}) {
    const bool given = std::any_of(names.begin(), names.end(), [&](std::string_view name) {
      return gbk::equal_ignoring_ascii_case(name, own);
    });
    if (!given && !append_curl_line(lines, (std::string(own) + ":").c_str()))
      return Failure{"out of memory"};
  }
  if (!proxy_headers_ && !append_curl_line(proxy_headers_, "Proxy-Connection:"))
    return Failure{"out of memory"};
  const Status set = Options(easy_.get())
                         .set(CURLOPT_HTTPHEADER, lines.get())
                         .set(CURLOPT_PROXYHEADER, proxy_headers_.get())
                         .status("header lines");
  if (set) headers_ = std::move(lines);
  return set;
}

CurlMultiLoop::Clock::time_point CurlHttpTransfer::phase_deadline() const {
  return CurlMultiLoop::deadline_after(exchange_->phase_timeout, exchange_->deadline);
}

Status CurlHttpTransfer::start() {
  if (stage_ != Stage::preparing || !easy_) return Failure{"not prepared"};
  stage_ = Stage::failed;
  const Status callbacks = Options(easy_.get())
                               .set(CURLOPT_HEADERFUNCTION, &CurlHttpTransfer::on_header)
                               .set(CURLOPT_HEADERDATA, static_cast<void*>(this))
                               .set(CURLOPT_WRITEFUNCTION, &CurlHttpTransfer::on_body)
                               .set(CURLOPT_WRITEDATA, static_cast<void*>(this))
                               .status("callbacks");
  if (!callbacks) return callbacks;
  if (const Status attached = loop_.start(easy_.get()); !attached) return attached;
  const auto timeout = exchange_->phase_timeout;
  if (loop_.run_until_connected(timeout, timeout, exchange_->deadline) !=
          CurlMultiLoop::Outcome::ready &&
      !request_out()) {
    return Failure{"no connection"};
  }
  if (loop_.run_until([this] { return request_out(); }, phase_deadline()) !=
      CurlMultiLoop::Outcome::ready) {
    return Failure{"the request did not go out"};
  }
  stage_ = Stage::sent;
  return {};
}

Status CurlHttpTransfer::wait_for_head() {
  if (stage_ != Stage::sent) return Failure{"nothing sent"};
  stage_ = Stage::failed;
  // Interim heads belong to the same wait; a redirect that is followed is a new request and
  // begins the wait anew (at most kMaxRedirects times, and never past the overall deadline).
  for (long redirects = 0;; ++redirects) {
    const auto outcome = loop_.run_until([this] { return response_ready(); }, phase_deadline());
    if (outcome == CurlMultiLoop::Outcome::timed_out) return Failure{"no response in time"};
    if (outcome == CurlMultiLoop::Outcome::finished && loop_.result() != CURLE_OK)
      return Failure{"the transfer failed"};
    if (!response_ready()) return Failure{"no response head"};
    const std::string target = redirect_target();
    if (target.empty()) break;
    if (redirects == kMaxRedirects) return Failure{"too many redirects"};
    if (const Status followed = follow(target); !followed) return followed;
  }
  stage_ = Stage::received;
  return {};
}

// Where the final head sends the request next: empty when redirects are not followed, the head
// is no redirect, or its target is no http or https address (its own body is then the answer).
std::string CurlHttpTransfer::redirect_target() const {
  if (!exchange_->follow_redirects || !head_.last_head_redirects()) return {};
  char* target = nullptr;
  if (curl_easy_getinfo(easy_.get(), CURLINFO_REDIRECT_URL, &target) != CURLE_OK ||
      target == nullptr) {
    return {};
  }
  const std::string_view address(target);
  const auto scheme_end = address.find("://");
  if (scheme_end == std::string_view::npos) return {};
  const std::string_view scheme = address.substr(0, scheme_end);
  if (!gbk::equal_ignoring_ascii_case(scheme, "http") &&
      !gbk::equal_ignoring_ascii_case(scheme, "https")) {
    return {};
  }
  return std::string(address);
}

// The target has the scheme, host and port of the exchange's own address.
bool CurlHttpTransfer::same_origin(const std::string& target) const {
  const CurlUrl url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, target.c_str(), 0) != CURLUE_OK) return false;
  const auto part = [&](CURLUPart which, unsigned int flags) {
    char* value = nullptr;
    std::string text;
    if (curl_url_get(url.get(), which, &value, flags) == CURLUE_OK && value != nullptr)
      text = value;
    curl_free(value);
    return text;
  };
  const WebAddress& address = exchange_->address;
  return gbk::equal_ignoring_ascii_case(part(CURLUPART_SCHEME, 0),
                                        address.secure ? "https" : "http") &&
         gbk::equal_ignoring_ascii_case(part(CURLUPART_HOST, 0), address.host) &&
         part(CURLUPART_PORT, CURLU_DEFAULT_PORT) == std::to_string(address.port);
}

// Leaves the redirecting response (its body is dropped) and sends the request to the target,
// as a GET after 303 (HEAD stays) and after 301 or 302 to a POST. Credentials and the caller's
// Authorization and Cookie lines go only to the exchange's own origin.
Status CurlHttpTransfer::follow(const std::string& target) {
  long code = 0;
  curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &code);
  discarding_ = true;
  if (paused_) {
    paused_ = false;
    curl_easy_pause(easy_.get(), CURLPAUSE_CONT);
  }
  loop_.stop();
  pending_.clear();
  discarding_ = false;
  heads_left_ = head_.completed_heads();

  Options options(easy_.get());
  options.set(CURLOPT_URL, target.c_str());
  const bool to_get =
      code == 303 ? verb_ != "HEAD" : (code == 301 || code == 302) && verb_ == "POST";
  if (to_get) {
    verb_ = "GET";
    options.set(CURLOPT_CUSTOMREQUEST, static_cast<const char*>(nullptr)).set(CURLOPT_HTTPGET, 1L);
  }
  if (credentials_ && !same_origin(target)) {
    credentials_ = false;
    options.set(CURLOPT_USERNAME, static_cast<const char*>(nullptr))
        .set(CURLOPT_PASSWORD, static_cast<const char*>(nullptr));
    if (const Status lines = set_header_list(false); !lines) return lines;
  }
  if (const Status set = options.status("redirect target"); !set) return set;
  return loop_.start(easy_.get());
}

Result<Text> CurlHttpTransfer::read_some() {
  if (stage_ != Stage::received) return Failure{"no response"};
  const auto outcome = loop_.run_until([this] { return !pending_.empty(); }, phase_deadline());
  const bool well = outcome == CurlMultiLoop::Outcome::ready ||
                    (outcome == CurlMultiLoop::Outcome::finished && loop_.result() == CURLE_OK);
  if (!well)
    return Failure{outcome == CurlMultiLoop::Outcome::timed_out ? "no data in time"
                                                                : "the body broke off"};
  Text piece;
  if (!first_piece_given_ && !pending_.empty()) {
    first_piece_given_ = true;
    piece = first_piece();
  }
  if (piece.capacity() > 0) {
    piece.append(pending_);
    pending_.clear();
  } else {
    piece.swap(pending_);
  }
  if (paused_) {
    paused_ = false;
    // Hands over what was held back (into pending_) and lets the transfer go on.
    if (curl_easy_pause(easy_.get(), CURLPAUSE_CONT) != CURLE_OK)
      return Failure{"the transfer could not go on"};
  }
  return piece;
}

// An empty text with room for the whole body when the response announces its length (within
// reason), so that a body that arrives as announced is gathered without being copied again.
Text CurlHttpTransfer::first_piece() const {
  curl_off_t announced = -1;
  Text piece;
  if (curl_easy_getinfo(easy_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) != CURLE_OK ||
      announced <= 0 || static_cast<std::uint64_t>(announced) > kLargestReservation) {
    return piece;
  }
  try {
    piece.reserve(static_cast<std::size_t>(announced));
  } catch (const std::exception&) {
    // No room set aside; the body is gathered piece by piece all the same.
  }
  return piece;
}

Result<Text> CurlHttpTransfer::raw_head() {
  if (stage_ != Stage::received) return Failure{"no response"};
  return head_.block();
}

// The request line, the headers and the whole body have gone out (or an answer has begun).
bool CurlHttpTransfer::request_out() const {
  if (head_.started()) return true;
  long request_size = 0;
  curl_off_t uploaded = 0;
  curl_easy_getinfo(easy_.get(), CURLINFO_REQUEST_SIZE, &request_size);
  curl_easy_getinfo(easy_.get(), CURLINFO_SIZE_UPLOAD_T, &uploaded);
  return request_size > 0 && static_cast<std::size_t>(uploaded) >= exchange_->body.size();
}

// A head other than an interim one is complete, since the last redirect was followed.
bool CurlHttpTransfer::response_ready() const {
  return head_.completed_heads() > heads_left_ && head_.final_head_complete();
}

}  // namespace net
