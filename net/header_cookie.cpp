#include "net/header_cookie.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "net/gbk.h"
#include "net/text_extract.h"

namespace net {
namespace {

using Pieces = std::vector<std::string_view>;

constexpr std::string_view line_break = "\r\n";
constexpr std::string_view pair_separator = "; ";
constexpr std::string_view deleted_suffix = "=deleted";

// Cuts text at every separator found by the marker search. Empty pieces count, except after a
// separator that ends the text; an empty text gives no pieces and an empty separator one piece.
Pieces split(std::string_view text, std::string_view separator) {
  Pieces pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) return {text};
  std::size_t begin = 0;
  for (std::size_t at = find_marker(text, separator, 0); at != Text::npos;
       at = find_marker(text, separator, begin)) {
    pieces.push_back(text.substr(begin, at - begin));
    begin = at + separator.size();
  }
  if (begin < text.size()) pieces.push_back(text.substr(begin));
  return pieces;
}

bool is_space_character(std::string_view text, std::size_t at, std::size_t length) {
  return length == 1 ? text[at] == ' ' : text[at] == '\xA1' && text[at + 1] == '\xA1';
}

}  // namespace

std::string_view trim_spaces(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = 0;
  bool leading = true;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = gbk::char_length(text, at);
    const bool space = is_space_character(text, at, length);
    at += length;
    if (!space) {
      leading = false;
      end = at;
    } else if (leading) {
      begin = at;
    }
  }
  return end > begin ? text.substr(begin, end - begin) : std::string_view();
}

namespace {

std::string_view name_of_pair(std::string_view pair) {
  const std::size_t equals = find_marker(pair, "=", 0);
  return trim_spaces(equals == Text::npos ? pair : pair.substr(0, equals));
}

bool ends_with_deleted(std::string_view pair) { return pair.ends_with(deleted_suffix); }

// Trims cookie text; a final ";" then gets a space so that it separates like the others.
void normalize_cookie_text(Text& cookies) {
  cookies = Text(trim_spaces(cookies));
  if (cookies.ends_with(';')) cookies.push_back(' ');
}

Text join_unique_pieces(const Pieces& pieces, std::string_view separator) {
  std::unordered_set<std::string_view> seen;
  seen.reserve(pieces.size());
  Text joined;
  for (const std::string_view piece : pieces) {
    if (!seen.insert(piece).second) continue;
    joined.append(piece).append(separator);
  }
  joined.resize(joined.size() - std::min(joined.size(), separator.size()));
  return joined;
}

Pieces character_pieces(std::string_view text) {
  Pieces pieces;
  for (std::size_t at = 0; at < text.size();) {
    const bool line_break_pair = text.substr(at, 2) == line_break;
    const std::size_t length = line_break_pair ? 2 : gbk::char_length(text, at);
    pieces.push_back(text.substr(at, length));
    at += length;
  }
  return pieces;
}

}  // namespace

Text capitalize_first(const Text& text) {
  Text result = text;
  if (!result.empty()) result[0] = gbk::ascii_upper(result[0]);
  return result;
}

Text normalize_headers(const Text& block) {
  Text normalized;
  for (const std::string_view line : split(block, line_break)) {
    const std::size_t colon = find_marker(line, ":", 0);
    if (colon == Text::npos) continue;
    if (!normalized.empty()) normalized.append(line_break);
    // Capitalise the first byte of every "-"-separated segment of the name.
    const std::string_view name = line.substr(0, colon);
    std::size_t segment = 0;
    for (std::size_t dash = find_marker(name, "-", 0); dash != Text::npos;
         dash = find_marker(name, "-", segment)) {
      normalized.append(capitalize_first(Text(name.substr(segment, dash - segment))))
          .push_back('-');
      segment = dash + 1;
    }
    normalized.append(capitalize_first(Text(name.substr(segment)))).append(line.substr(colon));
  }
  return normalized;
}

Text header_value(const Text& block, const Text& name) {
  for (const std::string_view line : split(block, line_break)) {
    if (line.starts_with(name)) return text_right_of(Text(line), name + ": ");
  }
  return {};
}

Text merge_cookies(Text& old_cookies, Text& new_cookies) {
  normalize_cookie_text(old_cookies);
  normalize_cookie_text(new_cookies);
  Pieces merged = split(new_cookies, pair_separator);
  // The names of the merged list, kept alongside it so that each lookup is one hash probe.
  std::unordered_set<std::string_view> names;
  for (const std::string_view pair : merged) names.insert(name_of_pair(pair));
  for (const std::string_view pair : split(old_cookies, pair_separator)) {
    if (names.insert(name_of_pair(pair)).second) merged.push_back(pair);
  }
  Text kept;
  for (const std::string_view pair : merged) {
    if (ends_with_deleted(pair)) continue;
    kept.append(pair).append(pair_separator);
  }
  kept.resize(kept.size() - std::min(kept.size(), pair_separator.size()));
  old_cookies = join_unique_pieces(split(kept, pair_separator), pair_separator);
  return old_cookies;
}

Text cookie_name(const Text& pair) { return Text(name_of_pair(pair)); }

bool cookie_list_has_name(const TextArray& pairs, const Text& name) {
  for (const Text& pair : pairs) {
    if (name_of_pair(pair) == name) return true;
  }
  return false;
}

Text join_unique(const Text& text, const Text& separator, bool split_by_separator) {
  return join_unique_pieces(split_by_separator ? split(text, separator) : character_pieces(text),
                            separator);
}

std::int32_t split_characters(const Text& text, TextArray& pieces) {
  pieces.clear();
  for (const std::string_view piece : character_pieces(text)) pieces.emplace_back(piece);
  return static_cast<std::int32_t>(pieces.size());
}

std::int32_t text_array_find(const TextArray& list, const Text& text) {
  for (std::size_t index = 0; index < list.size(); ++index) {
    if (list[index] == text) return static_cast<std::int32_t>(index + 1);
  }
  return -1;
}

}  // namespace net
