// A cpp-httplib server (plain or TLS) on a free port of 127.0.0.1, serving from a thread of its
// own.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>

namespace test_support {

// Register the handlers (Get, Post, ...) first, then start(): it returns only once the server is
// listening and its loop is running, so a request made right after it is served and a stop()
// right after it ends the loop. stop() (or the destructor) ends serving and waits for the
// thread; an owner whose handlers use its own members calls stop() before those members go.
// Server is httplib::Server or httplib::SSLServer; the constructor's arguments go to it.
template <class Server>
class LoopbackServer : public Server {
 public:
  template <class... Arguments>
  explicit LoopbackServer(Arguments&&... arguments)
      : Server(std::forward<Arguments>(arguments)...) {}
  ~LoopbackServer() override { stop(); }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  void start() {
    // The socket listens once bound (connections queue from then on); the loop that accepts
    // them starts on the thread, and stop() only ends a loop that has started.
    port_ = this->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
      ADD_FAILURE() << "no free port on 127.0.0.1 for the loopback HTTP server";
      return;
    }
    thread_ = std::thread([this] { this->listen_after_bind(); });
    // Bounded, so a loop that ends at once fails the test instead of hanging it.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!this->is_running()) {
      if (std::chrono::steady_clock::now() > give_up) {
        ADD_FAILURE() << "the loopback HTTP server's loop did not start";
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  void stop() {
    if (!thread_.joinable()) return;
    Server::stop();
    thread_.join();
  }

  int port() const { return port_; }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }  // "127.0.0.1:<port>"

 private:
  std::thread thread_;
  int port_ = 0;
};

using LoopbackHttpServer = LoopbackServer<httplib::Server>;
using LoopbackHttpsServer = LoopbackServer<httplib::SSLServer>;

}  // namespace test_support
