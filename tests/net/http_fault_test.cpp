// http_request when a call of its HTTP service fails: the message, the untouched out-parameters and
// the closing of every handle, request first.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "net/encoding.h"
#include "net/http_request.h"
#include "tests/support/http_peer.h"

namespace {

using net::Bytes;
using net::HttpHandle;
using net::Text;
using test_support::HttpPeer;
using test_support::PeerReply;
using ::testing::ElementsAreArray;

// Passes every call on to the libcurl service, except one chosen call that fails; records the
// calls made and the kind of each handle closed, in order.
class FaultyHttpService final : public net::HttpService {
 public:
  FaultyHttpService(std::string failing_call, int occurrence)
      : failing_call_(std::move(failing_call)), occurrence_(occurrence) {}

  std::vector<std::string> calls;
  std::vector<std::string> closed;

  bool check_platform() override { return !fails("check_platform") && real_.check_platform(); }
  bool crack_url(const Text& url, net::HttpUrlParts& parts) override {
    return !fails("crack_url") && real_.crack_url(url, parts);
  }
  HttpHandle open_session(std::uint32_t access_type, const Text& proxy_name) override {
    return opened("session", fails("open_session") ? net::kNoHttpHandle
                                                   : real_.open_session(access_type, proxy_name));
  }
  bool set_timeouts(HttpHandle session, std::int32_t resolve, std::int32_t connect,
                    std::int32_t send, std::int32_t receive) override {
    return !fails("set_timeouts") && real_.set_timeouts(session, resolve, connect, send, receive);
  }
  HttpHandle connect(HttpHandle session, const Text& host, std::uint16_t port) override {
    return opened("connection",
                  fails("connect") ? net::kNoHttpHandle : real_.connect(session, host, port));
  }
  HttpHandle open_request(HttpHandle connection, const Text& verb, const Text& object_name,
                          std::uint32_t flags) override {
    return opened("request", fails("open_request")
                                 ? net::kNoHttpHandle
                                 : real_.open_request(connection, verb, object_name, flags));
  }
  bool set_credentials(HttpHandle request, std::uint32_t target, std::uint32_t scheme,
                       const Text& user_name, const Text& password) override {
    return !fails("set_credentials") &&
           real_.set_credentials(request, target, scheme, user_name, password);
  }
  bool set_option(HttpHandle request, std::uint32_t option, std::uint32_t value) override {
    return !fails("set_option") && real_.set_option(request, option, value);
  }
  bool add_request_headers(HttpHandle request, const Text& block,
                           std::uint32_t modifiers) override {
    return !fails("add_request_headers") && real_.add_request_headers(request, block, modifiers);
  }
  bool send_request(HttpHandle request, std::span<const std::uint8_t> body) override {
    return !fails("send_request") && real_.send_request(request, body);
  }
  bool receive_response(HttpHandle request) override {
    return !fails("receive_response") && real_.receive_response(request);
  }
  bool query_data_available(HttpHandle request, std::size_t& available) override {
    return !fails("query_data_available") && real_.query_data_available(request, available);
  }
  bool read_data(HttpHandle request, std::span<std::uint8_t> buffer, std::size_t& read) override {
    return !fails("read_data") && real_.read_data(request, buffer, read);
  }
  bool query_raw_headers(HttpHandle request, Text& block) override {
    return !fails("query_raw_headers") && real_.query_raw_headers(request, block);
  }
  bool close_handle(HttpHandle handle) override {
    calls.push_back("close_handle");
    closed.push_back(kinds_.at(handle));
    return real_.close_handle(handle);
  }

 private:
  bool fails(const std::string& call) {
    calls.push_back(call);
    return call == failing_call_ && ++seen_ == occurrence_;
  }
  HttpHandle opened(const std::string& kind, HttpHandle handle) {
    if (handle != net::kNoHttpHandle) kinds_[handle] = kind;
    return handle;
  }

  net::CurlHttpService real_;
  std::string failing_call_;
  int occurrence_;
  int seen_ = 0;
  std::map<HttpHandle, std::string> kinds_;
};

struct FaultCase {
  const char* name;
  std::string call;
  int occurrence;
  const char* message;  // UTF-8; nullptr: no message at all
  std::vector<std::string> closed;
  Text send_cookies = "";
};

void PrintTo(const FaultCase& test_case, std::ostream* out) { *out << test_case.name; }

const std::vector<std::string> kAllThree = {"request", "connection", "session"};

class HttpFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(HttpFault, FailsWithItsMessageAndClosesWhatWasOpened) {
  const FaultCase& c = GetParam();
  HttpPeer peer(PeerReply::with("200 OK", {"Set-Cookie: n=1", "Location: /x"}, "body"));
  FaultyHttpService service(c.call, c.occurrence);

  Text send_cookies = c.send_cookies;
  Text received = "r", headers = "h", location = "l", status = "s";
  Bytes bytes = {'b'};
  const Text result = net::http_request(service, peer.url(),
                                        {.send_cookies = &send_cookies,
                                         .received_cookies = &received,
                                         .response_headers = &headers,
                                         .disable_redirects = true,
                                         .user_name = "u",
                                         .password = "p",
                                         .proxy_user_name = "pu",
                                         .proxy_password = "pp",
                                         .timeout_seconds = 2,
                                         .redirect_location = &location,
                                         .status_text = &status,
                                         .response_bytes = &bytes});

  const bool reads_body = c.call == "query_data_available" || c.call == "read_data";
  EXPECT_THAT(service.calls, ::testing::Contains(c.call));
  EXPECT_EQ(status, c.message != nullptr ? net::utf8_to_gbk(c.message) : Text("s"));
  EXPECT_THAT(service.closed, ElementsAreArray(c.closed));
  EXPECT_EQ(send_cookies, c.send_cookies);
  if (reads_body) {
    // Reading stops; the rest of the steps run on what was read.
    EXPECT_EQ(result, "");
    EXPECT_EQ(received, "rn=1");
    EXPECT_EQ(location, "/x");
    EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(bytes, Bytes{});
  } else {
    EXPECT_EQ(result, "");
    EXPECT_EQ(received, "r");
    EXPECT_EQ(headers, "h");
    EXPECT_EQ(location, "l");
    EXPECT_EQ(bytes, Bytes{'b'});
  }
}

INSTANTIATE_TEST_SUITE_P(
    Calls, HttpFault,
    ::testing::Values(
        FaultCase{"Platform", "check_platform", 1, "700 当前系统不支持WinHttp服务!", {}},
        FaultCase{"Address", "crack_url", 1, "701 解析URL地址失败!", {}},
        FaultCase{"Session", "open_session", 1, "702 创建WinHttp会话失败!", {}},
        FaultCase{"Timeouts", "set_timeouts", 1, "705 设置超时时间失败!", {"session"}},
        FaultCase{"Connection", "connect", 1, "703 创建WinHttp连接失败!", {"session"}},
        FaultCase{
            "Request", "open_request", 1, "704 创建WinHttp请求失败!", {"connection", "session"}},
        FaultCase{"ServerCredentials", "set_credentials", 1, "707 设置代理凭证失败!", kAllThree},
        FaultCase{"ProxyCredentials", "set_credentials", 2, "707 设置代理凭证失败!", kAllThree},
        FaultCase{"CertificateFlags", "set_option", 1, "忽略错误/证书错误  失败！", kAllThree},
        FaultCase{"CookiesOff", "set_option", 2, "708 禁止自动设置Cookies失败!", kAllThree},
        FaultCase{"CookiesOn", "set_option", 2, "708 禁止自动设置Cookies失败!", kAllThree, "a=1"},
        FaultCase{"Redirects", "set_option", 3, "709 重定向设置失败!", kAllThree},
        FaultCase{"Headers", "add_request_headers", 1, "710 设置协议头失败!", kAllThree},
        FaultCase{"Send", "send_request", 1, "711 发送请求失败!", kAllThree},
        FaultCase{"Response", "receive_response", 1, "712 服务器未响应!", kAllThree},
        FaultCase{"DataAvailable", "query_data_available", 1, "713 读取数据失败!", kAllThree},
        FaultCase{"Read", "read_data", 1, "713 读取数据失败!", kAllThree},
        FaultCase{"HeaderQuery", "query_raw_headers", 1, nullptr, kAllThree}),
    [](const auto& test_case) { return std::string(test_case.param.name); });

TEST(HttpFaultCalls, ASuccessfulRequestMakesTheCallsInOrder) {
  HttpPeer peer(PeerReply::with("200 OK", {}, "body"));
  FaultyHttpService service("none", 1);
  Text status;
  EXPECT_EQ(net::http_request(service, peer.url(), {.status_text = &status}), "body");
  EXPECT_EQ(status, "200 OK");
  EXPECT_THAT(
      service.calls,
      ElementsAreArray({"check_platform", "crack_url", "open_session", "set_timeouts", "connect",
                        "open_request", "set_option", "set_option", "add_request_headers",
                        "send_request", "receive_response", "query_data_available", "read_data",
                        "query_data_available", "query_raw_headers", "close_handle", "close_handle",
                        "close_handle"}));
  EXPECT_THAT(service.closed, ElementsAreArray(kAllThree));
}

}  // namespace
