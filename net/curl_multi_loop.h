// Runs one libcurl transfer on a multi handle step by step, each wait with its own deadline.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <functional>
#include <memory>

namespace net {

struct CurlEasyCleanup {
  void operator()(CURL* easy) const noexcept { curl_easy_cleanup(easy); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyCleanup>;

struct CurlSlistFree {
  void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
using CurlSlist = std::unique_ptr<curl_slist, CurlSlistFree>;

// A fresh easy handle (libcurl's global set-up runs once, on first use); null when libcurl
// cannot make one.
CurlEasy make_curl_easy();

// Appends a line to a header list; false (list unchanged) when libcurl cannot store it.
bool append_curl_line(CurlSlist& list, const char* line);

// Drives a single easy transfer. The easy handle stays owned by the caller and must outlive
// the loop (or be detached with `stop` first). While a wait runs, net::pump_events() is called
// at least every 50 ms so the GUI stays responsive, and nothing else blocks longer than that.
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

  // Attaches the transfer. False when there is no multi handle, a transfer is already
  // attached, or libcurl refuses the handle.
  bool start(CURL* easy);
  // Detaches the transfer (ending it if it still runs). Safe to call at any time.
  void stop();

  // Runs the transfer until `ready()` holds, the transfer ends or `deadline` passes. The
  // condition is checked first, then after every step of the transfer.
  Outcome run_until(const std::function<bool()>& ready, Clock::time_point deadline);

  // The name lookup and the connection to the host (or proxy), each with its own time-out
  // counted from the moment the phase begins. A time-out of zero or less means none.
  Outcome run_until_connected(std::chrono::milliseconds resolve_timeout,
                              std::chrono::milliseconds connect_timeout);

  bool finished() const { return finished_; }
  // The transfer's result once finished; CURLE_OK before.
  CURLcode result() const { return result_; }

  // The point `timeout` from now; a time-out of zero or less means no deadline.
  static Clock::time_point deadline_after(std::chrono::milliseconds timeout);

 private:
  struct MultiCleanup {
    void operator()(CURLM* multi) const noexcept { curl_multi_cleanup(multi); }
  };

  void step();
  void wait(Clock::time_point deadline);
  void pump_if_due();

  std::unique_ptr<CURLM, MultiCleanup> multi_;
  CURL* easy_ = nullptr;
  bool finished_ = false;
  CURLcode result_ = CURLE_OK;
  Clock::time_point last_pump_;
};

}  // namespace net
