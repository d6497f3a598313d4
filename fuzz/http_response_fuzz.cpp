// The response side of http_request on any bytes: header lines as a transfer reports them, then
// the header block's status, cookies and location, then the body's charset and re-decoding.
// Input: one or more heads (lines up to and including their line feeds, each head ended by an
// empty line), then the body.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/header_cookie.h"
#include "net/http_response.h"

namespace {

using net::Text;

void check(bool condition) {
  if (!condition) std::abort();
}

// Feeds the lines of the head to a collector the way libcurl hands them over, one by one.
net::ResponseHeadCollector collect(std::string_view head, bool redirects_followed) {
  net::ResponseHeadCollector collector(redirects_followed);
  while (!head.empty()) {
    const auto end = head.find('\n');
    const std::size_t length = end == std::string_view::npos ? head.size() : end + 1;
    collector.add_line(head.substr(0, length));
    head.remove_prefix(length);
  }
  return collector;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // The head ends at the first empty line that no further status line follows.
  auto split = input.find("\r\n\r\n");
  while (split != std::string_view::npos && input.substr(split + 4).starts_with("HTTP/")) {
    split = input.find("\r\n\r\n", split + 4);
  }
  const std::string_view head =
      split == std::string_view::npos ? input : input.substr(0, split + 4);
  const std::string_view body =
      split == std::string_view::npos ? std::string_view() : input.substr(split + 4);

  for (const bool followed : {true, false}) {
    const net::ResponseHeadCollector collector = collect(head, followed);
    if (collector.completed_heads() == 0) {
      check(collector.block().empty());
      continue;
    }
    check(collector.block().starts_with("HTTP/") && collector.block().ends_with("\r\n\r\n"));
    check(!followed || !collector.final_head_complete() || !collector.last_head_redirects());
    const Text block = net::header_block_text(collector.block());
    check(block.starts_with("HTTP/"));

    const Text status = net::status_text_of(block);
    check(status.size() < block.size() && status.find("\r\n") == Text::npos);
    check(block.find(status) != Text::npos);

    Text received = "old=1; ";
    Text location = "kept";
    net::read_header_lines(block, received, location);
    check(received.starts_with("old=1; "));
    check(location == "kept" || block.find(location) != Text::npos);
    if (received.ends_with("; ")) received.resize(received.size() - 2);
    Text sent = "a=1; b=2";
    const Text merged = net::merge_cookies(sent, received);
    check(merged == sent);
  }

  const Text text = net::body_text_of(Text(body));
  check(text.find('\0') == Text::npos);
  const Text charset = net::declared_charset(Text(body.substr(0, body.find('\0'))));
  if (charset.empty() || charset == "gbk" || charset == "gb2312") {
    check(std::string_view(text) == body.substr(0, body.find('\0')));
  }
  return 0;
}
