// A cpp-httplib server on a free port of 127.0.0.1, serving from a thread of its own.
#pragma once

#include <httplib.h>

#include <string>
#include <thread>

namespace test_support {

// Register the handlers (Get, Post, ...) first, then start(): it returns only once the server is
// listening and its loop is running, so a request made right after it is served and a stop()
// right after it ends the loop. stop() (or the destructor) ends serving and waits for the
// thread; an owner whose handlers use its own members calls stop() before those members go.
class LoopbackHttpServer : public httplib::Server {
 public:
  LoopbackHttpServer() = default;
  ~LoopbackHttpServer() override;
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  void start();
  void stop();

  int port() const { return port_; }
  std::string host() const;  // "127.0.0.1:<port>"

 private:
  std::thread thread_;
  int port_ = 0;
};

}  // namespace test_support
