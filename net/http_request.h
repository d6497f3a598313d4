// http_request: the program's one HTTP operation, its parameters and its failure texts.
#pragma once

#include <cstdint>

#include "net/http_transfer.h"
#include "net/text.h"

namespace net {

// The parameters after the address, in their fixed order. Pointers are in/out or out
// parameters, nullptr when not given; an out-parameter is written only by the step that fills
// it and keeps its content otherwise.
struct HttpRequestOptions {
  std::int32_t method = 0;           // 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE,
                                     // 6 TRACE, 7 CONNECT; anything else GET
  Text body_text{};                  // sent when body_bytes is empty
  Text* send_cookies = nullptr;      // in/out: "a=1; b=2" or a whole "Cookie: ..." line
  Text* received_cookies = nullptr;  // in/out: the Set-Cookie pairs are appended
  Text request_headers{};            // extra lines, CR LF separated
  Text* response_headers = nullptr;  // out: raw block of the final response
  bool disable_redirects = false;
  Text user_name{};  // basic authentication at the server
  Text password{};
  Text proxy{};            // host:port; empty: none
  Text proxy_user_name{};  // basic authentication at the proxy
  Text proxy_password{};
  std::int32_t timeout_seconds = 0;   // per network phase; below 1 means 30
  Text* redirect_location = nullptr;  // out: value of the last "Location: " line
  Text* status_text = nullptr;        // out: "200 OK", or the failure message
  Bytes* response_bytes = nullptr;    // out: the body exactly as received
  bool merge_sent_cookies = true;
  bool add_default_headers = true;
  Bytes body_bytes{};
  bool normalize_header_names = true;
  // Not one of the operation's fixed parameters: a bound on the whole call, every phase and
  // every read together; below 1 means none (each phase then has only its own time-out).
  std::int32_t overall_timeout_seconds = 0;
};

// Performs one complete HTTP or HTTPS exchange and returns the body as GBK text (re-decoded when
// the page declares another charset). Every failure returns the empty text and puts a numbered
// message (700 to 713) into status_text; an error status such as 404 is no failure. While it
// waits on the network, pump_events() runs at least every 50 ms.
Text http_request(const Text& url, const HttpRequestOptions& options = {});

// The same over a given transfer (the one above runs over libcurl); it is used for this one call.
Text http_request(HttpTransfer& transfer, const Text& url, const HttpRequestOptions& options = {});

}  // namespace net
