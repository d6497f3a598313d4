#include "net/text_extract.h"

#include <algorithm>
#include <cstring>

#include "net/encoding.h"

namespace net {
namespace {

constexpr std::size_t npos = Text::npos;

bool is_lead(char byte) { return static_cast<unsigned char>(byte) >= 0x80; }

char fold(char byte) {
  return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + ('a' - 'A')) : byte;
}

char unfold(char byte) {
  return byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - ('a' - 'A')) : byte;
}

bool equal_folded(const char* left, const char* right, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (fold(left[i]) != fold(right[i])) return false;
  }
  return true;
}

bool matches_at(std::string_view text, std::size_t at, std::string_view marker, bool ignore_case) {
  return ignore_case ? equal_folded(text.data() + at, marker.data(), marker.size())
                     : std::memcmp(text.data() + at, marker.data(), marker.size()) == 0;
}

// Offset of the first byte equal to value in [from, to], or npos.
std::size_t find_byte(std::string_view text, char value, std::size_t from, std::size_t to) {
  if (from > to) return npos;
  const void* hit = std::memchr(text.data() + from, value, to - from + 1);
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : npos;
}

// Offset of the last byte equal to value in [0, to], or npos.
std::size_t find_last_byte(std::string_view text, char value, std::size_t to) {
  const void* hit = memrchr(text.data(), value, to + 1);
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : npos;
}

// Byte-wise occurrences of a non-empty marker, ignoring character boundaries: the first one
// starting in [from, last_start], found through memchr on the marker's first byte (both cases
// of it when case is ignored).
std::size_t find_bytes(std::string_view text, std::string_view marker, std::size_t from,
                       std::size_t last_start, bool ignore_case) {
  const char first = marker.front();
  const char lower = fold(first);
  const char upper = unfold(first);
  if (!ignore_case || lower == upper) {
    for (std::size_t at = find_byte(text, first, from, last_start); at != npos;
         at = find_byte(text, first, at + 1, last_start)) {
      if (matches_at(text, at, marker, ignore_case)) return at;
    }
    return npos;
  }
  std::size_t next_lower = find_byte(text, lower, from, last_start);
  std::size_t next_upper = find_byte(text, upper, from, last_start);
  while (next_lower != npos || next_upper != npos) {
    const std::size_t at = std::min(next_lower, next_upper);
    if (matches_at(text, at, marker, true)) return at;
    if (at == next_lower) next_lower = find_byte(text, lower, at + 1, last_start);
    if (at == next_upper) next_upper = find_byte(text, upper, at + 1, last_start);
  }
  return npos;
}

// The last byte-wise occurrence of a non-empty marker starting in [0, last_start], or npos.
std::size_t find_last_bytes(std::string_view text, std::string_view marker, std::size_t last_start,
                            bool ignore_case) {
  const char first = marker.front();
  const char lower = fold(first);
  const char upper = unfold(first);
  if (!ignore_case || lower == upper) {
    for (std::size_t at = find_last_byte(text, first, last_start); at != npos;
         at = at == 0 ? npos : find_last_byte(text, first, at - 1)) {
      if (matches_at(text, at, marker, ignore_case)) return at;
    }
    return npos;
  }
  std::size_t next_lower = find_last_byte(text, lower, last_start);
  std::size_t next_upper = find_last_byte(text, upper, last_start);
  const auto before = [&](char value, std::size_t at) {
    return at == 0 ? npos : find_last_byte(text, value, at - 1);
  };
  while (next_lower != npos || next_upper != npos) {
    const std::size_t at = next_lower == npos   ? next_upper
                           : next_upper == npos ? next_lower
                                                : std::max(next_lower, next_upper);
    if (matches_at(text, at, marker, true)) return at;
    if (at == next_lower) next_lower = before(lower, at);
    if (at == next_upper) next_upper = before(upper, at);
  }
  return npos;
}

// Character starts of a walk that began at `origin`, found cheaply: every offset is either a
// character start or the trail byte of the character before, so after two single bytes (below
// 0x80) in a row the next offset is a character start whatever came before them.
class CharacterWalk {
 public:
  CharacterWalk(std::string_view text, std::size_t origin) : text_(text), known_(origin) {}

  // Whether `at` (not before the last position asked about) is a character start.
  bool starts_character(std::size_t at) {
    std::size_t walk = resync_point(at);
    while (walk < at) walk += is_lead(text_[walk]) ? 2 : 1;
    known_ = walk;  // a character start at or right after `at`
    return walk == at;
  }

 private:
  // The nearest offset in [known_, at] that is certainly a character start.
  std::size_t resync_point(std::size_t at) const {
    for (std::size_t point = at; point > known_; --point) {
      if (is_lead(text_[point - 1])) continue;
      if (point - 1 == known_ || !is_lead(text_[point - 2])) return point;
    }
    return known_;
  }

  std::string_view text_;
  std::size_t known_;  // a character start of the walk
};

// The first occurrence in [from, last_start] that starts a character of the walk, or npos.
std::size_t scan_forward(std::string_view text, std::string_view marker, std::size_t from,
                         std::size_t last_start, bool ignore_case, CharacterWalk& walk) {
  for (std::size_t at = find_bytes(text, marker, from, last_start, ignore_case); at != npos;
       at = find_bytes(text, marker, at + 1, last_start, ignore_case)) {
    if (walk.starts_character(at)) return at;
  }
  return npos;
}

}  // namespace

std::size_t find_marker(std::string_view text, std::string_view marker, std::size_t from,
                        bool ignore_case) {
  if (from >= text.size()) return npos;
  if (marker.empty()) return from;
  if (marker.size() > text.size() - from) return npos;
  CharacterWalk walk(text, from);
  return scan_forward(text, marker, from, text.size() - marker.size(), ignore_case, walk);
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
  while (true) {
    const std::size_t candidate = find_last_bytes(text, marker, last_start, ignore_case);
    if (candidate == npos) return npos;
    std::size_t stretch = candidate;
    while (stretch > 0 &&
           (is_lead(text[stretch - 1]) || (stretch > 1 && is_lead(text[stretch - 2])))) {
      --stretch;
    }
    CharacterWalk walk(text, stretch);
    std::size_t found = npos;
    for (std::size_t at = scan_forward(text, marker, stretch, candidate, ignore_case, walk);
         at != npos;
         at = at == candidate ? npos
                              : scan_forward(text, marker, at + 1, candidate, ignore_case, walk)) {
      found = at;
    }
    if (found != npos) return found;
    if (stretch == 0) return npos;
    last_start = stretch - 1;
  }
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
