// Header and cookie text on any bytes. The cookie merge and join_unique (which look names and
// pieces up in hash sets) are checked against the steps spelled out with the list helpers.
// Input: one byte choosing the join separator and whether to split by it, then
// old cookies NUL new cookies NUL header name NUL header block.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "net/header_cookie.h"
#include "net/text_extract.h"

namespace {

using net::Text;
using net::TextArray;

void check(bool condition) {
  if (!condition) std::abort();
}

TextArray reference_split(const Text& text, const Text& separator) {
  TextArray pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) return {text};
  std::size_t begin = 0;
  while (true) {
    const std::size_t at = net::find_marker(text, separator, begin);
    if (at == Text::npos) break;
    pieces.push_back(text.substr(begin, at - begin));
    begin = at + separator.size();
  }
  if (begin < text.size()) pieces.push_back(text.substr(begin));
  return pieces;
}

Text reference_join_unique(const Text& text, const Text& separator, bool split_by_separator) {
  TextArray pieces;
  if (split_by_separator) {
    pieces = reference_split(text, separator);
  } else {
    net::split_characters(text, pieces);
  }
  TextArray seen;
  Text joined;
  for (const Text& piece : pieces) {
    if (net::text_array_find(seen, piece) != -1) continue;
    seen.push_back(piece);
    joined += piece + separator;
  }
  joined.resize(joined.size() - std::min(joined.size(), separator.size()));
  return joined;
}

// Trims spaces and full-width spaces (A1 A1) at both ends, character by character.
Text reference_trim(const Text& text) {
  std::vector<std::pair<std::size_t, std::size_t>> characters;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = static_cast<unsigned char>(text[at]) >= 0x81 &&
                                       static_cast<unsigned char>(text[at]) <= 0xFE &&
                                       at + 1 < text.size()
                                   ? 2
                                   : 1;
    characters.emplace_back(at, length);
    at += length;
  }
  const auto is_space = [&](const std::pair<std::size_t, std::size_t>& character) {
    const std::string_view bytes = std::string_view(text).substr(character.first, character.second);
    return bytes == " " || bytes == "\xA1\xA1";
  };
  std::size_t first = 0;
  std::size_t last = characters.size();
  while (first < last && is_space(characters[first])) ++first;
  while (last > first && is_space(characters[last - 1])) --last;
  if (first == last) return {};
  return text.substr(
      characters[first].first,
      characters[last - 1].first + characters[last - 1].second - characters[first].first);
}

Text reference_normalize(const Text& cookies) {
  Text normalized = reference_trim(cookies);
  if (normalized.ends_with(';')) normalized += ' ';
  return normalized;
}

Text reference_merge(const Text& old_cookies, const Text& new_cookies) {
  TextArray merged = reference_split(new_cookies, "; ");
  for (const Text& pair : reference_split(old_cookies, "; ")) {
    if (!net::cookie_list_has_name(merged, net::cookie_name(pair))) merged.push_back(pair);
  }
  Text kept;
  for (const Text& pair : merged) {
    if (pair.size() >= 8 && pair.ends_with("=deleted")) continue;
    kept += pair + "; ";
  }
  kept.resize(kept.size() - std::min<std::size_t>(kept.size(), 2));
  return reference_join_unique(kept, "; ", true);
}

const Text separators[] = {"; ", ",", "", "\r\n", "\xA1\xA1", ";"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const Text& separator = separators[(data[0] >> 1) % std::size(separators)];
  const bool split_by_separator = data[0] & 1;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string_view fields[4];
  std::size_t begin = 0;
  for (int i = 0; i < 3; ++i) {
    const std::size_t nul = rest.find('\0', begin);
    if (nul == std::string_view::npos) return 0;
    fields[i] = rest.substr(begin, nul - begin);
    begin = nul + 1;
  }
  fields[3] = rest.substr(begin);

  // The merge: the result is what the spelled-out steps give on the normalised inputs; old
  // holds the result and new its normalised form.
  Text old_cookies(fields[0]);
  Text new_cookies(fields[1]);
  const Text merged = net::merge_cookies(old_cookies, new_cookies);
  check(old_cookies == merged);
  check(new_cookies == reference_normalize(Text(fields[1])));
  check(merged == reference_merge(reference_normalize(Text(fields[0])), new_cookies));

  const Text text(fields[3]);
  check(net::join_unique(text, separator, split_by_separator) ==
        reference_join_unique(text, separator, split_by_separator));
  TextArray pieces;
  const std::int32_t count = net::split_characters(text, pieces);
  check(count == static_cast<std::int32_t>(pieces.size()));
  Text rejoined;
  for (const Text& piece : pieces) rejoined += piece;
  check(rejoined == text);

  const Text normalized = net::normalize_headers(text);
  check(net::normalize_headers(normalized) == normalized);
  static_cast<void>(net::header_value(text, Text(fields[2])));
  static_cast<void>(net::cookie_name(Text(fields[2])));
  static_cast<void>(net::capitalize_first(Text(fields[2])));
  return 0;
}
