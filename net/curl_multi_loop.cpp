#include "net/curl_multi_loop.h"

#include <algorithm>

#include "net/event_pump.h"

namespace net {
namespace {

curl_off_t time_info(CURL* easy, CURLINFO info) {
  curl_off_t microseconds = 0;
  if (curl_easy_getinfo(easy, info, &microseconds) != CURLE_OK) return 0;
  return microseconds;
}

}  // namespace

CurlMultiLoop::CurlMultiLoop() {
  ensure_curl_global_init();
  multi_.reset(curl_multi_init());
}

CurlMultiLoop::~CurlMultiLoop() { stop(); }

Status CurlMultiLoop::start(CURL* easy) {
  if (!multi_) return Failure{"no multi handle"};
  if (easy_ != nullptr) return Failure{"a transfer is already attached"};
  if (easy == nullptr) return Failure{"no easy handle"};
  if (curl_multi_add_handle(multi_.get(), easy) != CURLM_OK)
    return Failure{"libcurl refused the easy handle"};
  easy_ = easy;
  finished_ = false;
  result_ = CURLE_OK;
  return {};
}

void CurlMultiLoop::stop() {
  if (easy_ == nullptr) return;
  curl_multi_remove_handle(multi_.get(), easy_);
  easy_ = nullptr;
}

CurlMultiLoop::Clock::time_point CurlMultiLoop::deadline_after(std::chrono::milliseconds timeout,
                                                               Clock::time_point overall_deadline) {
  if (timeout <= std::chrono::milliseconds::zero()) return overall_deadline;
  return std::min(Clock::now() + timeout, overall_deadline);
}

CurlMultiLoop::Outcome CurlMultiLoop::run_until(const std::function<bool()>& ready,
                                                Clock::time_point deadline) {
  if (ready()) return Outcome::ready;
  if (easy_ == nullptr || finished_) return Outcome::finished;
  for (;;) {
    step();
    pump_events_if_due();
    if (ready()) return Outcome::ready;
    if (finished_) return Outcome::finished;
    if (Clock::now() >= deadline) return Outcome::timed_out;
    wait(deadline);
  }
}

CurlMultiLoop::Outcome CurlMultiLoop::run_until_connected(std::chrono::milliseconds resolve_timeout,
                                                          std::chrono::milliseconds connect_timeout,
                                                          Clock::time_point overall_deadline) {
  // A phase counts as done once libcurl has recorded its time; a later phase implies the
  // earlier ones (a name that is an address may be "looked up" in no measurable time).
  const auto connected = [this] { return time_info(easy_, CURLINFO_CONNECT_TIME_T) > 0; };
  const auto resolved = [&] {
    return connected() || time_info(easy_, CURLINFO_NAMELOOKUP_TIME_T) > 0;
  };
  const Outcome lookup = run_until(resolved, deadline_after(resolve_timeout, overall_deadline));
  if (lookup != Outcome::ready) return lookup;
  return run_until(connected, deadline_after(connect_timeout, overall_deadline));
}

void CurlMultiLoop::step() {
  int running = 0;
  if (curl_multi_perform(multi_.get(), &running) != CURLM_OK) {
    finished_ = true;
    result_ = CURLE_FAILED_INIT;
    return;
  }
  int queued = 0;
  while (const CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) {
      finished_ = true;
      result_ = message->data.result;
    }
  }
}

void CurlMultiLoop::wait(Clock::time_point deadline) {
  const auto now = Clock::now();
  const auto until = std::min(deadline, next_pump_due());
  if (until <= now) return;
  const auto timeout = std::chrono::ceil<std::chrono::milliseconds>(until - now);
  // libcurl shortens the wait on its own when one of its timers is due earlier.
  curl_multi_poll(multi_.get(), nullptr, 0, static_cast<int>(timeout.count()), nullptr);
  pump_events_if_due();
}

}  // namespace net
