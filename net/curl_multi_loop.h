// Runs one libcurl transfer on a multi handle step by step, each wait with its own deadline.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <functional>
#include <memory>

#include "net/curl_handles.h"
#include "net/result.h"

namespace net {

// Drives a single easy transfer. The easy handle stays owned by the caller and must outlive
// the loop (or be detached with `stop` first). While a wait runs, the event hook runs every
// kPumpInterval (net/event_pump.h) so the GUI stays responsive, and nothing else blocks longer.
//
//   CurlMultiLoop loop;
//   if (!loop.start(easy)) ...;
//   if (loop.run_until_connected(resolve, connect) != CurlMultiLoop::Outcome::ready) ...;
//   switch (loop.run_until([&] { return greeting_seen; }, CurlMultiLoop::deadline_after(t))) ...
class CurlMultiLoop {
 public:
  using Clock = std::chrono::steady_clock;

  enum class Outcome {
    ready,      // the condition holds (the transfer may still be running)
    finished,   // the transfer ended before the condition held; see result()
    timed_out,  // the deadline passed first
  };

  CurlMultiLoop();
  ~CurlMultiLoop();
  CurlMultiLoop(const CurlMultiLoop&) = delete;
  CurlMultiLoop& operator=(const CurlMultiLoop&) = delete;

  // Attaches the transfer; a failure when there is no multi handle, a transfer is already
  // attached, or libcurl refuses the handle.
  Status start(CURL* easy);
  // Detaches the transfer (ending it if it still runs). Safe to call at any time.
  void stop();

  // Runs the transfer until `ready()` holds, the transfer ends or `deadline` passes. The
  // condition is checked first, then after every step of the transfer.
  Outcome run_until(const std::function<bool()>& ready, Clock::time_point deadline);

  // The name lookup and the connection to the host (or proxy), each with its own time-out
  // counted from the moment the phase begins, and neither past `overall_deadline`. A time-out of
  // zero or less means none.
  Outcome run_until_connected(std::chrono::milliseconds resolve_timeout,
                              std::chrono::milliseconds connect_timeout,
                              Clock::time_point overall_deadline = Clock::time_point::max());

  bool finished() const { return finished_; }
  // The transfer's result once finished; CURLE_OK before.
  CURLcode result() const { return result_; }

  // The point `timeout` from now, but not later than `overall_deadline`; a time-out of zero or
  // less means no deadline of its own.
  static Clock::time_point deadline_after(
      std::chrono::milliseconds timeout,
      Clock::time_point overall_deadline = Clock::time_point::max());

 private:
  struct MultiCleanup {
    void operator()(CURLM* multi) const noexcept { curl_multi_cleanup(multi); }
  };

  void step();
  void wait(Clock::time_point deadline);

  std::unique_ptr<CURLM, MultiCleanup> multi_;
  CURL* easy_ = nullptr;
  bool finished_ = false;
  CURLcode result_ = CURLE_OK;
};

}  // namespace net
