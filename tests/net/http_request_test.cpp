// http_request against a real loopback server: the bytes that reach it and what comes back.
#include "net/http_request.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "net/encoding.h"
#include "tests/support/http_peer.h"

namespace {

using net::Bytes;
using net::HttpRequestOptions;
using net::Text;
using test_support::HttpPeer;
using test_support::PeerReply;
using test_support::PeerRequest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr const char* kUserAgentLine =
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)";
constexpr const char* kAcceptLine = "Accept: text/html, application/xhtml+xml, */*";
constexpr const char* kAcceptEncodingLine = "Accept-Encoding: gbk, GB2312";
constexpr const char* kAcceptLanguageLine = "Accept-Language: zh-cn";
constexpr const char* kFormTypeLine = "Content-Type: application/x-www-form-urlencoded";
constexpr const char* kCacheControlLine = "Cache-Control: no-cache";

std::string host_line(const HttpPeer& peer) {
  return "Host: 127.0.0.1:" + std::to_string(peer.port());
}

// Sends one request to a fresh peer and returns what the peer received.
PeerRequest request_seen(const HttpRequestOptions& options, const std::string& path = "/") {
  HttpPeer peer;
  Text status;
  HttpRequestOptions with_status = options;
  with_status.status_text = &status;
  net::http_request(peer.url(path), with_status);
  EXPECT_EQ(status, "200 OK");
  const auto requests = peer.requests();
  return requests.empty() ? PeerRequest{} : requests.front();
}

TEST(HttpRequestWire, DefaultGetSendsTheDefaultLinesInTableOrderAndNothingElse) {
  HttpPeer peer;
  net::http_request(peer.url("/path/page?q=1&r=2"));
  ASSERT_TRUE(peer.wait_for_requests(1, std::chrono::seconds(1)));
  EXPECT_EQ(peer.last_raw(), "GET /path/page?q=1&r=2 HTTP/1.1\r\n" + host_line(peer) + "\r\n" +
                                 kUserAgentLine + "\r\n" + kAcceptLine + "\r\n" +
                                 kAcceptEncodingLine + "\r\n" + kAcceptLanguageLine + "\r\n" +
                                 kCacheControlLine + "\r\n\r\n");
}

TEST(HttpRequestWire, PostAddsTheFormTypeBeforeCacheControlAndAZeroLength) {
  HttpPeer peer;
  net::http_request(peer.url("/claim"), {.method = 1});
  ASSERT_TRUE(peer.wait_for_requests(1, std::chrono::seconds(1)));
  EXPECT_EQ(peer.last_raw(),
            "POST /claim HTTP/1.1\r\n" + host_line(peer) + "\r\n" + kUserAgentLine + "\r\n" +
                kAcceptLine + "\r\n" + kAcceptEncodingLine + "\r\n" + kAcceptLanguageLine + "\r\n" +
                kFormTypeLine + "\r\n" + kCacheControlLine + "\r\nContent-Length: 0\r\n\r\n");
}

TEST(HttpRequestWire, AnAddressWithoutPathAsksForTheRoot) {
  EXPECT_EQ(request_seen({}, "").target(), "/");
  EXPECT_EQ(request_seen({}, "?q=1").target(), "/?q=1");
}

TEST(HttpRequestWire, MethodPicksTheVerbAndUnknownMethodsSendGet) {
  const std::vector<std::pair<int, std::string>> cases = {
      {0, "GET"},   {1, "POST"},    {2, "HEAD"}, {3, "PUT"}, {4, "OPTIONS"}, {5, "DELETE"},
      {6, "TRACE"}, {7, "CONNECT"}, {8, "GET"},  {9, "GET"}, {-1, "GET"}};
  for (const auto& [method, verb] : cases) {
    EXPECT_EQ(request_seen({.method = method}).method(), verb) << "method " << method;
  }
}

struct HeaderCase {
  const char* name;
  HttpRequestOptions options;
  std::vector<std::string> lines;  // header lines after Host, in order
};

void PrintTo(const HeaderCase& test_case, std::ostream* out) { *out << test_case.name; }

class HttpRequestHeaderBlock : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HttpRequestHeaderBlock, SendsExactlyTheseLines) {
  const PeerRequest seen = request_seen(GetParam().options);
  std::vector<std::string> lines = seen.header_lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(lines.front().starts_with("Host: 127.0.0.1:")) << lines.front();
  lines.erase(lines.begin());
  EXPECT_THAT(lines, ElementsAreArray(GetParam().lines));
}

Text cookies_a1 = "a=1";
Text cookie_line_a1 = "Cookie: a=1";

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpRequestHeaderBlock,
    ::testing::Values(HeaderCase{"LowerCaseUserAgentSuppressesTheDefault",
                                 {.request_headers = "user-agent: X"},
                                 {"User-Agent: X", kAcceptLine, kAcceptEncodingLine,
                                  kAcceptLanguageLine, kCacheControlLine}},
                      HeaderCase{"UserAgentWithoutBlankDoesNotSuppressIt",
                                 {.request_headers = "User-Agent:X"},
                                 {"User-Agent:X", kUserAgentLine, kAcceptLine, kAcceptEncodingLine,
                                  kAcceptLanguageLine, kCacheControlLine}},
                      HeaderCase{"PostKeepsTheCallersContentTypeInAnyCase",
                                 {.method = 1, .request_headers = "content-type: text/plain"},
                                 {"Content-Type: text/plain", kUserAgentLine, kAcceptLine,
                                  kAcceptEncodingLine, kAcceptLanguageLine, kCacheControlLine,
                                  "Content-Length: 0"}},
                      HeaderCase{"GetNeverAddsAContentType",
                                 {.method = 0, .add_default_headers = true},
                                 {kUserAgentLine, kAcceptLine, kAcceptEncodingLine,
                                  kAcceptLanguageLine, kCacheControlLine}},
                      HeaderCase{"KeepAliveLineIsRemoved",
                                 {.request_headers = "Connection: keep-alive"},
                                 {kUserAgentLine, kAcceptLine, kAcceptEncodingLine,
                                  kAcceptLanguageLine, kCacheControlLine}},
                      HeaderCase{"OtherConnectionLineStays",
                                 {.request_headers = "Connection: close"},
                                 {"Connection: close", kUserAgentLine, kAcceptLine,
                                  kAcceptEncodingLine, kAcceptLanguageLine, kCacheControlLine}},
                      HeaderCase{"NoDefaultsNoLines", {.add_default_headers = false}, {}},
                      HeaderCase{"NamesNormalisedOnlyWhenAsked",
                                 {.request_headers = "x-a-b: Mixed Value\r\nbogus line",
                                  .add_default_headers = false},
                                 {"X-A-B: Mixed Value"}},
                      HeaderCase{"CookiePairsBecomeACookieLine",
                                 {.send_cookies = &cookies_a1, .add_default_headers = false},
                                 {"Cookie: a=1"}},
                      HeaderCase{"ACookieLineIsSentAsItIs",
                                 {.send_cookies = &cookie_line_a1, .add_default_headers = false},
                                 {"Cookie: a=1"}},
                      HeaderCase{"TheBlocksCookieLineWins",
                                 {.send_cookies = &cookies_a1,
                                  .request_headers = "cookie: b=2",
                                  .add_default_headers = false},
                                 {"Cookie: b=2"}}),
    [](const auto& test_case) { return std::string(test_case.param.name); });

TEST(HttpRequestWire, WithoutNormalisingNamesStayAsGiven) {
  const PeerRequest seen = request_seen({.request_headers = "x-lower: 1\r\nX-Empty:",
                                         .add_default_headers = false,
                                         .normalize_header_names = false});
  EXPECT_THAT(seen.header_lines(),
              ElementsAre(::testing::StartsWith("Host: "), "x-lower: 1", "X-Empty:"));
}

TEST(HttpRequestWire, AHeaderLineThatIsNoHeaderFailsBeforeSending) {
  HttpPeer peer;
  Text status;
  EXPECT_EQ(net::http_request(peer.url(), {.request_headers = "no colon here",
                                           .status_text = &status,
                                           .normalize_header_names = false}),
            "");
  EXPECT_EQ(status, net::utf8_to_gbk("710 设置协议头失败!"));
  EXPECT_EQ(peer.connections(), 0u);
}

TEST(HttpRequestWire, BodyBytesWinOverBodyText) {
  const Bytes bytes = {'b', 0, 'y', 0xFF};
  EXPECT_EQ(request_seen({.method = 1, .body_text = "text", .body_bytes = bytes}).body,
            std::string("b\0y\xFF", 4));
  EXPECT_EQ(request_seen({.method = 3, .body_text = "a=1&b=2"}).body, "a=1&b=2");
  const PeerRequest get = request_seen({.method = 0});
  EXPECT_EQ(get.body, "");
  EXPECT_EQ(get.head.find("Content-Length"), std::string::npos);
}

TEST(HttpRequestWire, ServerCredentialsTravelAsBasicAuthorization) {
  const auto lines = request_seen({.user_name = "u", .password = "p", .add_default_headers = false})
                         .header_lines();
  EXPECT_THAT(lines, ::testing::Contains("Authorization: Basic dTpw"));
  const auto without_password =
      request_seen({.user_name = "u", .add_default_headers = false}).header_lines();
  EXPECT_THAT(without_password,
              ::testing::Not(::testing::Contains(::testing::StartsWith("Authorization"))));
}

TEST(HttpRequestWire, AProxyGetsTheAbsoluteAddressAndItsCredentials) {
  HttpPeer proxy;
  Text status;
  net::http_request("http://service.invalid:8080/v?x=1",
                    {.proxy = "127.0.0.1:" + std::to_string(proxy.port()),
                     .proxy_user_name = "pu",
                     .proxy_password = "pp",
                     .status_text = &status,
                     .add_default_headers = false});
  EXPECT_EQ(status, "200 OK");
  ASSERT_EQ(proxy.requests().size(), 1u);
  const PeerRequest seen = proxy.requests().front();
  EXPECT_EQ(seen.request_line, "GET http://service.invalid:8080/v?x=1 HTTP/1.1");
  EXPECT_THAT(seen.header_lines(),
              ElementsAre("Host: service.invalid:8080", "Proxy-Authorization: Basic cHU6cHA="));
}

TEST(HttpRequestWire, AnHttpsAddressThroughAProxyOpensATunnel) {
  HttpPeer proxy(PeerReply{.action = PeerReply::Action::reset});
  net::http_request("https://service.invalid/",
                    {.proxy = "127.0.0.1:" + std::to_string(proxy.port()), .timeout_seconds = 2});
  ASSERT_TRUE(proxy.wait_for_requests(1, std::chrono::seconds(1)));
  const PeerRequest seen = proxy.requests().front();
  EXPECT_EQ(seen.request_line, "CONNECT service.invalid:443 HTTP/1.1");
  EXPECT_THAT(seen.header_lines(), ElementsAre("Host: service.invalid:443"));
}

TEST(HttpRequestWire, AnHttpsAddressSpeaksTls) {
  HttpPeer peer;
  Text status = "before";
  const std::string address = "https://127.0.0.1:" + std::to_string(peer.port()) + "/";
  EXPECT_EQ(net::http_request(address, {.timeout_seconds = 2, .status_text = &status}), "");
  EXPECT_THAT(status, ::testing::AnyOf(net::utf8_to_gbk("711 发送请求失败!"),
                                       net::utf8_to_gbk("712 服务器未响应!")));
  ASSERT_TRUE(peer.wait_for_requests(1, std::chrono::seconds(2)));
  EXPECT_TRUE(peer.last_raw().starts_with("\x16\x03")) << "a TLS handshake record";
}

// ---- What comes back --------------------------------------------------------------------------

TEST(HttpRequestResponse, ReturnsBodyHeadersStatusAndBytes) {
  HttpPeer peer(PeerReply::with("200 OK", {"X-Test: 1"}, "hello"));
  Text headers, status;
  Bytes bytes;
  EXPECT_EQ(net::http_request(
                peer.url(),
                {.response_headers = &headers, .status_text = &status, .response_bytes = &bytes}),
            "hello");
  EXPECT_EQ(headers, "HTTP/1.1 200 OK\r\nX-Test: 1\r\nContent-Length: 5\r\n\r\n");
  EXPECT_EQ(status, "200 OK");
  EXPECT_EQ(bytes, (Bytes{'h', 'e', 'l', 'l', 'o'}));
}

// Several megabytes arrive faster than they are handed over: the transfer holds back and goes
// on, and every byte arrives once, in order.
TEST(HttpRequestResponse, ALargeBodyArrivesWholeAndInOrder) {
  std::string body(9u << 20, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 23);
  HttpPeer peer(PeerReply::with("200 OK", {}, body));
  Text status;
  Bytes bytes;
  EXPECT_EQ(net::http_request(peer.url(), {.status_text = &status, .response_bytes = &bytes}),
            body);
  EXPECT_EQ(status, "200 OK");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), body);
}

TEST(HttpRequestResponse, AnErrorStatusIsNoFailure) {
  HttpPeer peer(PeerReply::with("404 Not Found", {}, "missing page"));
  Text status;
  EXPECT_EQ(net::http_request(peer.url("/nothing"), {.status_text = &status}), "missing page");
  EXPECT_EQ(status, "404 Not Found");
}

TEST(HttpRequestResponse, ABodyWithoutLengthEndsWithTheConnection) {
  PeerReply reply{.head = "HTTP/1.0 200 OK\r\nServer: old\r\n\r\n", .body = "until close"};
  reply.end = PeerReply::End::close;
  HttpPeer peer(reply);
  Text status;
  EXPECT_EQ(net::http_request(peer.url(), {.status_text = &status}), "until close");
  EXPECT_EQ(status, "200 OK");
}

TEST(HttpRequestResponse, AChunkedBodyArrivesDecoded) {
  HttpPeer peer(PeerReply{.head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
                          .body = "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n"});
  Text headers;
  EXPECT_EQ(net::http_request(peer.url(), {.response_headers = &headers}), "hello world");
  EXPECT_EQ(headers, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
}

TEST(HttpRequestResponse, HeadHasNoBody) {
  HttpPeer peer(PeerReply{.head = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"});
  Text status;
  EXPECT_EQ(net::http_request(peer.url(), {.method = 2, .status_text = &status}), "");
  EXPECT_EQ(status, "200 OK");
}

struct CookieCase {
  const char* name;
  std::vector<std::string> set_cookie_lines;
  Text sent;
  Text received_on_entry;
  bool merge;
  Text sent_after;
  Text received_after;
};

void PrintTo(const CookieCase& test_case, std::ostream* out) { *out << test_case.name; }

class HttpRequestCookies : public ::testing::TestWithParam<CookieCase> {};

TEST_P(HttpRequestCookies, CollectsAndMerges) {
  const CookieCase& c = GetParam();
  HttpPeer peer(PeerReply::with("200 OK", c.set_cookie_lines, "x"));
  Text sent = c.sent;
  Text received = c.received_on_entry;
  net::http_request(
      peer.url(),
      {.send_cookies = &sent, .received_cookies = &received, .merge_sent_cookies = c.merge});
  EXPECT_EQ(sent, c.sent_after);
  EXPECT_EQ(received, c.received_after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpRequestCookies,
    ::testing::Values(
        CookieCase{"PairsWithoutAttributes",
                   {"Set-Cookie: a=1; path=/", "Set-Cookie: b=2", "set-cookie: c=3"},
                   "",
                   "",
                   true,
                   "",
                   "a=1; b=2"},
        CookieCase{"AppendedToWhatTheVariableHeld",
                   {"Set-Cookie: b=2"},
                   "",
                   "z=0; ",
                   true,
                   "",
                   "z=0; b=2"},
        CookieCase{
            "ReceivedMergedWithSent", {"Set-Cookie: b=2"}, "a=1", "", true, "b=2; a=1", "b=2; a=1"},
        CookieCase{"NoMergeKeepsThemApart", {"Set-Cookie: b=2"}, "a=1", "", false, "a=1", "b=2"},
        CookieCase{"DeletedCookieLeavesTheMerge",
                   {"Set-Cookie: a=deleted; path=/"},
                   "a=1; c=3",
                   "",
                   true,
                   "c=3",
                   "c=3"},
        CookieCase{"WithoutBlankAfterTheColonNothingIsCollected",
                   {"Set-Cookie:a=1"},
                   "",
                   "",
                   true,
                   "",
                   ""}),
    [](const auto& test_case) { return std::string(test_case.param.name); });

TEST(HttpRequestResponse, LocationOfANotFollowedRedirect) {
  HttpPeer peer(PeerReply::with("302 Found", {"location: /next"}, "moved"));
  Text location = "untouched", status;
  EXPECT_EQ(net::http_request(peer.url("/start"), {.disable_redirects = true,
                                                   .redirect_location = &location,
                                                   .status_text = &status}),
            "moved");
  EXPECT_EQ(location, "/next");
  EXPECT_EQ(status, "302 Found");
  EXPECT_EQ(peer.requests().size(), 1u);
}

TEST(HttpRequestResponse, WithoutLocationLineTheVariableKeepsItsText) {
  HttpPeer peer;
  Text location = "untouched";
  net::http_request(peer.url(), {.redirect_location = &location});
  EXPECT_EQ(location, "untouched");
}

TEST(HttpRequestResponse, RedirectsAreFollowedAndTheFinalHeadIsReturned) {
  HttpPeer peer([](const PeerRequest& request) {
    if (request.target() == "/start")
      return PeerReply::with("302 Found", {"Location: /final", "Set-Cookie: s=1"});
    return PeerReply::with("200 OK", {"X-Final: yes"}, "arrived");
  });
  Text headers, status, cookies;
  EXPECT_EQ(net::http_request(peer.url("/start"), {.received_cookies = &cookies,
                                                   .response_headers = &headers,
                                                   .status_text = &status}),
            "arrived");
  EXPECT_EQ(headers, "HTTP/1.1 200 OK\r\nX-Final: yes\r\nContent-Length: 7\r\n\r\n");
  EXPECT_EQ(status, "200 OK");
  EXPECT_EQ(cookies, "");
  const auto requests = peer.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].target(), "/final");
}

TEST(HttpRequestResponse, PostBecomesGetAfterA302) {
  HttpPeer peer([](const PeerRequest& request) {
    if (request.target() == "/form") return PeerReply::with("302 Found", {"Location: /done"});
    return PeerReply::with("200 OK", {}, "ok");
  });
  EXPECT_EQ(net::http_request(peer.url("/form"), {.method = 1, .body_text = "a=1"}), "ok");
  const auto requests = peer.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].request_line, "GET /done HTTP/1.1");
  EXPECT_EQ(requests[1].body, "");
}

TEST(HttpRequestResponse, ARedirectToAnotherSchemeIsNotFollowed) {
  HttpPeer peer(PeerReply::with("301 Moved Permanently", {"Location: ftp://127.0.0.1/file"}));
  Text location, status, headers;
  net::http_request(
      peer.url("/"),
      {.response_headers = &headers, .redirect_location = &location, .status_text = &status});
  EXPECT_EQ(status, "301 Moved Permanently");
  EXPECT_EQ(location, "ftp://127.0.0.1/file");
  EXPECT_TRUE(headers.starts_with("HTTP/1.1 301 Moved Permanently\r\n"));
  EXPECT_EQ(peer.requests().size(), 1u);
}

// The redirect is not followed, so its response is the answer: body and status alike.
TEST(HttpRequestResponse, ARedirectToAnotherSchemeReturnsItsOwnBody) {
  HttpPeer peer(
      PeerReply::with("301 Moved Permanently", {"Location: ftp://127.0.0.1/file"}, "moved away"));
  Text status;
  Bytes bytes;
  EXPECT_EQ(net::http_request(peer.url("/"), {.status_text = &status, .response_bytes = &bytes}),
            "moved away");
  EXPECT_EQ(status, "301 Moved Permanently");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "moved away");
}

// Credentials, given or written as lines, follow a redirect only to the same scheme, host and
// port.
TEST(HttpRequestResponse, CredentialsFollowARedirectOnlyToTheSameOrigin) {
  HttpPeer elsewhere(PeerReply::with("200 OK", {}, "elsewhere"));
  HttpPeer peer([&](const PeerRequest& request) {
    if (request.target() == "/start") return PeerReply::with("302 Found", {"Location: /same"});
    if (request.target() == "/same")
      return PeerReply::with("302 Found", {"Location: " + elsewhere.url("/other")});
    return PeerReply::with("404 Not Found");
  });
  EXPECT_EQ(net::http_request(peer.url("/start"), {.request_headers = "Cookie: c=1\r\nX-Kept: 1",
                                                   .user_name = "u",
                                                   .password = "p",
                                                   .add_default_headers = false}),
            "elsewhere");
  const auto here = peer.requests();
  ASSERT_EQ(here.size(), 2u);
  for (const PeerRequest& request : here) {
    EXPECT_THAT(request.header_lines(), ::testing::Contains("Authorization: Basic dTpw"));
    EXPECT_THAT(request.header_lines(), ::testing::Contains("Cookie: c=1"));
  }
  const auto there = elsewhere.requests();
  ASSERT_EQ(there.size(), 1u);
  EXPECT_EQ(there[0].target(), "/other");
  EXPECT_THAT(there[0].header_lines(), ElementsAre(::testing::StartsWith("Host: "), "X-Kept: 1"));
}

TEST(HttpRequestResponse, EndlessRedirectsFail) {
  HttpPeer peer(PeerReply::with("302 Found", {"Location: /again"}));
  Text status;
  EXPECT_EQ(net::http_request(peer.url("/again"), {.status_text = &status}), "");
  EXPECT_EQ(status, net::utf8_to_gbk("712 服务器未响应!"));
}

// ---- Charset ----------------------------------------------------------------------------------

struct CharsetCase {
  const char* name;
  std::string body;  // as sent
  Text expected;     // the result
};

void PrintTo(const CharsetCase& test_case, std::ostream* out) { *out << test_case.name; }

class HttpRequestCharset : public ::testing::TestWithParam<CharsetCase> {};

TEST_P(HttpRequestCharset, DecidesTheResult) {
  HttpPeer peer(PeerReply::with("200 OK", {"Content-Type: text/html"}, GetParam().body));
  Bytes bytes;
  EXPECT_EQ(net::http_request(peer.url(), {.response_bytes = &bytes}), GetParam().expected);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), GetParam().body);
}

const std::string kUtf8Zhong = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文 in UTF-8
const std::string kGbkZhong = "\xD6\xD0\xCE\xC4";           // 中文 in GBK
const std::string kPadding(1100, ' ');

INSTANTIATE_TEST_SUITE_P(
    Cases, HttpRequestCharset,
    ::testing::Values(
        CharsetCase{"Utf8IsReDecoded", "<meta charset=\"utf-8\">" + kUtf8Zhong,
                    "<meta charset=\"utf-8\">" + kGbkZhong},
        CharsetCase{
            "UpperCaseTagAndName",
            "<META http-equiv=Content-Type content=\"text/html; CHARSET=UTF-8\">" + kUtf8Zhong,
            "<META http-equiv=Content-Type content=\"text/html; CHARSET=UTF-8\">" + kGbkZhong},
        CharsetCase{"GbkStaysAsRead", "<meta charset=gbk>" + kGbkZhong,
                    "<meta charset=gbk>" + kGbkZhong},
        CharsetCase{"Gb2312StaysAsRead", "<meta charset=gb2312>" + kGbkZhong,
                    "<meta charset=gb2312>" + kGbkZhong},
        CharsetCase{"NoDeclarationStaysAsRead", kUtf8Zhong, kUtf8Zhong},
        CharsetCase{"ADeclarationAfterByte1024IsNotSeen",
                    kPadding + "<meta charset=utf-8>" + kUtf8Zhong,
                    kPadding + "<meta charset=utf-8>" + kUtf8Zhong},
        CharsetCase{"TheTextEndsAtTheFirstNul", std::string("ab\0cd", 5), "ab"},
        CharsetCase{"AnUnknownCharsetLeavesTheText", "<meta charset=no-such-set>" + kGbkZhong,
                    "<meta charset=no-such-set>" + kGbkZhong}),
    [](const auto& test_case) { return std::string(test_case.param.name); });

// ---- Address failures -------------------------------------------------------------------------

TEST(HttpRequestAddress, AddressesThatAreNoHttpFailBeforeAnyConnection) {
  HttpPeer peer;
  const std::string port = std::to_string(peer.port());
  for (const std::string& address : std::vector<std::string>{
           "127.0.0.1:" + port + "/", "ftp://127.0.0.1:" + port + "/", "file:///etc/hostname",
           std::string(), "http://", "http://:" + port + "/", "http://127.0.0.1:99999/",
           "http://127.0.0.1:0/", "http://127.0.0.1:8x/", "http://bad host/",
           "mailto:someone@example.com"}) {
    Text status, headers = "kept";
    EXPECT_EQ(net::http_request(address, {.response_headers = &headers, .status_text = &status}),
              "")
        << address;
    EXPECT_EQ(status, net::utf8_to_gbk("701 解析URL地址失败!")) << address;
    EXPECT_EQ(headers, "kept");
  }
  EXPECT_EQ(peer.connections(), 0u);
}

TEST(HttpRequestAddress, SchemeCaseAndCredentialsInTheAddressAreAccepted) {
  HttpPeer peer(PeerReply::with("200 OK", {}, "ok"));
  EXPECT_EQ(net::http_request("HTTP://user:pw@127.0.0.1:" + std::to_string(peer.port()) + "/a"),
            "ok");
  EXPECT_EQ(peer.requests().at(0).target(), "/a");
}

TEST(HttpRequestAddress, GbkCharactersInThePathTravelAsEscapedUtf8) {
  HttpPeer peer;
  net::http_request(peer.url("/") + kGbkZhong + " x");
  ASSERT_EQ(peer.requests().size(), 1u);
  EXPECT_EQ(peer.requests()[0].target(), "/%E4%B8%AD%E6%96%87%20x");
}

}  // namespace
