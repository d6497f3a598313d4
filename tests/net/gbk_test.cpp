#include "net/gbk.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace net::gbk {
namespace {

TEST(Gbk, LeadBytesAreThoseOfCodePage936) {
  struct Case {
    unsigned char byte;
    bool lead;
  };
  const std::vector<Case> cases = {
      {0x00, false}, {'|', false}, {0x7F, false}, {0x80, false},  // 0x80: the euro sign
      {0x81, true},  {0xB0, true}, {0xFE, true},  {0xFF, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_lead_byte(c.byte), c.lead) << int{c.byte};
    EXPECT_EQ(is_lead_byte(static_cast<char>(c.byte)), c.lead) << int{c.byte};
  }
}

TEST(Gbk, CharactersAreSteppedWhole) {
  struct Case {
    std::string_view text;
    std::size_t at;
    std::size_t length;
  };
  const std::vector<Case> cases = {
      {"a|", 0, 1},
      {"\x80|", 0, 1},      // the euro sign is one byte: the separator after it stands
      {"\x81|", 0, 2},      // a trail byte may have the code of "|"
      {"\xD6\xD0x", 0, 2},  // 中
      {"\xD6\xD0x", 1, 2},  // a walk begun on a trail byte takes it as a lead
      {"x\xB0", 1, 1},      // a lead byte at the very end stands alone
      {"\xFF|", 0, 1},      // 0xFF leads nothing
      {"\x80\x80\x41", 1, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(char_length(c.text, c.at), c.length) << c.text << " at " << c.at;
    EXPECT_EQ(next_char(c.text, c.at), c.at + c.length) << c.text << " at " << c.at;
  }
}

TEST(Gbk, AsciiCaseFolding) {
  EXPECT_EQ(ascii_lower('A'), 'a');
  EXPECT_EQ(ascii_lower('Z'), 'z');
  EXPECT_EQ(ascii_lower('a'), 'a');
  EXPECT_EQ(ascii_lower('@'), '@');
  EXPECT_EQ(ascii_lower('['), '[');
  EXPECT_EQ(ascii_lower('\xC1'), '\xC1');  // no folding beyond ASCII
  EXPECT_EQ(ascii_upper('a'), 'A');
  EXPECT_EQ(ascii_upper('z'), 'Z');
  EXPECT_EQ(ascii_upper('`'), '`');
  EXPECT_EQ(ascii_upper('{'), '{');
  EXPECT_EQ(ascii_upper('\xE1'), '\xE1');
  EXPECT_TRUE(equal_ignoring_ascii_case("Content-Type", "content-TYPE"));
  EXPECT_FALSE(equal_ignoring_ascii_case("Content-Type", "content-type "));
}

TEST(Gbk, IgnoringCaseFoldsOnlyLettersThatStandAlone) {
  struct Case {
    std::string_view text;
    std::string_view pattern;
    std::size_t agreement;
    bool equal;
  };
  const std::vector<Case> cases = {
      {"HOST", "host", 4, true},
      {"\xB0\x41", "\xB0\x61", 0, false},  // two characters, not one in two cases
      {"\xB0\x61", "\xB0\x61", 2, true},
      {"A\xB0\x41", "a\xB0\x61", 1, false},
      {"\x80"
       "A",
       "\x80"
       "a",
       2, true},  // after the euro sign a letter stands alone
      {"\x81"
       "A",
       "\x81"
       "a",
       0, false},            // after a lead byte it is a trail byte
      {"[", "{", 0, false},  // these differ by the case bit but are no letters
      {"ab", "AB", 2, true},
      {"abc", "AB", 2, false},
      {"", "", 0, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(agreement_ignoring_case(c.text, c.pattern), c.agreement) << c.text;
    EXPECT_EQ(equal_ignoring_case(c.text, c.pattern), c.equal) << c.text;
  }
}

}  // namespace
}  // namespace net::gbk
