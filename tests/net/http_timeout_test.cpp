// http_request's per-phase time-outs and broken connections against real loopback sockets.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "net/encoding.h"
#include "net/event_pump.h"
#include "net/http_request.h"
#include "tests/support/http_peer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using net::Text;
using test_support::HttpPeer;
using test_support::PeerReply;

// A time-out of 2 s has to fire within this.
constexpr auto kTwoSecondsAndMargin = 2750ms;

Text not_sent() { return net::utf8_to_gbk("711 发送请求失败!"); }
Text no_response() { return net::utf8_to_gbk("712 服务器未响应!"); }
Text read_failed() { return net::utf8_to_gbk("713 读取数据失败!"); }

struct Outcome {
  Text result;
  Text status;
  Text headers;
  Clock::duration elapsed;
};

Outcome request_with_two_seconds(const std::string& url) {
  Outcome outcome;
  const auto start = Clock::now();
  outcome.result = net::http_request(
      url,
      {.response_headers = &outcome.headers, .timeout_seconds = 2, .status_text = &outcome.status});
  outcome.elapsed = Clock::now() - start;
  return outcome;
}

// A listening socket whose accept queue is full: further connection attempts get no answer.
class FullListener {
 public:
  FullListener() {
    listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listen_fd_, 0);
    getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    // Fill the queue: connect until an attempt stays unanswered.
    for (int attempt = 0; attempt < 8; ++attempt) {
      const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      fillers_.push_back(fd);
      connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
      pollfd waiting{fd, POLLOUT, 0};
      if (poll(&waiting, 1, 200) == 0) break;
    }
  }
  ~FullListener() {
    for (const int fd : fillers_) close(fd);
    close(listen_fd_);
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  int listen_fd_ = -1;
  std::uint16_t port_ = 0;
  std::vector<int> fillers_;
};

TEST(HttpTimeout, AServerThatNeverAnswersFailsAfterOneTimeOut) {
  HttpPeer peer(PeerReply{.action = PeerReply::Action::never_answer});
  const Outcome outcome = request_with_two_seconds(peer.url());
  EXPECT_EQ(outcome.result, "");
  EXPECT_EQ(outcome.status, no_response());
  EXPECT_LT(outcome.elapsed, kTwoSecondsAndMargin);
  EXPECT_EQ(peer.requests().size(), 1u) << "the request itself went out";
}

TEST(HttpTimeout, AFullAcceptQueueFailsToSendAfterOneTimeOut) {
  FullListener listener;
  const Outcome outcome = request_with_two_seconds(listener.url());
  EXPECT_EQ(outcome.status, not_sent());
  EXPECT_LT(outcome.elapsed, kTwoSecondsAndMargin);
}

TEST(HttpTimeout, AClosedPortFailsToSendAtOnce) {
  std::string url;
  {
    HttpPeer gone;
    url = gone.url();
  }
  const Outcome outcome = request_with_two_seconds(url);
  EXPECT_EQ(outcome.status, not_sent());
  EXPECT_LT(outcome.elapsed, kTwoSecondsAndMargin);
}

TEST(HttpTimeout, AResetInsteadOfAnAnswerIsNoResponse) {
  HttpPeer peer(PeerReply{.action = PeerReply::Action::reset});
  const Outcome outcome = request_with_two_seconds(peer.url());
  EXPECT_EQ(outcome.result, "");
  EXPECT_EQ(outcome.status, no_response());
}

TEST(HttpTimeout, AnAnswerWithinTheTimeOutArrives) {
  PeerReply slow = PeerReply::with("200 OK", {}, "late but here");
  slow.delay = 1200ms;
  HttpPeer peer(slow);
  const Outcome outcome = request_with_two_seconds(peer.url());
  EXPECT_EQ(outcome.result, "late but here");
  EXPECT_EQ(outcome.status, "200 OK");
}

struct CutBody {
  const char* name;
  PeerReply::End end;
};

void PrintTo(const CutBody& test_case, std::ostream* out) { *out << test_case.name; }

class HttpTimeoutCutBody : public ::testing::TestWithParam<CutBody> {};

// The bytes read so far come back, with the headers; the status says the read failed.
TEST_P(HttpTimeoutCutBody, KeepsTheBytesReadSoFar) {
  PeerReply reply = PeerReply::with("200 OK", {}, std::string(400, 'a') + std::string(600, 'b'));
  reply.body_bytes_sent = 400;
  reply.end = GetParam().end;
  HttpPeer peer(reply);
  net::Bytes bytes;
  Outcome outcome;
  const auto start = Clock::now();
  outcome.result = net::http_request(peer.url(), {.response_headers = &outcome.headers,
                                                  .timeout_seconds = 2,
                                                  .status_text = &outcome.status,
                                                  .response_bytes = &bytes});
  outcome.elapsed = Clock::now() - start;
  EXPECT_EQ(outcome.result, std::string(400, 'a'));
  EXPECT_EQ(bytes.size(), 400u);
  EXPECT_EQ(outcome.status, read_failed());
  EXPECT_EQ(outcome.headers, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
  EXPECT_LT(outcome.elapsed, kTwoSecondsAndMargin);
}

INSTANTIATE_TEST_SUITE_P(Cases, HttpTimeoutCutBody,
                         ::testing::Values(CutBody{"Stall", PeerReply::End::stall},
                                           CutBody{"Reset", PeerReply::End::reset},
                                           CutBody{"Close", PeerReply::End::close}),
                         [](const auto& test_case) { return std::string(test_case.param.name); });

TEST(HttpTimeout, TheEventHookRunsAtLeastEvery50MsWhileWaiting) {
  HttpPeer peer(PeerReply{.action = PeerReply::Action::never_answer});
  std::vector<Clock::time_point> calls;
  net::set_event_pump([&calls] { calls.push_back(Clock::now()); });
  const auto start = Clock::now();
  request_with_two_seconds(peer.url());
  const auto end = Clock::now();
  net::set_event_pump({});

  ASSERT_FALSE(calls.empty());
  Clock::duration longest_gap = calls.front() - start;
  for (std::size_t i = 1; i < calls.size(); ++i)
    longest_gap = std::max(longest_gap, calls[i] - calls[i - 1]);
  longest_gap = std::max(longest_gap, end - calls.back());
  // 50 ms is the promise; the bound leaves room for a busy machine.
  EXPECT_LT(longest_gap, 150ms);
  EXPECT_GE(calls.size(), static_cast<std::size_t>(2s / 50ms));
}

}  // namespace
