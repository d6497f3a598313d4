// Header blocks and cookie texts: normalising header names, reading a header, merging cookies.
#pragma once

#include <cstdint>
#include <string_view>

#include "net/text.h"

namespace net {

// The header block with every name capitalised segment by segment ("content-type" becomes
// "Content-Type"); lines without a colon are dropped, values are left as they are. Lines are
// joined by CR LF with none after the last one.
Text normalize_headers(const Text& block);

// The value of the first line of the block that begins with name (case-sensitive): the text
// after the last name + ": " in that line, or the empty text.
Text header_value(const Text& block, const Text& name);

// Folds the cookies received (new_cookies) into the cookies sent (old_cookies): new pairs first,
// then the old pairs whose name no new pair has, without pairs set to "deleted" and without
// exact repeats. Both inputs are normalised in place (trimmed; a final ";" becomes "; "); on
// return old_cookies holds the merged text, which is also returned.
Text merge_cookies(Text& old_cookies, Text& new_cookies);

// The text without spaces and full-width spaces (A1 A1) at both ends, walking whole characters;
// tabs, CR and LF stay.
std::string_view trim_spaces(std::string_view text);

// The text with its first byte upper-cased when that is an ASCII lower-case letter.
Text capitalize_first(const Text& text);

// The name of a cookie pair: the part before its first "=" (or the whole pair), trimmed of
// spaces and full-width spaces.
Text cookie_name(const Text& pair);

// Whether some pair of the list has the given name.
bool cookie_list_has_name(const TextArray& pairs, const Text& name);

// The distinct pieces of text, first occurrences in order, joined by separator. The pieces are
// cut at the separator when split_by_separator is true, else they are the characters of text.
Text join_unique(const Text& text, const Text& separator, bool split_by_separator);

// Replaces pieces by the characters of text (a double-byte character or a CR LF pair is one
// piece) and returns their number.
std::int32_t split_characters(const Text& text, TextArray& pieces);

// The 1-based index of the first element equal to text, or -1.
std::int32_t text_array_find(const TextArray& list, const Text& text);

}  // namespace net
