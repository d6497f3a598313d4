// Marker extraction against a plain spelled-out walk, on any bytes and any start.
// Input: one flag byte (bit 0: ignore case), the start as 4 bytes little-endian, then
// marker NUL right_marker NUL text (the text may hold further NUL bytes).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "net/text_extract.h"

namespace {

using net::Text;
constexpr std::size_t npos = Text::npos;

bool is_lead(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 0x81 && value <= 0xFE;
}

// Equal when every byte is equal, ASCII letters folded when case is ignored, except the trail
// byte of a double-byte character of the marker, which must be equal as it is.
bool equal_at(std::string_view text, std::size_t at, std::string_view marker, bool ignore_case) {
  bool trail = false;
  for (std::size_t i = 0; i < marker.size(); ++i) {
    char a = text[at + i];
    char b = marker[i];
    if (ignore_case && !trail) {
      if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
      if (b >= 'A' && b <= 'Z') b = static_cast<char>(b + 32);
    }
    if (a != b) return false;
    trail = !trail && is_lead(marker[i]) && i + 1 < marker.size();
  }
  return true;
}

// Visits the character starts of a walk from `from`, stopping after the last byte, or after a
// lead byte (0x81 to 0xFE; 0x80 and 0xFF stand alone) that is the last byte of the text.
template <typename Visit>
void walk(std::string_view text, std::size_t from, Visit visit) {
  for (std::size_t at = from; at < text.size();) {
    if (!visit(at)) return;
    if (!is_lead(text[at])) {
      ++at;
    } else if (at + 1 == text.size()) {
      return;
    } else {
      at += 2;
    }
  }
}

std::size_t reference_find(std::string_view text, std::string_view marker, std::size_t from,
                           bool ignore_case) {
  std::size_t found = npos;
  walk(text, from, [&](std::size_t at) {
    if (marker.size() <= text.size() - at && equal_at(text, at, marker, ignore_case)) {
      found = at;
      return false;
    }
    return true;
  });
  return found;
}

std::size_t reference_find_last(std::string_view text, std::string_view marker, std::size_t window,
                                bool ignore_case) {
  window = std::min(window, text.size());
  if (window == 0) return npos;
  if (marker.empty()) return 0;
  std::size_t found = npos;
  walk(text, 0, [&](std::size_t at) {
    if (at >= window) return false;
    if (marker.size() <= window - at && equal_at(text, at, marker, ignore_case)) found = at;
    return true;
  });
  return found;
}

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const bool ignore_case = data[0] & 1;
  std::int32_t start;
  std::memcpy(&start, data + 1, 4);
  const std::string_view rest(reinterpret_cast<const char*>(data + 5), size - 5);
  const std::size_t first_nul = rest.find('\0');
  const std::size_t second_nul = first_nul == npos ? npos : rest.find('\0', first_nul + 1);
  if (second_nul == npos) return 0;
  const Text marker(rest.substr(0, first_nul));
  const Text right_marker(rest.substr(first_nul + 1, second_nul - first_nul - 1));
  const Text text(rest.substr(second_nul + 1));

  // The search itself, forward and backward, from windows around the start.
  const auto offset =
      static_cast<std::size_t>(static_cast<std::uint32_t>(start) % (text.size() + 2));
  check(net::find_marker(text, marker, offset, ignore_case) ==
        reference_find(text, marker, offset, ignore_case));
  check(net::find_last_marker(text, marker, offset, ignore_case) ==
        reference_find_last(text, marker, offset, ignore_case));

  // The operations, spelled out on the reference search.
  const auto length = static_cast<std::int64_t>(text.size());
  const auto forward_from = [&](std::int64_t position) {
    return reference_find(text, marker,
                          static_cast<std::size_t>(std::max<std::int64_t>(position, 1) - 1),
                          ignore_case);
  };
  const auto backward_within = [&](std::int64_t window) {
    return window <= 0
               ? npos
               : reference_find_last(text, marker, static_cast<std::size_t>(window), ignore_case);
  };
  const std::size_t right_at =
      start >= 0 ? backward_within(length - start) : forward_from(-std::int64_t{start});
  check(net::text_right_of(text, marker, start, ignore_case) ==
        (right_at == npos ? Text() : text.substr(right_at + marker.size())));
  const std::size_t left_at =
      start >= 0 ? forward_from(start)
                 : backward_within(length - (start == -1 ? 0 : -std::int64_t{start}));
  check(net::text_left_of(text, marker, start, ignore_case) ==
        (left_at == npos ? Text() : text.substr(0, left_at)));

  const Text left = net::unescape_quotes(marker);
  const Text right = net::unescape_quotes(right_marker);
  const std::size_t open =
      reference_find(text, left, static_cast<std::size_t>(std::max(start, 1) - 1), ignore_case);
  Text expected;
  if (open != npos) {
    const std::size_t inner = open + left.size();
    const std::size_t close =
        inner > text.size() ? npos : reference_find(text, right, inner, ignore_case);
    if (close != npos) expected = text.substr(inner, close - inner);
  }
  check(net::text_between(text, marker, right_marker, start, ignore_case) == expected);
  return 0;
}
