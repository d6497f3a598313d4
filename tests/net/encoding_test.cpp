#include "net/encoding.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace net {
namespace {

Bytes bytes(std::initializer_list<int> values) {
  Bytes result;
  for (const int value : values) result.push_back(static_cast<std::uint8_t>(value));
  return result;
}

TEST(Encoding, GbkToUtf16) {
  struct Case {
    Text text;
    bool drop_terminator;
    Bytes expected;
  };
  const std::vector<Case> cases = {
      {"", false, {}},
      {"", true, {}},
      {"A", false, bytes({0x41, 0, 0, 0})},
      {"A", true, bytes({0x41, 0})},
      {"\xD6\xD0", false, bytes({0x2D, 0x4E, 0, 0})},  // 中, one unit
      {"\xD6\xD0", true, bytes({0x2D, 0x4E})},
      {"\x80", false, bytes({0xAC, 0x20, 0, 0})},     // the euro sign of code page 936
      {"\x80|", true, bytes({0xAC, 0x20, 0x7C, 0})},  // one byte: the next one stands alone
      {"\x80\xD6\xD0", true, bytes({0xAC, 0x20, 0x2D, 0x4E})},
      {Text("a\0b", 3), false, bytes({0x61, 0, 0, 0})},  // the text ends at its first NUL
      {Text("\0b", 2), false, {}},
      {"a\xB0", false, bytes({0x61, 0, 0xFD, 0xFF, 0, 0})},  // a lone lead byte at the end
  };
  for (const Case& c : cases) {
    EXPECT_EQ(gbk_to_utf16(c.text, c.drop_terminator), c.expected)
        << c.text << " " << c.drop_terminator;
  }
}

TEST(Encoding, Utf16ToGbk) {
  struct Case {
    Bytes units;
    Text expected;
  };
  const std::vector<Case> cases = {
      {bytes({0x41, 0, 0x42, 0}), "AB"},
      {bytes({0x41, 0, 0, 0, 0x42, 0}), "A"},
      {{}, ""},
      {bytes({0x41, 0, 0x42}), "A"},  // an odd final byte is dropped
      {bytes({0x2D, 0x4E, 0, 0}), "\xD6\xD0"},
      {bytes({0x65, 0, 0x01, 0x03, 0, 0}), "\xA8\xA6"},  // e + combining acute = é
      {bytes({0x2C, 0xF9}), "\xFD\x9C"},                 // a compatibility ideograph stays itself
      {bytes({0x01, 0x0E}), "?"},                        // Thai: not in GBK
      {bytes({0x00, 0xD8, 0x41, 0x00}), "?A"},           // a lone surrogate
      {bytes({0x3D, 0xD8, 0x00, 0xDE}), "?"},            // a character beyond the BMP
      {bytes({0x41, 0x00, 0x01, 0x03}), "?"},            // Á: composed, but not in GBK
      {bytes({0x71, 0x00, 0x01, 0x03}), "q?"},           // no precomposed form: left apart
  };
  for (const Case& c : cases) EXPECT_EQ(utf16_to_gbk(c.units), c.expected);
}

TEST(Encoding, CodepageToUtf16) {
  struct Case {
    Text text;
    int code_page;
    Bytes expected;
  };
  const std::vector<Case> cases = {
      {"", 65001, bytes({0, 0})},
      {"A", 65001, bytes({0x41, 0, 0, 0})},
      {"\xE4\xB8\xAD", 65001, bytes({0x2D, 0x4E, 0, 0})},
      {"\xD6\xD0", 936, bytes({0x2D, 0x4E, 0, 0})},
      {"\xD6\xD0", 0, bytes({0x2D, 0x4E, 0, 0})},
      {"\xFF", 65001, bytes({0xFD, 0xFF, 0, 0})},
      {"\xF0\x9F\x98\x80", 65001, bytes({0x3D, 0xD8, 0x00, 0xDE, 0, 0})},
      {"\xE9", 1252, bytes({0xE9, 0, 0, 0})},
      {"A", 12345, bytes({0, 0})},  // no such code page
  };
  for (const Case& c : cases)
    EXPECT_EQ(codepage_to_utf16(c.text, c.code_page), c.expected) << c.text;
}

TEST(Encoding, Utf16ToCodepage) {
  struct Case {
    Bytes units;
    int code_page;
    Text expected;
  };
  const std::vector<Case> cases = {
      {bytes({0x2D, 0x4E, 0, 0}), 0, "\xD6\xD0"},
      {bytes({0x2D, 0x4E, 0, 0}), 936, "\xD6\xD0"},
      {bytes({0x2D, 0x4E, 0, 0}), 65001, "\xE4\xB8\xAD"},
      {bytes({0x41, 0, 0, 0, 0x42, 0}), 65001, "A"},
      {bytes({0x65, 0, 0x01, 0x03, 0, 0}), 936, "e?"},  // no composition here
      {{}, 0, ""},
      {bytes({0x41, 0}), 12345, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(utf16_to_codepage(c.units, c.code_page), c.expected);
}

TEST(Encoding, Utf8ToGbk) {
  const std::vector<std::pair<Text, Text>> cases = {
      {"\xE4\xB8\xAD", "\xD6\xD0"},
      {"hello, world", "hello, world"},
      {"", ""},
      {"\xFF", "?"},
      {"a\xE4\xB8", "a?"},  // a truncated sequence at the end
      {Text("a\0b", 3), "a"},
      {"\xF0\x9F\x98\x80", "?"},
      {"\xE2\x82\xAC", "\x80"},
      {"\xE6\xA0\x8E\xE6\xB9\xBE", "\xE8\xDD\xCD\xE5"},  // 栎湾
  };
  for (const auto& [utf8, gbk] : cases) {
    EXPECT_EQ(utf8_to_gbk(utf8), gbk) << utf8;
    // The direct conversion gives what the two general steps give.
    EXPECT_EQ(utf8_to_gbk(utf8), utf16_to_codepage(codepage_to_utf16(utf8), 936)) << utf8;
  }
}

// Every character of code page 936 survives the trip to UTF-16 and back byte for byte.
TEST(Encoding, EveryGbkCharacterRoundTrips) {
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const Text character{static_cast<char>(lead), static_cast<char>(trail)};
      const Bytes units = gbk_to_utf16(character);
      ASSERT_EQ(units.size(), 4u);
      if (units[0] == 0xFD && units[1] == 0xFF) continue;  // not a character of the code page
      EXPECT_EQ(utf16_to_gbk(units), character) << std::hex << lead << trail;
      EXPECT_EQ(utf8_to_gbk(gbk_to_utf8(character)), character) << std::hex << lead << trail;
    }
  }
  for (int byte = 1; byte <= 0x80; ++byte) {
    const Text character(1, static_cast<char>(byte));
    EXPECT_EQ(utf16_to_gbk(gbk_to_utf16(character)), character) << byte;
  }
}

// The table-driven GBK decoding gives what ICU's converter gives, also for broken input.
TEST(Encoding, GbkDecodingMatchesTheConverterOnAnyBytes) {
  std::vector<Text> texts = {
      "\x81\x20", "\x81\x7F", "\x81\xFF", "\x81\x81\x40", "\xFF\xFF",     "\x80\x80\x41",
      "\xA2\xA0", "\xD7\xFA", "\xB0",     "a\xB0\n\xB0",  "\xFE\xFE\xFE", "\x81\x30\x81\x30",
  };
  std::uint32_t state = 12345;
  for (int i = 0; i < 2000; ++i) {
    Text text;
    for (int n = 0; n < 12; ++n) {
      state = state * 1103515245u + 12345u;
      text.push_back(static_cast<char>((state >> 16) % 255 + 1));
    }
    texts.push_back(text);
  }
  for (const Text& text : texts) {
    EXPECT_EQ(gbk_to_utf16(text), codepage_to_utf16(text, 936)) << text;
  }
}

TEST(Encoding, CharsetToGbk) {
  struct Case {
    Bytes body;
    Text charset;
    std::optional<Text> expected;
  };
  const std::vector<Case> cases = {
      {bytes({0xE4, 0xB8, 0xAD}), "utf-8", "\xD6\xD0"},
      {bytes({0xE4, 0xB8, 0xAD}), "UTF-8", "\xD6\xD0"},
      {bytes({0xEF, 0xBB, 0xBF, 0x61}), "utf-8", "a"},
      {bytes({0x81, 0x40, 0xD6, 0xD0}), "GB2312", "\x81\x40\xD6\xD0"},  // GBK beyond GB 2312
      {bytes({0x81, 0x40}), "x-gbk", "\x81\x40"},
      {bytes({0xA4, 0xA4}), "big5", "\xD6\xD0"},
      {bytes({0x80, 0x41}), "iso-8859-1", "\x80\x41"},  // read as windows-1252: the euro sign
      {bytes({0x41, 0x00, 0x42}), "utf-8", "A"},
      {bytes({0x41}), "", std::nullopt},
      {bytes({0x41}), "no-such-charset", std::nullopt},
  };
  for (const Case& c : cases) {
    const Result<Text> decoded = charset_to_gbk(c.body, c.charset);
    EXPECT_EQ(decoded.ok(), c.expected.has_value()) << c.charset;
    if (decoded.ok() && c.expected) {
      EXPECT_EQ(*decoded, *c.expected) << c.charset;
    }
    if (!decoded.ok()) {
      EXPECT_FALSE(decoded.failure().reason.empty()) << c.charset;
    }
  }
}

TEST(Encoding, U16StringConversions) {
  EXPECT_EQ(gbk_to_u16string("a\xD6\xD0"), u"a\u4E2D");
  EXPECT_EQ(gbk_to_u16string(""), u"");
  EXPECT_EQ(u16string_to_gbk(u"a\u4E2D"), "a\xD6\xD0");
  EXPECT_EQ(u16string_to_gbk(std::u16string(u"a\0b", 3)), "a");
}

}  // namespace
}  // namespace net
