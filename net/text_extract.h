// Marker text extraction: the piece of a GBK text right of, left of or between marker texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net/text.h"

namespace net {

// The text after the chosen occurrence of marker, or the empty text.
// start >= 0: the last occurrence within the first size - start bytes (0: the whole text).
// start < 0: the first occurrence at or after byte -start (1-based).
Text text_right_of(const Text& text, const Text& marker, std::int32_t start = 0,
                   bool ignore_case = false);

// The text before the chosen occurrence of marker, or the empty text.
// start >= 0: the first occurrence at or after byte start (0 and 1: the beginning).
// start < 0: the last occurrence within the first size + start bytes (-1: the whole text).
Text text_left_of(const Text& text, const Text& marker, std::int32_t start = 0,
                  bool ignore_case = false);

// The text between the first left marker at or after byte start (1-based) and the first right
// marker after it, or the empty text. In both markers "#引号" stands for a double quote.
Text text_between(const Text& text, const Text& left_marker, const Text& right_marker,
                  std::int32_t start = 0, bool ignore_case = false);

// The marker search all extraction rests on. Candidate positions are visited character by
// character from the first byte of the window, by code page 936's rule (net/gbk.h): a lead byte
// (0x81 to 0xFE) starts a double-byte character that is stepped over whole, so an occurrence
// only counts where a character begins; 0x80 (the euro sign) is a character of one byte.
// ignore_case folds ASCII letters that are characters of their own; the trail byte of a
// double-byte character is compared as it is. Each byte of the text is read a bounded number of
// times, whatever the marker.

// 0-based offset of the first occurrence starting at or after byte offset from (the walk starts
// there), or Text::npos. An empty marker is found at from when from < text.size().
std::size_t find_marker(std::string_view text, std::string_view marker, std::size_t from,
                        bool ignore_case = false);

// 0-based offset of the last occurrence lying wholly within the first window bytes (the walk
// starts at the beginning of the text), or Text::npos. An empty marker is found at 0 when the
// window is not empty.
std::size_t find_last_marker(std::string_view text, std::string_view marker, std::size_t window,
                             bool ignore_case = false);

// The text with every "#引号" replaced by a double quote (left to right, exact bytes).
Text unescape_quotes(const Text& text);

}  // namespace net
