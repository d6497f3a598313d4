#include "net/http_response.h"

#include <algorithm>
#include <cstring>

#include "net/encoding.h"
#include "net/event_pump.h"
#include "net/gbk.h"
#include "net/header_cookie.h"
#include "net/regex_object.h"
#include "net/text_extract.h"

namespace net {
namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::size_t kCharsetWindow = 1024;

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         gbk::equal_ignoring_ascii_case(text.substr(0, prefix.size()), prefix);
}

// The status code of a status line ("HTTP/1.1 302 Found" gives 302), 0 when it has none.
int status_code_of(std::string_view status_line) {
  const auto blank = status_line.find(' ');
  if (blank == std::string_view::npos || status_line.size() < blank + 4) return 0;
  int code = 0;
  for (const char digit : status_line.substr(blank + 1, 3)) {
    if (digit < '0' || digit > '9') return 0;
    code = code * 10 + (digit - '0');
  }
  return code;
}

// The line with every occurrence of marker removed, case ignored.
Text remove_all_ignoring_case(const Text& line, std::string_view marker) {
  Text result;
  std::size_t begin = 0;
  for (auto at = find_marker(line, marker, 0, true); at != Text::npos;
       at = find_marker(line, marker, begin, true)) {
    result.append(line, begin, at - begin);
    begin = at + marker.size();
  }
  result.append(line, begin);
  return result;
}

// The name=value pair of a Set-Cookie line: up to the first ";" when there is one.
Text cookie_pair_of(const Text& line) {
  if (find_marker(line, ";", 0) != Text::npos)
    return Text(trim_spaces(text_between(line, "Set-Cookie:", ";")));
  return Text(trim_spaces(remove_all_ignoring_case(line, "Set-Cookie:")));
}

// The position of the first NUL byte, npos when there is none. A long text is searched slice by
// slice, with the event hook running in between.
std::size_t find_nul(const Text& text) {
  constexpr std::size_t kSlice = std::size_t{4} << 20;
  for (std::size_t at = 0; at < text.size(); at += kSlice) {
    const void* found = std::memchr(text.data() + at, '\0', std::min(kSlice, text.size() - at));
    if (found != nullptr)
      return static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
    pump_events_if_due();
  }
  return Text::npos;
}

}  // namespace

void ResponseHeadCollector::add_line(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (!in_head_) {
    if (!line.starts_with("HTTP/")) return;
    in_head_ = true;
    current_has_location_ = false;
    current_.assign(line).append(kLineBreak);
    return;
  }
  current_.append(line).append(kLineBreak);
  if (!line.empty()) {
    if (starts_with_ignoring_case(line, "location:") && !trim_spaces(line.substr(9)).empty()) {
      current_has_location_ = true;
    }
    return;
  }
  in_head_ = false;
  ++heads_;
  block_ = std::move(current_);
  current_.clear();
  const int code = status_code_of(std::string_view(block_).substr(0, block_.find(kLineBreak)));
  last_redirects_ = code >= 300 && code < 400 && current_has_location_;
  last_continues_ = (code >= 100 && code < 200) || (redirects_followed_ && last_redirects_);
}

Text header_block_text(const Text& raw_head) { return utf16_to_gbk(gbk_to_utf16(raw_head)); }

Text status_text_of(const Text& header_block) {
  constexpr std::size_t kSkipped = 9;  // "HTTP/1.1 "
  if (header_block.size() <= kSkipped) return {};
  const auto end = header_block.find(kLineBreak, kSkipped);
  return header_block.substr(kSkipped, end == Text::npos ? Text::npos : end - kSkipped);
}

void read_header_lines(const Text& header_block, Text& received_cookies, Text& redirect_location) {
  std::size_t begin = 0;
  while (begin < header_block.size()) {
    auto end = find_marker(header_block, kLineBreak, begin);
    if (end == Text::npos) end = header_block.size();
    const Text line = header_block.substr(begin, end - begin);
    begin = end + kLineBreak.size();

    if (text_left_of(line, ": ") == "Set-Cookie")
      received_cookies.append(cookie_pair_of(line)).append("; ");
    if (starts_with_ignoring_case(line, "Location: ")) redirect_location = line.substr(10);
    pump_events();
  }
}

Text declared_charset(const Text& body_text) {
  const std::string_view window = std::string_view(body_text).substr(0, kCharsetWindow);
  // The pattern begins with "<meta", which only ASCII bytes can spell: without them anywhere
  // in the window (whatever the character boundaries) it cannot match, and compiling it can wait.
  const std::string_view tag = "<meta";
  const auto found = std::search(window.begin(), window.end(), tag.begin(), tag.end(),
                                 [](char a, char b) { return gbk::ascii_lower(a) == b; });
  if (found == window.end()) return {};
  RegexObject regex;
  if (!regex.create("<meta.+?charset=[^\\w]?([-\\w]+)", Text(window))) return {};
  return regex.submatch_text(1, 1);
}

Text body_text_of(Text body) {
  const auto nul = find_nul(body);
  const Text charset = declared_charset(body.substr(0, std::min(nul, kCharsetWindow)));
  if (!charset.empty() && charset != "gbk" && charset != "gb2312") {
    if (auto decoded = charset_to_gbk(Bytes(body.begin(), body.end()), charset))
      return std::move(*decoded);
  }
  if (nul != Text::npos) body.resize(nul);
  return body;
}

}  // namespace net
