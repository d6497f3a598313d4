#include "tests/support/update_service.h"

#include <httplib.h>

namespace test_support {

UpdateService::UpdateService(std::string reply)
    : server_(std::make_unique<httplib::Server>()), reply_(std::move(reply)) {
  server_->Get(R"(/api/.*)", [this](const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request.target);
    if (request.has_param("html")) {
      response.set_content("<html><body>notes</body></html>", "text/html; charset=utf-8");
    } else {
      response.set_content(reply_, "text/plain; charset=utf-8");
    }
  });
  server_->set_keep_alive_timeout(1);  // a kept-alive client must not hold up the stop
  port_ = server_->bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // stop() only ends a loop that has started.
  while (!server_->is_running()) std::this_thread::yield();
}

UpdateService::~UpdateService() {
  server_->stop();
  thread_.join();
}

std::string UpdateService::host() const { return "127.0.0.1:" + std::to_string(port_); }

void UpdateService::set_reply(std::string reply) {
  std::lock_guard lock(mutex_);
  reply_ = std::move(reply);
}

std::vector<std::string> UpdateService::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

}  // namespace test_support
