// A loopback update service: answers version checks with a scripted reply and counts requests.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "tests/support/loopback_http_server.h"

namespace test_support {

class UpdateService {
 public:
  // reply: the UTF-8 body every /api/checkVersion request gets (the notes page gets a small page).
  explicit UpdateService(std::string reply = "false|false|||");
  ~UpdateService();

  std::string host() const;  // "127.0.0.1:<port>"
  void set_reply(std::string reply);
  std::vector<std::string> requests() const;  // request target (path and query) of each, in order

 private:
  LoopbackHttpServer server_;
  mutable std::mutex mutex_;
  std::string reply_;
  std::vector<std::string> requests_;
};

}  // namespace test_support
