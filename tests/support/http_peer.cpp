#include "tests/support/http_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "net/gbk.h"

namespace test_support {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Every wait of the peer is cut into slices this long, so that it notices when it must stop.
constexpr milliseconds kSlice{20};
// A client that has begun a request and sends nothing more for this long is dropped.
constexpr milliseconds kIdleLimit{1000};

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         net::gbk::equal_ignoring_ascii_case(text.substr(0, prefix.size()), prefix);
}

// The Content-Length of a request head, 0 when it has none.
std::size_t content_length_of(std::string_view head) {
  std::size_t begin = 0;
  while (begin < head.size()) {
    auto end = head.find("\r\n", begin);
    if (end == std::string_view::npos) end = head.size();
    const std::string_view line = head.substr(begin, end - begin);
    begin = end + 2;
    if (!starts_with_ignoring_case(line, "content-length:")) continue;
    std::size_t length = 0;
    for (const char c : line.substr(15)) {
      if (c >= '0' && c <= '9') length = length * 10 + static_cast<std::size_t>(c - '0');
    }
    return length;
  }
  return 0;
}

void reset_and_close(int fd) {
  const linger abort_on_close{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof abort_on_close);
  close(fd);
}

}  // namespace

std::string PeerRequest::method() const { return request_line.substr(0, request_line.find(' ')); }

std::string PeerRequest::target() const {
  const auto first = request_line.find(' ');
  if (first == std::string::npos) return {};
  const auto second = request_line.find(' ', first + 1);
  return request_line.substr(first + 1,
                             second == std::string::npos ? std::string::npos : second - first - 1);
}

std::vector<std::string> PeerRequest::header_lines() const {
  std::vector<std::string> lines;
  std::size_t begin = head.find("\r\n");
  while (begin != std::string::npos && begin + 2 < head.size()) {
    begin += 2;
    const auto end = head.find("\r\n", begin);
    lines.push_back(head.substr(begin, end - begin));
    begin = end;
  }
  return lines;
}

PeerReply PeerReply::with(std::string_view status, const std::vector<std::string>& lines,
                          std::string body) {
  PeerReply reply;
  reply.head = "HTTP/1.1 " + std::string(status) + "\r\n";
  for (const auto& line : lines) reply.head += line + "\r\n";
  reply.head += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  reply.body = std::move(body);
  return reply;
}

struct HttpPeer::Connection {
  int fd = -1;
  std::thread thread;
  std::atomic_bool done{false};
};

HttpPeer::HttpPeer(PeerReply reply)
    : fixed_reply_(std::make_shared<const PeerReply>(std::move(reply))) {
  listen_on_loopback();
}

HttpPeer::HttpPeer(Script script) : script_(std::move(script)) { listen_on_loopback(); }

HttpPeer::~HttpPeer() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  // No new connection can appear now; each one notices the stop within a slice.
  for (auto& connection : connections_) {
    if (connection->thread.joinable()) connection->thread.join();
  }
  if (listen_fd_ >= 0) close(listen_fd_);
}

std::string HttpPeer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<PeerRequest> HttpPeer::requests() const {
  const std::lock_guard lock(mutex_);
  return requests_;
}

std::string HttpPeer::last_raw() const {
  const std::lock_guard lock(mutex_);
  return requests_.empty() ? std::string() : requests_.back().raw;
}

bool HttpPeer::wait_for_requests(std::size_t count, milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return recorded_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

std::size_t HttpPeer::connections() const {
  const std::lock_guard lock(mutex_);
  return accepted_;
}

void HttpPeer::listen_on_loopback() {
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) return;
  const int yes = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listen_fd_, 64) != 0 ||
      getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(listen_fd_);
    listen_fd_ = -1;
    return;
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { accept_loop(); });
}

void HttpPeer::accept_loop() {
  while (!stopping_) {
    pollfd waiting{listen_fd_, POLLIN, 0};
    if (poll(&waiting, 1, static_cast<int>(kSlice.count())) <= 0) continue;
    const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) continue;
    auto connection = std::make_unique<Connection>();
    connection->fd = fd;
    Connection& served = *connection;
    const std::lock_guard lock(mutex_);
    // Connections that have ended give their threads back before a new one starts.
    std::erase_if(connections_, [](const std::unique_ptr<Connection>& ended) {
      if (!ended->done) return false;
      ended->thread.join();
      return true;
    });
    connections_.push_back(std::move(connection));
    ++accepted_;
    served.thread = std::thread([this, &served] {
      serve(served);
      served.done = true;
    });
  }
}

void HttpPeer::serve(Connection& connection) {
  int fd = connection.fd;
  std::string pending;
  for (;;) {
    PeerRequest request;
    const bool complete = read_request(fd, pending, request);
    if (!request.raw.empty()) record(request);
    if (!complete) break;

    const auto reply = reply_for(request);
    if (!sleep_for(reply->delay)) break;
    if (reply->action == PeerReply::Action::never_answer) {
      hold_until_stopped(fd);
      break;
    }
    if (reply->action == PeerReply::Action::reset) {
      reset_and_close(fd);
      fd = -1;
      break;
    }
    const std::string_view body = std::string_view(reply->body).substr(0, reply->body_bytes_sent);
    if (!send_all(fd, reply->head) || !send_all(fd, body)) break;
    const bool pieces_sent =
        std::all_of(reply->pieces.begin(), reply->pieces.end(), [&](const PeerReply::Piece& piece) {
          return sleep_for(piece.pause) && send_all(fd, piece.bytes);
        });
    if (!pieces_sent) break;
    if (reply->end == PeerReply::End::keep_open) continue;
    if (reply->end == PeerReply::End::stall) hold_until_stopped(fd);
    if (reply->end == PeerReply::End::reset) {
      reset_and_close(fd);
      fd = -1;
    }
    break;
  }
  if (fd >= 0) close(fd);
}

bool HttpPeer::read_request(int fd, std::string& pending, PeerRequest& request) {
  auto last_progress = Clock::now();
  char buffer[64 * 1024];
  for (;;) {
    const auto head_end = pending.find("\r\n\r\n");
    if (head_end != std::string::npos) {
      const std::size_t total =
          head_end + 4 + content_length_of(std::string_view(pending).substr(0, head_end + 2));
      if (pending.size() >= total) {
        request.raw = pending.substr(0, total);
        request.request_line = pending.substr(0, pending.find("\r\n"));
        request.head = pending.substr(0, head_end + 2);
        request.body = pending.substr(head_end + 4, total - head_end - 4);
        pending.erase(0, total);
        return true;
      }
    }
    if (stopping_) break;
    // A started request that stops arriving (or bytes that are no HTTP at all) ends the wait.
    if (!pending.empty() && Clock::now() - last_progress > kIdleLimit) break;
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, static_cast<int>(kSlice.count())) <= 0) continue;
    const ssize_t received = recv(fd, buffer, sizeof buffer, 0);
    if (received == 0) break;
    if (received < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      break;
    }
    pending.append(buffer, static_cast<std::size_t>(received));
    last_progress = Clock::now();
  }
  request.raw = std::move(pending);
  pending.clear();
  return false;
}

bool HttpPeer::send_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(sent));
      continue;
    }
    if (sent < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (stopping_) return false;
    pollfd waiting{fd, POLLOUT, 0};
    poll(&waiting, 1, static_cast<int>(kSlice.count()));
  }
  return true;
}

bool HttpPeer::sleep_for(milliseconds duration) {
  const auto until = Clock::now() + duration;
  while (Clock::now() < until) {
    if (stopping_) return false;
    std::this_thread::sleep_for(std::min<Clock::duration>(kSlice, until - Clock::now()));
  }
  return !stopping_;
}

void HttpPeer::hold_until_stopped(int fd) {
  char buffer[4096];
  while (!stopping_) {
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, static_cast<int>(kSlice.count())) <= 0) continue;
    const ssize_t received = recv(fd, buffer, sizeof buffer, 0);
    if (received == 0 || (received < 0 && errno != EAGAIN && errno != EINTR))
      return;  // the client left
  }
}

std::shared_ptr<const PeerReply> HttpPeer::reply_for(const PeerRequest& request) {
  if (fixed_reply_) return fixed_reply_;
  return std::make_shared<const PeerReply>(script_(request));
}

void HttpPeer::record(PeerRequest request) {
  {
    const std::lock_guard lock(mutex_);
    requests_.push_back(std::move(request));
  }
  recorded_.notify_all();
}

}  // namespace test_support
