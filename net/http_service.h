// The handle-based HTTP service that http_request drives, and its implementation over libcurl.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>

#include "net/text.h"

namespace net {

// Session, connection and request handles. Zero is no handle.
enum class HttpHandle : std::uintptr_t {};
inline constexpr HttpHandle kNoHttpHandle{};

// Numbers at the service's interface; they keep the meaning of the platform HTTP services'.
namespace http {
inline constexpr std::uint32_t kAccessNoProxy = 1;
inline constexpr std::uint32_t kAccessNamedProxy = 3;

inline constexpr std::uint32_t kFlagSecure = 0x00800000;

inline constexpr std::uint32_t kAuthTargetServer = 0;
inline constexpr std::uint32_t kAuthTargetProxy = 1;
inline constexpr std::uint32_t kAuthSchemeBasic = 1;

inline constexpr std::uint32_t kOptionSecurityFlags = 31;
inline constexpr std::uint32_t kOptionDisableFeature = 63;
inline constexpr std::uint32_t kOptionEnableFeature = 79;

// Values of kOptionSecurityFlags: certificate faults to overlook.
inline constexpr std::uint32_t kIgnoreUnknownCa = 0x100;
inline constexpr std::uint32_t kIgnoreCertWrongUsage = 0x200;
inline constexpr std::uint32_t kIgnoreCertCnInvalid = 0x1000;
inline constexpr std::uint32_t kIgnoreCertDateInvalid = 0x2000;
// Values of kOptionDisableFeature.
inline constexpr std::uint32_t kDisableCookies = 1;
inline constexpr std::uint32_t kDisableRedirects = 2;
// Values of kOptionEnableFeature.
inline constexpr std::uint32_t kEnableSslRevocation = 1;

inline constexpr std::uint32_t kAddHeadersFlagAdd = 0x20000000;
}  // namespace http

// The parts of an address that the request needs.
struct HttpUrlParts {
  Text host;               // an IPv6 address keeps its brackets
  std::uint16_t port = 0;  // 80 or 443 when the address names none
  bool secure = false;     // https
  Text object_name;        // path and query, "/" when the address has no path
};

// What http_request needs of an HTTP stack, call for call. Every call answers false (or no
// handle) when it fails. Texts are GBK. A handle is closed exactly once with close_handle;
// closing a session or connection does not invalidate handles opened from it.
class HttpService {
 public:
  virtual ~HttpService() = default;

  virtual bool check_platform() = 0;
  // Splits a http or https address; false for anything else.
  virtual bool crack_url(const Text& url, HttpUrlParts& parts) = 0;
  virtual HttpHandle open_session(std::uint32_t access_type, const Text& proxy_name) = 0;
  // Time-outs in milliseconds per phase; zero or less means none.
  virtual bool set_timeouts(HttpHandle session, std::int32_t resolve_ms, std::int32_t connect_ms,
                            std::int32_t send_ms, std::int32_t receive_ms) = 0;
  virtual HttpHandle connect(HttpHandle session, const Text& host, std::uint16_t port) = 0;
  virtual HttpHandle open_request(HttpHandle connection, const Text& verb, const Text& object_name,
                                  std::uint32_t flags) = 0;
  virtual bool set_credentials(HttpHandle request, std::uint32_t target, std::uint32_t scheme,
                               const Text& user_name, const Text& password) = 0;
  virtual bool set_option(HttpHandle request, std::uint32_t option, std::uint32_t value) = 0;
  // Header lines separated by CR LF; empty lines are skipped, so an empty block is accepted.
  virtual bool add_request_headers(HttpHandle request, const Text& block,
                                   std::uint32_t modifiers) = 0;
  // Sends the request line, the headers and the body. Returns once the request is out.
  virtual bool send_request(HttpHandle request, std::span<const std::uint8_t> body) = 0;
  // Waits for the head of the final response (redirects followed unless disabled).
  virtual bool receive_response(HttpHandle request) = 0;
  // Bytes of the body that can be read now, waiting for some when none are; 0 at the end.
  virtual bool query_data_available(HttpHandle request, std::size_t& available) = 0;
  virtual bool read_data(HttpHandle request, std::span<std::uint8_t> buffer, std::size_t& read) = 0;
  // The final response's header block: status line first, CR LF lines, an empty line last.
  virtual bool query_raw_headers(HttpHandle request, Text& block) = 0;
  virtual bool close_handle(HttpHandle handle) = 0;
};

// The service over libcurl. Each instance keeps its own handles; nothing is shared between
// instances (no connection, cookie or name cache survives the instance).
class CurlHttpService final : public HttpService {
 public:
  CurlHttpService();
  ~CurlHttpService() override;
  CurlHttpService(const CurlHttpService&) = delete;
  CurlHttpService& operator=(const CurlHttpService&) = delete;

  bool check_platform() override;
  bool crack_url(const Text& url, HttpUrlParts& parts) override;
  HttpHandle open_session(std::uint32_t access_type, const Text& proxy_name) override;
  bool set_timeouts(HttpHandle session, std::int32_t resolve_ms, std::int32_t connect_ms,
                    std::int32_t send_ms, std::int32_t receive_ms) override;
  HttpHandle connect(HttpHandle session, const Text& host, std::uint16_t port) override;
  HttpHandle open_request(HttpHandle connection, const Text& verb, const Text& object_name,
                          std::uint32_t flags) override;
  bool set_credentials(HttpHandle request, std::uint32_t target, std::uint32_t scheme,
                       const Text& user_name, const Text& password) override;
  bool set_option(HttpHandle request, std::uint32_t option, std::uint32_t value) override;
  bool add_request_headers(HttpHandle request, const Text& block, std::uint32_t modifiers) override;
  bool send_request(HttpHandle request, std::span<const std::uint8_t> body) override;
  bool receive_response(HttpHandle request) override;
  bool query_data_available(HttpHandle request, std::size_t& available) override;
  bool read_data(HttpHandle request, std::span<std::uint8_t> buffer, std::size_t& read) override;
  bool query_raw_headers(HttpHandle request, Text& block) override;
  bool close_handle(HttpHandle handle) override;

 private:
  struct Timeouts;
  struct Session;
  struct Connection;
  class Request;

  HttpHandle next_handle();
  Request* find_request(HttpHandle handle);

  std::uintptr_t last_handle_ = 0;
  std::unordered_map<HttpHandle, std::unique_ptr<Session>> sessions_;
  std::unordered_map<HttpHandle, std::unique_ptr<Connection>> connections_;
  std::unordered_map<HttpHandle, std::unique_ptr<Request>> requests_;
};

}  // namespace net
