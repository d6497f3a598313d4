// Raw-socket loopback HTTP server: records each request's exact bytes, answers from a script.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace test_support {

// One request as it arrived: the raw bytes, cut into head and body by its Content-Length.
struct PeerRequest {
  std::string raw;           // every byte of the request (or of whatever arrived instead)
  std::string request_line;  // "GET /path HTTP/1.1"
  std::string head;  // request line and header lines, each ending CR LF, blank line excluded
  std::string body;

  std::string method() const;
  std::string target() const;  // "/path?query", or the absolute form a proxy receives
  // Header lines in order, without their CR LF; the request line is not among them.
  std::vector<std::string> header_lines() const;
};

// What the peer does with a request.
struct PeerReply {
  enum class Action {
    answer,        // send head and body (see stall_after and end)
    never_answer,  // keep the connection open and silent
    reset,         // reset the connection without answering
  };
  enum class End {
    keep_open,  // wait for the next request on the connection
    close,      // close the connection after the reply
    stall,      // keep the connection open and silent
    reset,      // reset the connection
  };

  std::string head{};  // sent exactly as given: status line, header lines, blank line
  std::string body{};
  Action action = Action::answer;
  std::chrono::milliseconds delay{0};               // wait before answering
  std::size_t body_bytes_sent = std::string::npos;  // send only this much of the body, then `end`
  // Bytes sent after the head and the body, each after its own pause (a body that trickles in,
  // interim heads that keep coming); then `end`.
  struct Piece {
    std::chrono::milliseconds pause{0};
    std::string bytes;
  };
  std::vector<Piece> pieces{};
  End end = End::keep_open;

  // A reply with the status ("200 OK"), the header lines (without CR LF), a Content-Length
  // line and the body.
  static PeerReply with(std::string_view status, const std::vector<std::string>& lines = {},
                        std::string body = {});
};

// Listens on 127.0.0.1 at a free port and serves each connection on a thread of its own,
// keeping connections alive. Every wait is bounded: silent or stalled connections end when the
// peer is destroyed, and a client that sends no complete request within a second is recorded
// with what it sent and dropped.
class HttpPeer {
 public:
  using Script = std::function<PeerReply(const PeerRequest&)>;

  // Answers every request with the same reply (200 OK with an empty body by default).
  explicit HttpPeer(PeerReply reply = PeerReply::with("200 OK"));
  explicit HttpPeer(Script script);
  ~HttpPeer();
  HttpPeer(const HttpPeer&) = delete;
  HttpPeer& operator=(const HttpPeer&) = delete;

  std::uint16_t port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by path.
  std::string url(std::string_view path = "/") const;

  // Every request recorded so far, in order of arrival.
  std::vector<PeerRequest> requests() const;
  // The raw bytes of the last request; empty when there was none.
  std::string last_raw() const;
  // Waits up to timeout for at least count requests.
  bool wait_for_requests(std::size_t count, std::chrono::milliseconds timeout) const;
  // Number of connections accepted so far.
  std::size_t connections() const;

 private:
  struct Connection;

  void listen_on_loopback();
  void accept_loop();
  void serve(Connection& connection);
  bool read_request(int fd, std::string& pending, PeerRequest& request);
  bool send_all(int fd, std::string_view bytes);
  bool sleep_for(std::chrono::milliseconds duration);
  void hold_until_stopped(int fd);
  std::shared_ptr<const PeerReply> reply_for(const PeerRequest& request);
  void record(PeerRequest request);

  Script script_;
  std::shared_ptr<const PeerReply> fixed_reply_;
  int listen_fd_ = -1;
  std::uint16_t port_ = 0;
  std::atomic_bool stopping_{false};
  std::thread acceptor_;

  mutable std::mutex mutex_;
  mutable std::condition_variable recorded_;
  std::vector<PeerRequest> requests_;
  std::vector<std::unique_ptr<Connection>> connections_;  // served now or not yet joined
  std::size_t accepted_ = 0;
};

}  // namespace test_support
