#include "net/regex_object.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "net/encoding.h"

namespace net {
namespace {

const Text charset_pattern = "<meta.+?charset=[^\\w]?([-\\w]+)";

struct CharsetCase {
  Text subject;
  bool matches;
  Text charset;
};

TEST(RegexObject, CharsetDeclarations) {
  const std::vector<CharsetCase> cases = {
      {"<META content=text/html;CHARSET=GB2312>", true, "GB2312"},
      {"<meta charset='utf-8'>", true, "utf-8"},
      {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">", true, "big5"},
      {"<meta\ncharset=utf-8>", false, ""},      // the dot does not match a line feed
      {"<meta\rcharset=utf-8>", true, "utf-8"},  // but it does match a carriage return
      {"<html><body>no declaration</body>", false, ""},
      {"<meta charset=\"x_y-1\xD6\xD0\">", true, "x_y-1"},  // the word class is ASCII only
      {"<meta charset=\xD6\xD0gbk>", true, "gbk"},  // 中 is the one non-word character allowed
  };
  for (const CharsetCase& c : cases) {
    RegexObject regex;
    EXPECT_TRUE(regex.create(charset_pattern, c.subject)) << c.subject;
    EXPECT_EQ(regex.match_count(), c.matches ? 1 : 0) << c.subject;
    EXPECT_EQ(regex.submatch_text(1, 1), c.charset) << c.subject;
  }
}

TEST(RegexObject, NoMatch) {
  RegexObject regex;
  ASSERT_TRUE(regex.create("x+", "abc"));
  EXPECT_EQ(regex.match_count(), 0);
  EXPECT_EQ(regex.match_text(1), "");
  EXPECT_EQ(regex.submatch_count(), 0);
  EXPECT_EQ(regex.replace("y"), "abc");
  std::int32_t position = 7;
  EXPECT_EQ(regex.match_text(1, &position), "");
  EXPECT_EQ(position, -2);
}

TEST(RegexObject, InvalidPatternLeavesEveryReaderEmpty) {
  for (const Text pattern : {"(abc", "a)", "[a", "*a", "a{2,1}"}) {
    RegexObject regex;
    EXPECT_FALSE(regex.create(pattern, "abc abc")) << pattern;
    EXPECT_EQ(regex.match_count(), 0);
    EXPECT_EQ(regex.submatch_count(), 0);
    EXPECT_EQ(regex.match_text(1), "");
    EXPECT_EQ(regex.submatch_text(1, 1), "");
    EXPECT_EQ(regex.replace("x"), "");
    EXPECT_EQ(regex.pattern(), pattern);
  }
}

TEST(RegexObject, BeforeTheFirstCreateEverythingIsEmpty) {
  RegexObject regex;
  regex.reserved();
  EXPECT_EQ(regex.pattern(), "");
  EXPECT_EQ(regex.match_count(), 0);
  EXPECT_EQ(regex.submatch_count(), 0);
  EXPECT_EQ(regex.match_text(1), "");
  EXPECT_EQ(regex.submatch_text(1, 1), "");
  EXPECT_EQ(regex.replace("x"), "");
}

struct OptionCase {
  Text pattern;
  Text subject;
  bool case_sensitive;
  bool multiline;
  bool global;
  std::int32_t count;
  Text replacement;
  Text replaced;
};

TEST(RegexObject, Options) {
  const std::vector<OptionCase> cases = {
      {"A", "a", true, true, true, 0, "x", "a"},
      {"A", "a", false, true, true, 1, "x", "x"},
      {"a", "aAa", false, true, true, 3, "x", "xxx"},
      {"a", "aAa", false, true, false, 1, "x", "xAa"},
      {"a", "aAa", true, true, true, 2, "x", "xAx"},
      {"^b", "a\nb\nb", false, true, true, 2, "x", "a\nx\nx"},
      {"^b", "a\nb", false, false, true, 0, "x", "a\nb"},
      {"a$", "a\na", false, true, true, 2, "x", "x\nx"},
      {"a$", "a\na\n", false, false, true, 0, "x", "a\na\n"},  // without multiline: the very end
      {"a$", "a\na", false, false, true, 1, "x", "a\nx"},
      {"^a", "a\ra", false, true, true, 1, "x", "x\ra"},  // only a line feed ends a line
      {"\\d+", "a12b3", false, true, true, 2, "#", "a#b#"},
      {"\\s", "a b\tc", false, true, true, 2, "_", "a_b_c"},
      {"\\bab\\b", "ab cab ab_", false, true, true, 1, "X", "X cab ab_"},
      {"[\\W]", "a-b", false, true, true, 1, "", "ab"},
      {"[[]", "a[b", false, true, true, 1, "(", "a(b"},
      {"", "ab", false, true, true, 3, "-", "-a-b-"},
      {"a{", "a{b", false, true, true, 1, "x", "xb"},  // a brace outside a quantifier
      {"{,2}}", "{,2}}", false, true, true, 1, "x", "x"},
      {"x{1,2}", "xxx", false, true, true, 2, "-", "--"},
  };
  for (const OptionCase& c : cases) {
    RegexObject regex;
    ASSERT_TRUE(regex.create(c.pattern, c.subject, c.case_sensitive, c.multiline, c.global))
        << c.pattern;
    EXPECT_EQ(regex.match_count(), c.count) << c.pattern << " on " << c.subject;
    EXPECT_EQ(regex.replace(c.replacement), c.replaced) << c.pattern << " on " << c.subject;
  }
}

TEST(RegexObject, ReplacementReferences) {
  const std::vector<std::pair<Text, Text>> cases = {
      {"[$1]", "x[a]y[b]"},   {"$2$1", "x1ay2b"}, {"$$", "x$y$"},
      {"<$&>", "x<a1>y<b2>"}, {"$`", "xxyxa1y"},  {"$'", "xyb2y"},
      {"$3", "x$3y$3"},   // no third group: taken literally
      {"$10", "xa0yb0"},  // no group 10: group 1 followed by 0
      {"$01", "xayb"},        {"$0", "x$0y$0"},   {"$", "x$y$"},
      {"\\1", "x\\1y\\1"},  // a backslash is an ordinary character here
  };
  for (const auto& [replacement, expected] : cases) {
    RegexObject regex;
    ASSERT_TRUE(regex.create("([a-b])(\\d)", "xa1yb2"));
    EXPECT_EQ(regex.replace(replacement), expected) << replacement;
  }
  RegexObject optional_group;
  ASSERT_TRUE(optional_group.create("a(x)?", "ab"));
  EXPECT_EQ(optional_group.replace("[$1]"), "[]b");
}

TEST(RegexObject, QuoteEscape) {
  const Text quote = utf8_to_gbk("#引号");
  const Text pattern = quote + "(\\w+)" + quote;
  RegexObject escaped;
  ASSERT_TRUE(escaped.create(pattern, "say \"hello\" now", false, true, true, true));
  EXPECT_EQ(escaped.match_count(), 1);
  EXPECT_EQ(escaped.submatch_text(1, 1), "hello");
  EXPECT_EQ(escaped.pattern(), "\"(\\w+)\"");

  RegexObject literal;
  ASSERT_TRUE(literal.create(pattern, "say \"hello\" now"));
  EXPECT_EQ(literal.match_count(), 0);
  ASSERT_TRUE(literal.create(pattern, "say " + quote + "hello" + quote));
  EXPECT_EQ(literal.submatch_text(1, 1), "hello");
  EXPECT_EQ(literal.pattern(), pattern);
}

struct PositionCase {
  Text pattern;
  Text subject;
  std::int32_t match;
  std::int32_t group;  // 0: the match itself
  Text text;
  std::int32_t position;
};

TEST(RegexObject, BytePositions) {
  const Text zhong = utf8_to_gbk("中");
  const std::vector<PositionCase> cases = {
      {"a", "aa", 1, 0, "a", 0},
      {"a", "aa", 2, 0, "a", 1},
      {"b", zhong + "ab", 1, 0, "b", 3},
      {"a(b)", zhong + zhong + "ab", 1, 1, "b", 5},
      {"(x)?a", zhong + "a", 1, 1, "", 2},    // an empty group is found right at the start
      {"A", zhong + "a", 1, 0, "a", 2},       // found again ignoring case, as matched
      {"(a)b", zhong + "aab", 1, 1, "a", 3},  // the group's first occurrence in its match
      {"a", zhong + "a" + zhong + "a", 2, 0, "a", 5},
      {zhong, "x" + zhong + zhong, 2, 0, zhong, 3},
      {"$", "ab", 1, 0, "", -2},   // an empty match after the last byte
      {"a", "a", 2, 0, "", -2},    // no such match
      {"(a)", "a", 1, 2, "", -2},  // no such group
      {"(a)", "a", 1, 0, "a", 0},
  };
  for (const PositionCase& c : cases) {
    RegexObject regex;
    ASSERT_TRUE(regex.create(c.pattern, c.subject)) << c.pattern;
    std::int32_t position = 1234;
    const Text text = c.group == 0 ? regex.match_text(c.match, &position)
                                   : regex.submatch_text(c.match, c.group, &position);
    EXPECT_EQ(text, c.text) << c.pattern << " on " << c.subject;
    EXPECT_EQ(position, c.position) << c.pattern << " on " << c.subject;
  }
}

TEST(RegexObject, SubmatchCountAndNumbers) {
  RegexObject regex;
  ASSERT_TRUE(regex.create("(a)(b)?", "a ab"));
  EXPECT_EQ(regex.match_count(), 2);
  EXPECT_EQ(regex.submatch_count(), 2);
  EXPECT_EQ(regex.submatch_text(1, 2), "");
  EXPECT_EQ(regex.submatch_text(2, 2), "b");
  EXPECT_EQ(regex.submatch_text(0, 1), "");
  EXPECT_EQ(regex.submatch_text(3, 1), "");
  EXPECT_EQ(regex.match_text(0), "");
  EXPECT_EQ(regex.match_text(-1), "");
  EXPECT_EQ(regex.match_text(INT32_MAX), "");
}

TEST(RegexObject, CreateReplacesTheEarlierRunAndCopiesKeepTheirs) {
  RegexObject regex;
  ASSERT_TRUE(regex.create("a", "aaa"));
  const RegexObject copy = regex;
  ASSERT_TRUE(regex.create("b", "abc", true));
  EXPECT_EQ(regex.match_count(), 1);
  EXPECT_EQ(regex.pattern(), "b");
  EXPECT_EQ(copy.match_count(), 3);
  EXPECT_EQ(copy.pattern(), "a");
  EXPECT_EQ(copy.replace("x"), "xxx");
  std::int32_t position = 0;
  EXPECT_EQ(copy.match_text(3, &position), "a");
  EXPECT_EQ(position, 2);
  EXPECT_FALSE(regex.create("(", "x"));
  EXPECT_EQ(regex.match_count(), 0);
}

TEST(RegexObject, RunawayPatternStopsInsteadOfHanging) {
  RegexObject regex;
  EXPECT_FALSE(regex.create("(a*)*b", Text(40, 'a')));
  EXPECT_EQ(regex.match_count(), 0);
}

// Every match's byte position, over subjects of mixed characters (double-byte ones, the euro
// sign, bytes that are no character), agrees with the length of the subject's text before it.
TEST(RegexObject, PositionsOfEveryMatchAgreeWithTheTextBeforeIt) {
  std::mt19937 random(3);
  const std::vector<Text> pieces = {"a",        "b",    "\x80",     "\xD6\xD0",
                                    "\x81\x40", "\xFF", "\x81\x30", "\xB0"};
  for (int round = 0; round < 300; ++round) {
    Text subject;
    for (auto n = random() % 20; n > 0; --n) subject += pieces[random() % pieces.size()];
    RegexObject regex;
    ASSERT_TRUE(regex.create("a", subject, true));
    const std::u16string units = gbk_to_u16string(subject);
    std::int32_t index = 0;
    for (std::size_t unit = 0; unit < units.size(); ++unit) {
      if (units[unit] != u'a') continue;
      std::int32_t position = -1;
      EXPECT_EQ(regex.match_text(++index, &position), "a");
      EXPECT_EQ(position, static_cast<std::int32_t>(u16string_to_gbk(units.substr(0, unit)).size()))
          << subject << " match " << index;
    }
    EXPECT_EQ(regex.match_count(), index) << subject;
  }
}

// Reading the positions of all matches costs in proportion to their number: each used to
// convert the whole subject again, 40,000 of them took about ten seconds.
TEST(RegexObject, PositionsOfManyMatchesAreReadQuickly) {
  Text subject;
  for (int i = 0; i < 40000; ++i) subject += "ax";
  RegexObject regex;
  ASSERT_TRUE(regex.create("(x)", subject));
  ASSERT_EQ(regex.match_count(), 40000);
  const auto began = std::chrono::steady_clock::now();
  for (std::int32_t index = 1; index <= regex.match_count(); ++index) {
    std::int32_t position = -1;
    std::int32_t group_position = -1;
    ASSERT_EQ(regex.match_text(index, &position), "x");
    ASSERT_EQ(regex.submatch_text(index, 1, &group_position), "x");
    ASSERT_EQ(position, 2 * index - 1);
    ASSERT_EQ(group_position, 2 * index - 1);
  }
  // A tenth of a second here.
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(4));
}

// The run-time limit guards one match: ten million cheap matches are no runaway.
TEST(RegexObject, ManyCheapMatchesAreAllFound) {
  Text subject;
  subject.reserve(20'000'000);
  for (int i = 0; i < 10'000'000; ++i) subject += "ax";
  RegexObject regex;
  ASSERT_TRUE(regex.create("x", subject));
  EXPECT_EQ(regex.match_count(), 10'000'000);
  std::int32_t position = -1;
  EXPECT_EQ(regex.match_text(10'000'000, &position), "x");
  EXPECT_EQ(position, 19'999'999);
  EXPECT_EQ(regex.match_text(5'000'000, &position), "x");
  EXPECT_EQ(position, 9'999'999);
}

}  // namespace
}  // namespace net
