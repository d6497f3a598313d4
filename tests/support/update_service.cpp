#include "tests/support/update_service.h"

namespace test_support {

UpdateService::UpdateService(std::string reply) : reply_(std::move(reply)) {
  server_.Get(R"(/api/.*)", [this](const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex_);
    requests_.push_back(request.target);
    if (request.has_param("html")) {
      response.set_content("<html><body>notes</body></html>", "text/html; charset=utf-8");
    } else {
      response.set_content(reply_, "text/plain; charset=utf-8");
    }
  });
  server_.set_keep_alive_timeout(1);  // a kept-alive client must not hold up the stop
  server_.start();
}

// The handler uses the members below the server: it stops first.
UpdateService::~UpdateService() { server_.stop(); }

std::string UpdateService::host() const { return server_.host(); }

void UpdateService::set_reply(std::string reply) {
  std::lock_guard lock(mutex_);
  reply_ = std::move(reply);
}

std::vector<std::string> UpdateService::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

}  // namespace test_support
