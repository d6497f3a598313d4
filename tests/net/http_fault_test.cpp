// http_request when a step of its transfer fails: the message, the out-parameters left alone (or
// filled from what was read) and no step run after the one that failed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "net/curl_http_transfer.h"
#include "net/encoding.h"
#include "net/http_request.h"
#include "tests/support/http_peer.h"

namespace {

using net::Bytes;
using net::HttpStep;
using net::Text;
using test_support::HttpPeer;
using test_support::PeerReply;
using ::testing::ElementsAreArray;

// Passes every call on to the libcurl transfer, except the chosen occurrence of one step, which
// fails; records the steps asked for, in order.
class FaultyHttpTransfer final : public net::HttpTransfer {
 public:
  FaultyHttpTransfer(HttpStep failing_step, int occurrence)
      : failing_step_(failing_step), occurrence_(occurrence) {}

  std::vector<HttpStep> steps;

  net::Status set_up(HttpStep step, const net::HttpExchange& exchange) override {
    if (fails(step)) return net::Failure{"chosen to fail"};
    return real_.set_up(step, exchange);
  }
  net::Status start() override {
    if (fails(HttpStep::send)) return net::Failure{"chosen to fail"};
    return real_.start();
  }
  net::Status wait_for_head() override {
    if (fails(HttpStep::response)) return net::Failure{"chosen to fail"};
    return real_.wait_for_head();
  }
  net::Result<Text> read_some() override {
    if (fails(HttpStep::read)) return net::Failure{"chosen to fail"};
    return real_.read_some();
  }
  net::Result<Text> raw_head() override {
    if (fails(HttpStep::head)) return net::Failure{"chosen to fail"};
    return real_.raw_head();
  }

 private:
  bool fails(HttpStep step) {
    steps.push_back(step);
    return step == failing_step_ && ++seen_ == occurrence_;
  }

  net::CurlHttpTransfer real_;
  HttpStep failing_step_;
  int occurrence_;
  int seen_ = 0;
};

struct FaultCase {
  const char* name;
  HttpStep step;
  int occurrence;
  const char* message;  // UTF-8; nullptr: no message at all
  Text send_cookies = "";
  Text body_kept = "";  // for a failed read: what was read before it
};

void PrintTo(const FaultCase& test_case, std::ostream* out) { *out << test_case.name; }

class HttpFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(HttpFault, FailsWithItsMessageAndRunsNoLaterStep) {
  const FaultCase& c = GetParam();
  HttpPeer peer(PeerReply::with("200 OK", {"Set-Cookie: n=1", "Location: /x"}, "body"));
  FaultyHttpTransfer transfer(c.step, c.occurrence);

  Text send_cookies = c.send_cookies;
  Text received = "r", headers = "h", location = "l", status = "s";
  Bytes bytes = {'b'};
  const Text result = net::http_request(transfer, peer.url(),
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

  const bool reads_body = c.step == HttpStep::read;
  ASSERT_THAT(transfer.steps, ::testing::Contains(c.step));
  EXPECT_EQ(status, c.message != nullptr ? net::utf8_to_gbk(c.message) : Text("s"));
  EXPECT_EQ(send_cookies, c.send_cookies);
  if (reads_body) {
    // Reading stops; the rest of the steps run on what was read.
    EXPECT_EQ(transfer.steps.back(), HttpStep::head);
    EXPECT_EQ(result, c.body_kept);
    EXPECT_EQ(received, "rn=1");
    EXPECT_EQ(location, "/x");
    EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(bytes, Bytes(c.body_kept.begin(), c.body_kept.end()));
  } else {
    EXPECT_EQ(transfer.steps.back(), c.step) << "a step ran after the failure";
    EXPECT_EQ(result, "");
    EXPECT_EQ(received, "r");
    EXPECT_EQ(headers, "h");
    EXPECT_EQ(location, "l");
    EXPECT_EQ(bytes, Bytes{'b'});
  }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, HttpFault,
    ::testing::Values(
        FaultCase{"Platform", HttpStep::platform, 1, "700 当前系统不支持WinHttp服务!"},
        FaultCase{"Address", HttpStep::address, 1, "701 解析URL地址失败!"},
        FaultCase{"Session", HttpStep::session, 1, "702 创建WinHttp会话失败!"},
        FaultCase{"Timeouts", HttpStep::timeouts, 1, "705 设置超时时间失败!"},
        FaultCase{"Connection", HttpStep::connection, 1, "703 创建WinHttp连接失败!"},
        FaultCase{"Request", HttpStep::request, 1, "704 创建WinHttp请求失败!"},
        FaultCase{"ServerCredentials", HttpStep::server_credentials, 1, "707 设置代理凭证失败!"},
        FaultCase{"ProxyCredentials", HttpStep::proxy_credentials, 1, "707 设置代理凭证失败!"},
        FaultCase{"CertificateFlags", HttpStep::certificates, 1, "忽略错误/证书错误  失败！"},
        FaultCase{"CookiesOff", HttpStep::cookies, 1, "708 禁止自动设置Cookies失败!"},
        FaultCase{"CookiesOn", HttpStep::cookies, 1, "708 禁止自动设置Cookies失败!", "a=1"},
        FaultCase{"Redirects", HttpStep::redirects, 1, "709 重定向设置失败!"},
        FaultCase{"Headers", HttpStep::headers, 1, "710 设置协议头失败!"},
        FaultCase{"Send", HttpStep::send, 1, "711 发送请求失败!"},
        FaultCase{"Response", HttpStep::response, 1, "712 服务器未响应!"},
        FaultCase{"DataAvailable", HttpStep::read, 1, "713 读取数据失败!"},
        FaultCase{"Read", HttpStep::read, 2, "713 读取数据失败!", "", "body"},
        FaultCase{"HeaderQuery", HttpStep::head, 1, nullptr}),
    [](const auto& test_case) { return std::string(test_case.param.name); });

TEST(HttpFaultSteps, ASuccessfulRequestRunsTheStepsInOrder) {
  HttpPeer peer(PeerReply::with("200 OK", {}, "body"));
  FaultyHttpTransfer transfer(HttpStep::platform, 0);
  Text status;
  EXPECT_EQ(net::http_request(transfer, peer.url(), {.status_text = &status}), "body");
  EXPECT_EQ(status, "200 OK");
  EXPECT_THAT(transfer.steps,
              ElementsAreArray({HttpStep::platform, HttpStep::address, HttpStep::session,
                                HttpStep::timeouts, HttpStep::connection, HttpStep::request,
                                HttpStep::certificates, HttpStep::cookies, HttpStep::redirects,
                                HttpStep::headers, HttpStep::send, HttpStep::response,
                                HttpStep::read, HttpStep::read, HttpStep::head}));
}

TEST(HttpFaultSteps, CredentialsAreSetUpOnlyWhenBothPartsAreGiven) {
  HttpPeer peer(PeerReply::with("200 OK", {}, "body"));
  FaultyHttpTransfer transfer(HttpStep::platform, 0);
  net::http_request(transfer, peer.url(),
                    {.user_name = "u", .proxy_user_name = "pu", .proxy_password = "pp"});
  EXPECT_THAT(transfer.steps, ::testing::Not(::testing::Contains(HttpStep::server_credentials)));
  EXPECT_THAT(transfer.steps, ::testing::Contains(HttpStep::proxy_credentials));
}

}  // namespace
