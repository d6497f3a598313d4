// The HTTP transfer over libcurl: one easy handle driven step by step on a multi handle.
#pragma once

#include "net/curl_handles.h"
#include "net/curl_multi_loop.h"
#include "net/http_response.h"
#include "net/http_transfer.h"

namespace net {

// Carries out one exchange with libcurl. Nothing is shared between instances: no connection,
// cookie or name cache outlives the transfer.
class CurlHttpTransfer final : public HttpTransfer {
 public:
  CurlHttpTransfer();
  ~CurlHttpTransfer() override;
  CurlHttpTransfer(const CurlHttpTransfer&) = delete;
  CurlHttpTransfer& operator=(const CurlHttpTransfer&) = delete;

  Status set_up(HttpStep step, const HttpExchange& exchange) override;
  Status start() override;
  Status wait_for_head() override;
  Result<Text> read_some() override;
  Result<Text> raw_head() override;

 private:
  enum class Stage { preparing, sent, received, failed };

  static std::size_t on_header(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t on_body(char* data, std::size_t size, std::size_t count, void* self);

  Status set_up_method();
  Status set_up_headers();
  Status set_header_list(bool with_credentials);
  bool request_out() const;
  bool response_ready() const;
  std::string redirect_target() const;
  Text first_piece() const;
  bool same_origin(const std::string& target) const;
  Status follow(const std::string& target);
  CurlMultiLoop::Clock::time_point phase_deadline() const;

  const HttpExchange* exchange_ = nullptr;
  CurlEasy easy_;
  CurlSlist headers_;
  CurlSlist proxy_headers_;
  std::string url_;
  std::string proxy_;
  CurlMultiLoop loop_;  // declared after what the transfer uses: detaches before they go
  Stage stage_ = Stage::preparing;
  Text verb_;                          // changes when a redirect turns the request into a GET
  bool credentials_ = true;            // a redirect to another origin drops them for good
  ResponseHeadCollector head_{false};  // every head is final to it: redirects are ours to follow
  Text pending_;                       // body bytes received and not yet handed out
  bool paused_ = false;                // the transfer waits until pending_ is read
  bool discarding_ = false;
  bool first_piece_given_ = false;
  std::size_t heads_left_ =
      0;  // heads of the redirects followed so far            // the body of a redirect being left
};

}  // namespace net
