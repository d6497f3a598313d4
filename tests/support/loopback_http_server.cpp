#include "tests/support/loopback_http_server.h"

#include <gtest/gtest.h>

#include <chrono>

namespace test_support {

LoopbackHttpServer::~LoopbackHttpServer() { stop(); }

void LoopbackHttpServer::start() {
  // The socket listens once bound (connections queue from then on); the loop that accepts them
  // starts on the thread, and stop() only ends a loop that has started.
  port_ = bind_to_any_port("127.0.0.1");
  if (port_ <= 0) {
    ADD_FAILURE() << "no free port on 127.0.0.1 for the loopback HTTP server";
    return;
  }
  thread_ = std::thread([this] { listen_after_bind(); });
  // Bounded, so a loop that ends at once fails the test instead of hanging it.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!is_running()) {
    if (std::chrono::steady_clock::now() > give_up) {
      ADD_FAILURE() << "the loopback HTTP server's loop did not start";
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void LoopbackHttpServer::stop() {
  if (!thread_.joinable()) return;
  httplib::Server::stop();
  thread_.join();
}

std::string LoopbackHttpServer::host() const { return "127.0.0.1:" + std::to_string(port_); }

}  // namespace test_support
