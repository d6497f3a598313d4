// The rules of code page 936 (GBK) text that every walk over Text follows: one place, one rule.
#pragma once

#include <cstddef>
#include <string_view>

namespace net::gbk {

// Code page 936's own rule: 0x81-0xFE lead a double-byte character; 0x80 is a single byte (the
// euro sign) like every byte below 0x80 and 0xFF.
constexpr bool is_lead_byte(unsigned char byte) noexcept { return byte >= 0x81 && byte <= 0xFE; }
constexpr bool is_lead_byte(char byte) noexcept {
  return is_lead_byte(static_cast<unsigned char>(byte));
}

// Bytes taken by the character that starts at `at`: 2 for a lead byte with a byte after it,
// 1 otherwise (a lead byte at the very end stands alone). `at` must be inside the text.
constexpr std::size_t char_length(std::string_view text, std::size_t at) noexcept {
  return is_lead_byte(text[at]) && at + 1 < text.size() ? 2 : 1;
}

// The offset of the character after the one at `at`.
constexpr std::size_t next_char(std::string_view text, std::size_t at) noexcept {
  return at + char_length(text, at);
}

// ASCII case folding; every other byte, trail bytes included, is left as it is. Callers fold
// only bytes that start a character or that lie in ASCII text.
constexpr char ascii_lower(char byte) noexcept {
  return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
}
constexpr char ascii_upper(char byte) noexcept {
  return byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 'a' + 'A') : byte;
}

// How many bytes of pattern agree with text from its first byte on, with ASCII letters folded
// where they are characters of their own. The pattern is walked as GBK from its first byte: the
// trail byte of a double-byte character is compared exactly even when it has the code of a
// letter (B0 41 and B0 61 are two different characters, not one in two cases). Lead bytes are
// never letters, so both texts take the same walk wherever they agree. text must be at least
// as long as pattern.
constexpr std::size_t agreement_ignoring_case(std::string_view text,
                                              std::string_view pattern) noexcept {
  for (std::size_t i = 0; i < pattern.size();) {
    if (char_length(pattern, i) == 2) {
      if (text[i] != pattern[i] || text[i + 1] != pattern[i + 1]) return i;
      i += 2;
    } else {
      if (ascii_lower(text[i]) != ascii_lower(pattern[i])) return i;
      ++i;
    }
  }
  return pattern.size();
}

// Whether text equals pattern with ASCII letters folded where they are characters of their own
// (as above).
constexpr bool equal_ignoring_case(std::string_view text, std::string_view pattern) noexcept {
  return text.size() == pattern.size() && agreement_ignoring_case(text, pattern) == pattern.size();
}

// Byte-wise equality with ASCII letters folded, for texts known to be ASCII (header names,
// charset names): every byte is folded, whatever character it belongs to.
constexpr bool equal_ignoring_ascii_case(std::string_view left, std::string_view right) noexcept {
  if (left.size() != right.size()) return false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (ascii_lower(left[i]) != ascii_lower(right[i])) return false;
  }
  return true;
}

}  // namespace net::gbk
