// Response side of an HTTP exchange: final header block, status text, cookies, location, charset.
#pragma once

#include <cstddef>
#include <string_view>

#include "net/text.h"

namespace net {

// Builds the header block of the final response from the header lines a transfer reports one
// by one, across interim (1xx) responses and redirects that are followed. A block starts with
// a line beginning "HTTP/" and ends at an empty line; lines outside a block (trailers after a
// chunked body) are ignored. Every line is kept as received and ended with CR LF.
class ResponseHeadCollector {
 public:
  // redirects_followed: a 3xx head with a non-empty Location line is followed by another head.
  explicit ResponseHeadCollector(bool redirects_followed = true)
      : redirects_followed_(redirects_followed) {}

  // One header line, with or without its line end.
  void add_line(std::string_view line);

  // Some head is under way or complete.
  bool started() const { return in_head_ || heads_ > 0; }
  // Number of heads completed so far.
  std::size_t completed_heads() const { return heads_; }
  // The last completed head is the final one: no further head will follow it.
  bool final_head_complete() const { return heads_ > 0 && !last_continues_; }
  // The last completed head announces a redirect that would be followed.
  bool last_head_redirects() const { return heads_ > 0 && last_redirects_; }
  // The last completed head: status line first, CR LF lines, an empty line last.
  const Text& block() const { return block_; }

 private:
  bool redirects_followed_;
  bool in_head_ = false;
  bool current_has_location_ = false;
  Text current_;
  Text block_;
  std::size_t heads_ = 0;
  bool last_continues_ = false;
  bool last_redirects_ = false;
};

// The header block as GBK text, from the raw bytes of the head: decoded as GBK into UTF-16 and
// encoded back, so bytes that are no GBK become '?' and the block ends before any NUL byte.
Text header_block_text(const Text& raw_head);

// The status text of a header block: its first line without the first nine characters (the
// protocol version and the blank after it), for example "200 OK".
Text status_text_of(const Text& header_block);

// Goes through the lines of a header block: the name=value pair of every "Set-Cookie" line is
// appended to received_cookies followed by "; "; every "Location: " line (case ignored) sets
// redirect_location, which is left alone when there is none. pump_events() runs after each line.
void read_header_lines(const Text& header_block, Text& received_cookies, Text& redirect_location);

// The charset a page declares in a <meta ... charset=...> tag within the first 1024 bytes of
// its text; empty when there is none.
Text declared_charset(const Text& body_text);

// The body as text: its bytes up to the first NUL, re-decoded into GBK when the page declares
// a charset other than "gbk" and "gb2312" (exact names) that the converter knows. Takes the
// body buffer over, so a body that needs no re-decoding is not copied.
Text body_text_of(Text body);

}  // namespace net
