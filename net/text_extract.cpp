#include "net/text_extract.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "net/encoding.h"
#include "net/gbk.h"

namespace net {
namespace {

constexpr std::size_t npos = Text::npos;

// How many bytes of the marker agree with the text from `at` on (the marker's size when it is
// found there; the text has room for it). Case ignored, ASCII letters standing alone are folded
// and the trail bytes of double-byte characters must be equal.
std::size_t agreement(std::string_view text, std::size_t at, std::string_view marker,
                      bool ignore_case) {
  const char* here = text.data() + at;
  if (!ignore_case) {
    // Most candidates differ within their first bytes; only a longer agreement costs more.
    const std::size_t head = std::min<std::size_t>(marker.size(), 16);
    if (std::memcmp(here, marker.data(), head) != 0) return 0;
    return std::memcmp(here, marker.data(), marker.size()) == 0 ? marker.size() : head;
  }
  return gbk::agreement_ignoring_case(text.substr(at), marker);
}

// The work a search may spend comparing candidates before it gives up on the quick scan and
// takes the linear one: a fixed allowance plus a few compared bytes per byte of text it has
// moved past. Ordinary text and markers never come near it; a marker such as a...ab over a
// long run of a (every byte starts a candidate that fails only at its end) reaches it at once.
class Budget {
 public:
  // A search forward from `anchor`, or backward from it.
  Budget(std::size_t marker_size, std::size_t anchor, bool forward)
      : allowance_(4 * marker_size + 1024), anchor_(anchor), forward_(forward) {}

  // Counts the bytes from the anchor to `at` as passed (the farthest point counts).
  void cover(std::size_t at) {
    const std::size_t distance =
        forward_ ? at - std::min(at, anchor_) : anchor_ - std::min(at, anchor_);
    covered_ = std::max(covered_, distance);
  }

  // Whether the marker is found at `at`; the comparison is charged. Once the work done
  // exceeds the allowance for the bytes passed, the budget is exhausted and every later check
  // fails.
  bool check(std::string_view text, std::size_t at, std::string_view marker, bool ignore_case) {
    if (exhausted_) return false;
    cover(at);
    const std::size_t agreed = agreement(text, at, marker, ignore_case);
    spent_ += agreed + 1;
    if (spent_ > allowance_ + 4 * covered_) exhausted_ = true;
    return agreed == marker.size();
  }
  bool exhausted() const { return exhausted_; }

 private:
  std::size_t allowance_;
  std::size_t anchor_;
  bool forward_;
  std::size_t covered_ = 0;
  std::size_t spent_ = 0;
  bool exhausted_ = false;
};

// Offset of the first byte equal to value in [from, to], or npos.
std::size_t find_byte(std::string_view text, char value, std::size_t from, std::size_t to) {
  if (from > to) return npos;
  const void* hit = std::memchr(text.data() + from, value, to - from + 1);
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : npos;
}

// Offset of the last byte equal to value in [from, to], or npos.
std::size_t find_last_byte(std::string_view text, char value, std::size_t from, std::size_t to) {
  const void* hit = memrchr(text.data() + from, value, to - from + 1);
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : npos;
}

// Offset of the first byte equal to one of two values in [from, to], or npos. The stretch looked
// through doubles each time neither is found, so the work stays in proportion to the distance
// to the byte found (a value that never occurs does not cost a scan to the end each time).
std::size_t find_either_byte(std::string_view text, char one, char other, std::size_t from,
                             std::size_t to) {
  for (std::size_t stretch = 64; from <= to; stretch *= 2) {
    const std::size_t last = to - from < stretch ? to : from + stretch - 1;
    const std::size_t at =
        std::min(find_byte(text, one, from, last), find_byte(text, other, from, last));
    if (at != npos) return at;
    if (last == to) break;
    from = last + 1;
  }
  return npos;
}

// Offset of the last byte equal to one of two values in [0, to], or npos; the same way back.
std::size_t find_last_either_byte(std::string_view text, char one, char other, std::size_t to) {
  for (std::size_t stretch = 64;; stretch *= 2) {
    const std::size_t first = to < stretch ? 0 : to - stretch + 1;
    const std::size_t a = find_last_byte(text, one, first, to);
    const std::size_t b = find_last_byte(text, other, first, to);
    const std::size_t at = a == npos ? b : b == npos ? a : std::max(a, b);
    if (at != npos) return at;
    if (first == 0) return npos;
    to = first - 1;
  }
}

// Byte-wise occurrences of a non-empty marker, ignoring character boundaries: the first one
// starting in [from, last_start], found through memchr on the marker's first byte (both cases
// of it when case is ignored). npos when there is none or the budget ran out.
std::size_t find_bytes(std::string_view text, std::string_view marker, std::size_t from,
                       std::size_t last_start, bool ignore_case, Budget& budget) {
  const char first = marker.front();
  const char lower = gbk::ascii_lower(first);
  const char upper = gbk::ascii_upper(first);
  const bool both = ignore_case && lower != upper;
  for (std::size_t at = both ? find_either_byte(text, lower, upper, from, last_start)
                             : find_byte(text, first, from, last_start);
       at != npos; at = both ? find_either_byte(text, lower, upper, at + 1, last_start)
                             : find_byte(text, first, at + 1, last_start)) {
    if (budget.check(text, at, marker, ignore_case)) return at;
    if (budget.exhausted()) return npos;
  }
  return npos;
}

// The last byte-wise occurrence of a non-empty marker starting in [0, last_start], or npos
// (none, or the budget ran out).
std::size_t find_last_bytes(std::string_view text, std::string_view marker, std::size_t last_start,
                            bool ignore_case, Budget& budget) {
  const char first = marker.front();
  const char lower = gbk::ascii_lower(first);
  const char upper = gbk::ascii_upper(first);
  const bool both = ignore_case && lower != upper;
  const auto before = [&](std::size_t at) {
    if (at == 0) return npos;
    return both ? find_last_either_byte(text, lower, upper, at - 1)
                : find_last_byte(text, first, 0, at - 1);
  };
  for (std::size_t at = before(last_start + 1); at != npos; at = before(at)) {
    if (budget.check(text, at, marker, ignore_case)) return at;
    if (budget.exhausted()) return npos;
  }
  return npos;
}

// Whether the byte before `at` leaves `at` certainly at a character start: two bytes in a row
// that lead no character mean the second one stands alone, whatever came before.
bool certain_start(std::string_view text, std::size_t at) {
  return at == 0 ||
         (!gbk::is_lead_byte(text[at - 1]) && (at == 1 || !gbk::is_lead_byte(text[at - 2])));
}

// Character starts of a walk that began at `origin`, found cheaply: every offset is either a
// character start or the trail byte of the character before, so after two bytes in a row that
// lead no character the next offset is a character start whatever came before them.
class CharacterWalk {
 public:
  CharacterWalk(std::string_view text, std::size_t origin) : text_(text), known_(origin) {}

  // Whether `at` (not before the last position asked about) is a character start.
  bool starts_character(std::size_t at) {
    std::size_t walk = resync_point(at);
    while (walk < at) walk = gbk::next_char(text_, walk);
    known_ = walk;  // a character start at or right after `at`
    return walk == at;
  }

  // A character start of the walk at or right after the last position asked about.
  std::size_t known() const { return known_; }

 private:
  // The nearest offset in [known_, at] that is certainly a character start.
  std::size_t resync_point(std::size_t at) const {
    for (std::size_t point = at; point > known_; --point) {
      if (gbk::is_lead_byte(text_[point - 1])) continue;
      if (point - 1 == known_ || !gbk::is_lead_byte(text_[point - 2])) return point;
    }
    return known_;
  }

  std::string_view text_;
  std::size_t known_;  // a character start of the walk
};

// The linear search: the Knuth-Morris-Pratt automaton over the text's characters as the walk
// sees them. Each byte becomes a symbol, a trail byte one of its own kind (so an occurrence can
// only begin where a character begins, and a trail byte is never folded), an ASCII letter that
// stands alone folded when case is ignored. Every byte is read once.
class LinearSearch {
 public:
  LinearSearch(std::string_view marker, bool ignore_case) : ignore_case_(ignore_case) {
    symbols_.reserve(marker.size());
    for (std::size_t at = 0; at < marker.size();) {
      const std::size_t length = gbk::char_length(marker, at);
      symbols_.push_back(symbol(marker[at], false));
      if (length == 2) symbols_.push_back(symbol(marker[at + 1], true));
      at += length;
    }
    fallback_.assign(symbols_.size(), 0);
    for (std::size_t i = 1, k = 0; i < symbols_.size(); ++i) {
      while (k > 0 && symbols_[i] != symbols_[k]) k = fallback_[k - 1];
      if (symbols_[i] == symbols_[k]) ++k;
      fallback_[i] = k;
    }
  }

  // Calls found(start) for every occurrence starting in [from, last_start], in order, until it
  // returns false; `from` must be a character start of the walk.
  template <class Found>
  void run(std::string_view text, std::size_t from, std::size_t last_start, Found found) const {
    const std::size_t size = symbols_.size();
    const std::size_t end = std::min(text.size(), last_start + size);
    bool trail = false;
    std::size_t matched = 0;
    for (std::size_t at = from; at < end; ++at) {
      const std::uint16_t next = symbol(text[at], trail);
      trail = !trail && gbk::is_lead_byte(text[at]) && at + 1 < text.size();
      while (matched > 0 && symbols_[matched] != next) matched = fallback_[matched - 1];
      if (symbols_[matched] == next) ++matched;
      if (matched == size) {
        if (!found(at + 1 - size)) return;
        matched = fallback_[matched - 1];
      }
    }
  }

 private:
  std::uint16_t symbol(char byte, bool trail) const {
    if (trail) return static_cast<std::uint16_t>(0x100 | static_cast<unsigned char>(byte));
    return static_cast<unsigned char>(ignore_case_ ? gbk::ascii_lower(byte) : byte);
  }

  bool ignore_case_;
  std::vector<std::uint16_t> symbols_;
  std::vector<std::size_t> fallback_;
};

// The first occurrence in [from, last_start] that starts a character of the walk, or npos.
// When the quick scan runs out of budget, the linear search takes over where it stood.
std::size_t scan_forward(std::string_view text, std::string_view marker, std::size_t from,
                         std::size_t last_start, bool ignore_case, CharacterWalk& walk,
                         Budget& budget) {
  for (std::size_t at = find_bytes(text, marker, from, last_start, ignore_case, budget); at != npos;
       at = find_bytes(text, marker, at + 1, last_start, ignore_case, budget)) {
    if (walk.starts_character(at)) return at;
  }
  return npos;
}

std::size_t linear_first(std::string_view text, std::string_view marker, std::size_t from,
                         std::size_t last_start, bool ignore_case) {
  std::size_t first = npos;
  LinearSearch(marker, ignore_case).run(text, from, last_start, [&](std::size_t at) {
    first = at;
    return false;
  });
  return first;
}

}  // namespace

std::size_t find_marker(std::string_view text, std::string_view marker, std::size_t from,
                        bool ignore_case) {
  if (from >= text.size()) return npos;
  if (marker.empty()) return from;
  if (marker.size() > text.size() - from) return npos;
  const std::size_t last_start = text.size() - marker.size();
  CharacterWalk walk(text, from);
  Budget budget(marker.size(), from, true);
  const std::size_t found = scan_forward(text, marker, from, last_start, ignore_case, walk, budget);
  if (!budget.exhausted()) return found;
  // Nothing before the walk's last known character start was an occurrence.
  return linear_first(text, marker, walk.known(), last_start, ignore_case);
}

std::size_t find_last_marker(std::string_view text, std::string_view marker, std::size_t window,
                             bool ignore_case) {
  window = std::min(window, text.size());
  if (window == 0) return npos;
  if (marker.empty()) return 0;
  if (marker.size() > window) return npos;
  // Take the last byte-wise occurrence, go back to a certain character start before it and walk
  // forward from there over that stretch only; when the stretch holds no occurrence at a
  // character start, go on left of it. Every byte is looked at a bounded number of times.
  std::size_t last_start = window - marker.size();
  Budget budget(marker.size(), last_start, false);
  while (!budget.exhausted()) {
    const std::size_t candidate = find_last_bytes(text, marker, last_start, ignore_case, budget);
    if (candidate == npos) break;
    std::size_t stretch = candidate;
    while (!certain_start(text, stretch)) --stretch;
    budget.cover(stretch);
    CharacterWalk walk(text, stretch);
    std::size_t found = npos;
    for (std::size_t at = scan_forward(text, marker, stretch, candidate, ignore_case, walk, budget);
         at != npos; at = at == candidate ? npos
                                          : scan_forward(text, marker, at + 1, candidate,
                                                         ignore_case, walk, budget)) {
      found = at;
    }
    if (budget.exhausted()) break;
    if (found != npos) return found;
    if (stretch == 0) return npos;
    last_start = stretch - 1;
  }
  if (!budget.exhausted()) return npos;
  // The quick scan gave up: the linear search walks the window from the beginning of the text
  // and keeps the last occurrence.
  std::size_t last = npos;
  LinearSearch(marker, ignore_case).run(text, 0, window - marker.size(), [&](std::size_t at) {
    last = at;
    return true;
  });
  return last;
}

Text unescape_quotes(const Text& text) {
  static const Text escape = utf8_to_gbk("#引号");
  if (escape.empty()) return text;
  Text result;
  std::size_t done = 0;
  for (std::size_t at = text.find(escape); at != npos; at = text.find(escape, done)) {
    result.append(text, done, at - done).push_back('"');
    done = at + escape.size();
  }
  return done == 0 ? text : result.append(text, done);
}

Text text_right_of(const Text& text, const Text& marker, std::int32_t start, bool ignore_case) {
  const auto size = static_cast<std::int64_t>(text.size());
  std::size_t found;
  if (start >= 0) {
    const std::int64_t window = size - start;
    if (window <= 0) return {};
    found = find_last_marker(text, marker, static_cast<std::size_t>(window), ignore_case);
  } else {
    const std::int64_t position = -static_cast<std::int64_t>(start);
    found = find_marker(text, marker, static_cast<std::size_t>(position - 1), ignore_case);
  }
  return found == npos ? Text() : text.substr(found + marker.size());
}

Text text_left_of(const Text& text, const Text& marker, std::int32_t start, bool ignore_case) {
  const auto size = static_cast<std::int64_t>(text.size());
  std::size_t found;
  if (start >= 0) {
    found =
        find_marker(text, marker, static_cast<std::size_t>(std::max(start, 1) - 1), ignore_case);
  } else {
    const std::int64_t left_out = start == -1 ? 0 : -static_cast<std::int64_t>(start);
    const std::int64_t window = size - left_out;
    if (window <= 0) return {};
    found = find_last_marker(text, marker, static_cast<std::size_t>(window), ignore_case);
  }
  return found == npos ? Text() : text.substr(0, found);
}

Text text_between(const Text& text, const Text& left_marker, const Text& right_marker,
                  std::int32_t start, bool ignore_case) {
  const Text left = unescape_quotes(left_marker);
  const Text right = unescape_quotes(right_marker);
  const std::size_t from = static_cast<std::size_t>(std::max(start, 1) - 1);
  const std::size_t left_at = find_marker(text, left, from, ignore_case);
  if (left_at == npos) return {};
  const std::size_t inner = left_at + left.size();
  const std::size_t right_at = find_marker(text, right, inner, ignore_case);
  if (right_at == npos) return {};
  return text.substr(inner, right_at - inner);
}

}  // namespace net
