#include "net/text_extract.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "net/encoding.h"

namespace net {
namespace {

enum class Operation { right_of, left_of };

struct ExtractCase {
  Operation operation;
  Text text;
  Text marker;
  std::int32_t start;
  bool ignore_case;
  Text expected;
};

Text extract(const ExtractCase& c) {
  return c.operation == Operation::right_of
             ? text_right_of(c.text, c.marker, c.start, c.ignore_case)
             : text_left_of(c.text, c.marker, c.start, c.ignore_case);
}

std::string describe(const ExtractCase& c) {
  return std::string(c.operation == Operation::right_of ? "text_right_of(" : "text_left_of(") +
         "\"" + c.text + "\", \"" + c.marker + "\", " + std::to_string(c.start) +
         (c.ignore_case ? ", ignore case)" : ")");
}

void expect_cases(const std::vector<ExtractCase>& cases) {
  for (const ExtractCase& c : cases) EXPECT_EQ(extract(c), c.expected) << describe(c);
}

struct BetweenCase {
  Text text;
  Text left_marker;
  Text right_marker;
  std::int32_t start;
  bool ignore_case;
  Text expected;
};

constexpr auto right = Operation::right_of;
constexpr auto left = Operation::left_of;

TEST(TextExtract, StartPositionsPickTheOccurrenceInBothDirections) {
  const Text text = "a=1;b=2;c=3";
  expect_cases({
      {right, text, ";", 0, false, "c=3"},
      {right, text, ";", 3, false, "c=3"},
      {right, text, ";", 4, false, "b=2;c=3"},
      {right, text, ";", -1, false, "b=2;c=3"},
      {right, text, ";", -5, false, "c=3"},
      {right, text, ";", -12, false, ""},
      {right, text, ";", 11, false, ""},
      {left, text, ";", 0, false, "a=1"},
      {left, text, ";", 1, false, "a=1"},
      {left, text, ";", 5, false, "a=1;b=2"},
      {left, text, ";", -1, false, "a=1;b=2"},
      {left, text, ";", -3, false, "a=1;b=2"},
      {left, text, ";", -4, false, "a=1"},
      {left, text, ";", -8, false, ""},
      {left, text, ";", 9, false, ""},
  });
}

TEST(TextExtract, MarkerEdgesAndDefaultDirections) {
  expect_cases({
      {right, "Connection: keep-alive", "Connection: ", 0, false, "keep-alive"},
      {right, "k: a: b", ": ", 0, false, "b"},
      {left, "k: a: b", ": ", 0, false, "k"},
      {right, "x;", ";", 0, false, ""},
      {right, "x;", ";", 1, false, ""},
      {left, "a;b;", ";", -1, false, "a;b"},
      {left, "a;b;", ";", -2, false, "a"},
      {left, ";abc", ";", 0, false, ""},
      {right, "abc", "abc", 0, false, ""},
      {right, "abc", "abcd", 0, false, ""},
      {right, "abc", "x", 0, false, ""},
      {left, "abc", "x", 0, false, ""},
  });
}

TEST(TextExtract, IgnoreCaseFoldsAsciiLettersOnly) {
  expect_cases({
      {right, "ABab", "b", 0, true, ""},
      {right, "ABab", "B", 0, false, "ab"},
      {right, "ABab", "b", -1, true, "ab"},
      {left, "xxHOSTyy", "host", 0, true, "xx"},
      {left, "xxHOSTyy", "host", 0, false, ""},
      {left, "a[b", "{", 0, true, ""},  // '[' and '{' differ by the case bit but are no letters
      {left, "a@b", "`", 0, true, ""},
  });
}

TEST(TextExtract, EmptyTextAndEmptyMarker) {
  expect_cases({
      {right, "", ";", 0, false, ""},
      {left, "", ";", 0, false, ""},
      {right, "", "", 0, false, ""},
      {right, "abc", "", 0, false, "abc"},  // found at the first byte of the window
      {right, "abc", "", -2, false, "bc"},
      {left, "abc", "", 0, false, ""},
      {left, "abc", "", -1, false, ""},
      {right, "abc", "", -4, false, ""},  // empty window: not found
  });
}

TEST(TextExtract, DoubleByteCharactersAreSteppedOverWhole) {
  const Text zhong = utf8_to_gbk("中");  // D6 D0
  ASSERT_EQ(zhong, "\xD6\xD0");
  // 0xB0 0x3B is one double-byte character whose trail byte equals ';'.
  const Text trail_semicolon = "\xB0;";
  expect_cases({
      {right, "a" + trail_semicolon + "b;c", ";", 0, false, "c"},
      {right, "a" + trail_semicolon + "b", ";", 0, false, ""},
      {left, "a" + trail_semicolon + "b", ";", 0, false, ""},
      {left, "a" + trail_semicolon + "b;c", ";", 0, false, "a" + trail_semicolon + "b"},
      {left, zhong + zhong + "x", "\xD0\xD6", 0, false, ""},  // spans two characters
      {left, zhong + "=" + zhong, "=", 0, false, zhong},
      {right, zhong + "=" + zhong, "=", 0, false, zhong},
      // The walk starts at the window's first byte, even inside a character.
      {right, trail_semicolon + "x", ";", -2, false, "x"},
      // A lead byte as last byte of the text is a position of its own.
      {left, "ab\xB0", "\xB0", 0, false, "ab"},
      {right, "ab\xB0", "\xB0", 0, false, ""},
      {left, "ab\xB0", "b\xB0", 0, false, "a"},
      // 0x80 is a character of its own (the euro sign), not a lead byte.
      {left, "\x80;;", ";", 0, false, "\x80"},
      // Ignoring case folds ASCII letters that stand alone, never the trail byte of a
      // double-byte character: B0 41 and B0 61 are two different characters.
      {left, "\xB0\x41x\xB0\x61", "\xB0\x61", 0, true, "\xB0\x41x"},
      {left, "x\xB0\x41", "\xB0\x61", 0, true, ""},
      {left, "x\xB0\x61", "\xB0\x61", 0, true, "x"},
      {left, "xA\xB0\x61", "a\xB0\x61", 0, true, "x"},
      {right, "\xB0\x41y\xB0\x41Z", "\xB0\x41z", 0, true, ""},
      {right, "\xB0\x61y\xB0\x41Z", "\xB0\x41z", 0, true, ""},
  });
}

// The euro sign is the single byte 0x80 in code page 936: a marker right after it, or right
// before it, is found, in both directions and with case ignored or not.
TEST(TextExtract, EuroSignNextToMarkers) {
  const Text euro = "\x80";
  ASSERT_EQ(utf8_to_gbk("€"), euro);
  expect_cases({
      {left, euro + ";x", ";", 0, false, euro},
      {right, euro + ";x", ";", 0, false, "x"},
      {right, euro + ";x", ";", -1, false, "x"},
      {left, euro + ";x", ";", -1, false, euro},
      {left, "a" + euro + "|b", "|", 0, false, "a" + euro},
      {right, "a" + euro + "|b", "|", 0, false, "b"},
      {right, "x;" + euro, ";", 0, false, euro},
      {left, "x;" + euro, ";", 0, false, "x"},
      {right, "x" + euro + euro + "=1", "=", 0, false, "1"},
      {left, euro + "HOST: y", "host:", 0, true, euro},
      {right, euro + "HOST: y", "host: ", 0, true, "y"},
      {right, euro + "HOST: y", "host: ", -1, true, "y"},
      {left, euro + euro + "a", euro + "a", 0, false, euro},
      {right, "a" + euro + "b", euro, 0, false, "b"},
      {left, "a" + euro + "b", euro, -1, false, "a"},
      // A euro sign right before a double-byte character leaves that character whole.
      {left, euro + "\xB0;;", ";", 0, false, euro + "\xB0;"},
  });
  const std::vector<BetweenCase> between_cases = {
      {euro + "<a>1</a>", "<a>", "</a>", 0, false, "1"},
      {"<a>" + euro + "</a>", "<a>", "</a>", 0, false, euro},
      {"<a>1" + euro + "</a>", "<a>", "</a>", 0, false, "1" + euro},
      {euro + "\"v\"", utf8_to_gbk("#引号"), "\"", 0, false, "v"},
      {euro + "<A>x" + euro + "</a>", "<a>", "</A>", 0, true, "x" + euro},
      {"k=" + euro + ";", "k=", ";", 0, false, euro},
  };
  for (const BetweenCase& c : between_cases) {
    EXPECT_EQ(text_between(c.text, c.left_marker, c.right_marker, c.start, c.ignore_case),
              c.expected)
        << c.text << " | " << c.left_marker << " | " << c.right_marker;
  }
}

TEST(TextExtract, NulBytesAreOrdinaryBytes) {
  const Text text("a\0b;c", 5);
  expect_cases({
      {right, text, ";", 0, false, "c"},
      {left, text, ";", 0, false, Text("a\0b", 3)},
      {left, text, Text("\0", 1), 0, false, "a"},
  });
}

TEST(TextExtract, ExtremeStartsYieldTheEmptyTextOrTheDefault) {
  const Text text = "a;b";
  expect_cases({
      {right, text, ";", INT32_MAX, false, ""},
      {right, text, ";", INT32_MIN, false, ""},
      {left, text, ";", INT32_MAX, false, ""},
      {left, text, ";", INT32_MIN, false, ""},
      {right, text, ";", INT32_MIN + 1, false, ""},
  });
  EXPECT_EQ(text_between("<a>1</a>", "<a>", "</a>", INT32_MIN), "1");
  EXPECT_EQ(text_between("<a>1</a>", "<a>", "</a>", INT32_MAX), "");
}

TEST(TextExtract, TextBetween) {
  const Text quote = utf8_to_gbk("#引号");
  const Text code = utf8_to_gbk("校验码");
  const std::vector<BetweenCase> cases = {
      {"<a>1</a><a>2</a>", "<a>", "</a>", 0, false, "1"},
      {"<a>1</a><a>2</a>", "<a>", "</a>", 1, false, "1"},
      {"<a>1</a><a>2</a>", "<a>", "</a>", 2, false, "2"},
      {"<a>1</a><a>2</a>", "<a>", "</a>", 10, false, ""},
      {"a\"b\"c", quote, quote, 0, false, "b"},
      {"a\"b\"c", "\"", "\"", 0, false, "b"},
      {"x=\"v\"", "x=" + quote, quote, 0, false, "v"},
      {"ab", "a", "b", 0, false, ""},
      {"a-b", "a", "c", 0, false, ""},
      {"a-b", "c", "b", 0, false, ""},
      {"<A>x</a>", "<a>", "</A>", 0, true, "x"},
      {"<A>x</a>", "<a>", "</A>", 0, false, ""},
      {"[" + code + "]", "[", "]", 0, false, code},
      {"ab", "ab", "", 0, false, ""},
      {"abc", "a", "", 0, false, ""},
      {"abc", "", "c", 0, false, "ab"},
      {"", "", "", 0, false, ""},
      {quote + "x\"", quote, "\"", 0, false, ""},  // the searched text is never rewritten
  };
  for (const BetweenCase& c : cases) {
    EXPECT_EQ(text_between(c.text, c.left_marker, c.right_marker, c.start, c.ignore_case),
              c.expected)
        << c.text << " | " << c.left_marker << " | " << c.right_marker << " | " << c.start;
  }
}

TEST(TextExtract, QuoteEscapeBelongsToTextBetweenOnly) {
  const Text quote = utf8_to_gbk("#引号");
  const Text text = "a\"b" + quote + "c";
  EXPECT_EQ(text_right_of(text, quote), "c");
  EXPECT_EQ(text_left_of(text, quote), "a\"b");
  EXPECT_EQ(text_right_of(text, "\""), "b" + quote + "c");
  EXPECT_EQ(unescape_quotes(quote + quote + "#" + quote), "\"\"#\"");
  EXPECT_EQ(unescape_quotes("plain"), "plain");
}

TEST(TextExtract, MarkerSearchPositions) {
  // Forward: the first occurrence at or after `from`, the walk starting there.
  EXPECT_EQ(find_marker("a;b;c", ";", 0), 1u);
  EXPECT_EQ(find_marker("a;b;c", ";", 2), 3u);
  EXPECT_EQ(find_marker("a;b;c", ";", 4), Text::npos);
  EXPECT_EQ(find_marker("a;b;c", "", 4), 4u);
  EXPECT_EQ(find_marker("a;b;c", "", 5), Text::npos);
  EXPECT_EQ(find_marker("\xB0;;", ";", 0), 2u);
  EXPECT_EQ(find_marker("\xB0;;", ";", 1), 1u);
  // Backward: the occurrence that starts last among those lying within the window.
  EXPECT_EQ(find_last_marker("a;b;c", ";", 5), 3u);
  EXPECT_EQ(find_last_marker("a;b;c", ";", 3), 1u);
  EXPECT_EQ(find_last_marker("a;b;c", ";", 1), Text::npos);
  EXPECT_EQ(find_last_marker("a;b;c", ";", 100), 3u);
  EXPECT_EQ(find_last_marker("a;b;c", "", 0), Text::npos);
  EXPECT_EQ(find_last_marker("a;b;c", "", 2), 0u);
  EXPECT_EQ(find_last_marker("\xB0;\xB0;", ";", 4), Text::npos);
  EXPECT_EQ(find_last_marker("aa\xB0;\xB0;", "a", 6), 1u);
  EXPECT_EQ(find_last_marker("aaAA", "a", 4, true), 3u);
}

// A long stretch of double-byte characters without any single-byte pair: the search has to
// walk it from the start to know where characters begin.
TEST(TextExtract, LongDoubleByteStretches) {
  Text text;
  for (int i = 0; i < 1000; ++i) text += "\xB0;a";  // character B0 3B, then 'a'
  EXPECT_EQ(text_left_of(text, ";"), "");
  EXPECT_EQ(text_right_of(text, ";"), "");
  EXPECT_EQ(text_right_of(text + ";z", ";"), "z");
  EXPECT_EQ(text_left_of("x" + text, ";", 3), "x\xB0");  // the walk starts on the trail byte
  EXPECT_EQ(find_last_marker(text, "a", text.size()), text.size() - 1);
  EXPECT_EQ(find_marker(text, ";a", 0), Text::npos);
  EXPECT_EQ(find_last_marker(text, ";a", text.size()), Text::npos);
}

// The marker search as its rule reads, one character start after another, for comparison.
bool plain_equal(std::string_view here, std::string_view marker, bool ignore_case) {
  const auto lower = [](char byte) {
    return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + 32) : byte;
  };
  bool trail = false;
  for (std::size_t i = 0; i < marker.size(); ++i) {
    const bool fold = ignore_case && !trail;
    if (fold ? lower(here[i]) != lower(marker[i]) : here[i] != marker[i]) return false;
    const auto byte = static_cast<unsigned char>(marker[i]);
    trail = !trail && byte >= 0x81 && byte <= 0xFE && i + 1 < marker.size();
  }
  return true;
}

std::vector<std::size_t> plain_occurrences(std::string_view text, std::string_view marker,
                                           std::size_t origin, bool ignore_case) {
  std::vector<std::size_t> found;
  for (std::size_t at = origin; at < text.size();) {
    if (at + marker.size() <= text.size() &&
        plain_equal(text.substr(at, marker.size()), marker, ignore_case))
      found.push_back(at);
    const auto byte = static_cast<unsigned char>(text[at]);
    at += byte >= 0x81 && byte <= 0xFE && at + 1 < text.size() ? 2 : 1;
  }
  return found;
}

std::size_t plain_find(std::string_view text, std::string_view marker, std::size_t from,
                       bool ignore_case) {
  const auto found = plain_occurrences(text, marker, from, ignore_case);
  return found.empty() ? Text::npos : found.front();
}

std::size_t plain_find_last(std::string_view text, std::string_view marker, std::size_t window,
                            bool ignore_case) {
  std::size_t last = Text::npos;
  for (const std::size_t at : plain_occurrences(text, marker, 0, ignore_case)) {
    if (at + marker.size() <= window) last = at;
  }
  return last;
}

Text random_text(std::mt19937& random, std::size_t size, std::string_view alphabet) {
  Text text;
  for (std::size_t i = 0; i < size; ++i) text += alphabet[random() % alphabet.size()];
  return text;
}

TEST(TextExtract, MarkerSearchAgreesWithAPlainWalk) {
  std::mt19937 random(7);
  const std::string_view alphabet = "aAbB;\x80\xB0\x81@";
  for (int round = 0; round < 20000; ++round) {
    const Text text = random_text(random, random() % 12, alphabet);
    const Text marker = random_text(random, 1 + random() % 3, alphabet);
    const std::size_t offset = random() % (text.size() + 1);
    const bool ignore_case = random() % 2;
    ASSERT_EQ(find_marker(text, marker, offset, ignore_case),
              offset < text.size() ? plain_find(text, marker, offset, ignore_case) : Text::npos)
        << text << " | " << marker << " | " << offset << " | " << ignore_case;
    ASSERT_EQ(find_last_marker(text, marker, offset, ignore_case),
              plain_find_last(text, marker, offset, ignore_case))
        << text << " | " << marker << " | " << offset << " | " << ignore_case;
  }
}

// Long runs where every byte begins a candidate that fails only near the marker's end: the
// search must still find exactly what the plain walk finds, in both directions.
TEST(TextExtract, LongNearMissesFindTheSameOccurrences) {
  std::mt19937 random(11);
  for (int round = 0; round < 40; ++round) {
    const bool ignore_case = round % 2;
    Text marker(200 + random() % 200, 'a');
    marker.back() = 'b';
    if (round % 4 >= 2) marker[random() % (marker.size() - 1)] = 'A';
    Text text = random_text(random, 6000 + random() % 6000, "aaaaaaaaaaaaaaaaaaaaA\xB0");
    const Text placed = round % 3 == 0 ? marker : random_text(random, marker.size(), "aAb");
    text.insert(random() % text.size(), placed);
    text.insert(random() % text.size(), "\xB0" + marker);
    const std::size_t from = random() % 100;
    ASSERT_EQ(find_marker(text, marker, from, ignore_case),
              plain_find(text, marker, from, ignore_case))
        << round;
    const std::size_t window = text.size() - random() % 300;
    ASSERT_EQ(find_last_marker(text, marker, window, ignore_case),
              plain_find_last(text, marker, window, ignore_case))
        << round;
  }
}

// A marker a...ab of 10,000 bytes over 4 MiB of a: compared position by position this takes
// minutes when case is ignored; the search reads each byte a bounded number of times.
TEST(TextExtract, LongMarkerOverARunOfItsPrefixEndsQuickly) {
  const Text text(4u << 20, 'a');
  Text marker(10000, 'a');
  marker.back() = 'b';
  const auto began = std::chrono::steady_clock::now();
  for (const bool ignore_case : {false, true}) {
    EXPECT_EQ(text_right_of(text, marker, -1, ignore_case), "");
    EXPECT_EQ(text_left_of(text, marker, -1, ignore_case), "");
    EXPECT_EQ(text_between(text + marker + "x", marker, "x", 0, ignore_case), "");
    EXPECT_EQ(text_right_of(text + marker + "x", marker, 0, ignore_case), "x");
  }
  // Well under a second here; a scan comparing every position needs minutes.
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(20));
}

}  // namespace
}  // namespace net
