// One HTTP exchange as plain data, the steps that carry it out and the transfer interface.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "net/result.h"
#include "net/text.h"

namespace net {

// Where a request goes: an http or https address taken apart.
struct WebAddress {
  Text host;               // an IPv6 address keeps its brackets
  std::uint16_t port = 0;  // 80 or 443 when the address names none
  bool secure = false;     // https
  Text object_name;        // path and query, "/" when the address has no path
};

// A user name and password for basic authentication.
struct Login {
  Text user_name;
  Text password;
};

// Everything one exchange needs, decided before it begins. Texts are GBK.
struct HttpExchange {
  using Clock = std::chrono::steady_clock;

  Text verb = "GET";
  WebAddress address;
  Text proxy;  // "host:port" (or with a scheme); empty: none
  std::optional<Login> server_login;
  std::optional<Login> proxy_login;
  std::vector<Text> header_lines;  // in order, without line ends; none of them empty
  Bytes body;                      // sent as it is; may be empty
  // Certificate checks: the peer's chain (authority, usage, dates) and the host name in it.
  bool verify_peer = true;
  bool verify_host = true;
  bool check_revocation = false;  // asks for the server's stapled revocation answer
  // A cookie store of the exchange's own: cookies set by one redirect hop go along to the next.
  bool keep_cookies = false;
  bool follow_redirects = true;
  // Each network phase (connect, send, wait for the head, each read) has this long; zero: no
  // limit of its own.
  std::chrono::milliseconds phase_timeout{30000};
  // No phase goes past this point.
  Clock::time_point deadline = Clock::time_point::max();
};

// The steps of an exchange in the order they run. Those up to `headers` prepare the transfer;
// the rest are the network phases.
enum class HttpStep {
  platform,            // HTTP can be spoken at all
  address,             // the address is one the transfer can reach
  session,             // the transfer and its proxy
  timeouts,            // the phase time-out and the overall deadline
  connection,          // the host and port
  request,             // the verb and the object name
  server_credentials,  // only when a server login is given
  proxy_credentials,   // only when a proxy login is given
  certificates,
  cookies,
  redirects,
  headers,
  send,      // start()
  response,  // wait_for_head()
  read,      // read_some()
  head,      // raw_head()
};

// Carries out one exchange. Calls come in the order of the steps: set_up for each preparing step
// that applies, then start, wait_for_head, read_some until it gives an empty piece, raw_head.
// The exchange given to set_up must stay alive and unchanged until the transfer is destroyed.
class HttpTransfer {
 public:
  virtual ~HttpTransfer() = default;

  // Prepares the part of the exchange that `step` names.
  virtual Status set_up(HttpStep step, const HttpExchange& exchange) = 0;
  // Connects and sends the request line, the headers and the body; returns once they are out.
  virtual Status start() = 0;
  // Waits for the head of the final response: interim (1xx) heads do not end the wait, and
  // followed redirects begin it anew.
  virtual Status wait_for_head() = 0;
  // The next piece of the body, waiting for it when none is there; empty at the end of the body.
  // A piece may come with spare capacity (room for the announced rest of the body).
  virtual Result<Text> read_some() = 0;
  // The final response's head: status line first, CR LF lines, an empty line last.
  virtual Result<Text> raw_head() = 0;
};

}  // namespace net
