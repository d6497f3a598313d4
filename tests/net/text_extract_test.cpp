#include "net/text_extract.h"

#include <gtest/gtest.h>

#include <climits>
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
      // 0x80 counts as a lead byte of the walk.
      {left, "\x80;;", ";", 0, false, "\x80;"},
      // Ignore-case also folds the bytes of double-byte characters.
      {left, "\xB0\x41x\xB0\x61", "\xB0\x61", 0, true, ""},
      {left, "x\xB0\x41", "\xB0\x61", 0, true, "x"},
  });
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

struct BetweenCase {
  Text text;
  Text left_marker;
  Text right_marker;
  std::int32_t start;
  bool ignore_case;
  Text expected;
};

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

}  // namespace
}  // namespace net
