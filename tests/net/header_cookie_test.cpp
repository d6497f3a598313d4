#include "net/header_cookie.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/encoding.h"

namespace net {
namespace {

struct TextCase {
  Text input;
  Text expected;
};

TEST(HeaderCookie, NormalizeHeaders) {
  const Text zhong = utf8_to_gbk("中");
  const std::vector<TextCase> cases = {
      {"user-agent: x\r\nhost:a.b\r\n\r\nbogus\r\nX-requested-with: XMLHttpRequest\r\n",
       "User-Agent: x\r\nHost:a.b\r\nX-Requested-With: XMLHttpRequest"},
      {"", ""},
      {"bogus\r\nno colon here\r\n", ""},
      {"\r\n\r\n", ""},
      {"a: 1\r\n", "A: 1"},
      {": x", ": x"},
      {"x--y: 1", "X--Y: 1"},
      {"-x: 1", "-X: 1"},
      {"x-: 1", "X-: 1"},
      {"-: 1", "-: 1"},
      {"accept-language: zh-cn", "Accept-Language: zh-cn"},
      {"CONTENT-type: Text/Html", "CONTENT-Type: Text/Html"},
      {"x-a:b: c-d", "X-A:b: c-d"},
      {zhong + "-x: " + zhong, zhong + "-X: " + zhong},
      {"a:1\rb:2", "A:1\rb:2"},  // a lone CR does not end a line
      {"\tx: 1", "\tx: 1"},
      {"a\xB0:b: 1", "A\xB0:b: 1"},  // the colon after a lead byte is its trail byte
  };
  for (const TextCase& c : cases) EXPECT_EQ(normalize_headers(c.input), c.expected) << c.input;
}

TEST(HeaderCookie, HeaderValue) {
  struct Case {
    Text block;
    Text name;
    Text expected;
  };
  const std::vector<Case> cases = {
      {"Connection: keep-alive", "Connection", "keep-alive"},
      {"Connection: keep-alive", "connection", ""},
      {"Connection-Id: 5\r\nConnection: close", "Connection", ""},
      {"Connection: close\r\nConnection-Id: 5", "Connection", "close"},
      {"Host: a\r\nConnection: keep-alive\r\n", "Connection", "keep-alive"},
      {"Connection:close", "Connection", ""},
      {"X: a: X: b", "X", "b"},
      {"Host: a", "Connection", ""},
      {"", "Connection", ""},
      {"Connection: ", "Connection", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(header_value(c.block, c.name), c.expected) << c.block << " / " << c.name;
  }
}

TEST(HeaderCookie, MergeCookies) {
  struct Case {
    Text old_cookies;
    Text new_cookies;
    Text expected;
    Text new_after;
  };
  const Text full_width_space = "\xA1\xA1";
  const std::vector<Case> cases = {
      {"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3; c=4"},
      {"a=1; b=2;", "a=deleted", "b=2", "a=deleted"},
      {"a=1; a=2", "", "a=1", ""},
      {"", "x=1; x=1; y=2", "x=1; y=2", "x=1; x=1; y=2"},
      {"a=1;b=2", "b=9", "b=9; a=1;b=2", "b=9"},
      {"", "", "", ""},
      {"x=1", "a=1; a=2", "a=1; a=2; x=1", "a=1; a=2"},
      {"a=deleted; b=1", "", "b=1", ""},
      {"a=1; a=deleted", "b=2", "b=2; a=1", "b=2"},
      {" a=1 ; ", "", "a=1 ", ""},
      {"", " c=3;", "c=3", "c=3; "},
      {full_width_space + "a=1", "a=2", "a=2", "a=2"},
      {" a = 1", "a=2", "a=2", "a=2"},
      {"A=1", "a=2", "a=2; A=1", "a=2"},
      {"a=1; b=deleted", "b=deleted", "a=1", "b=deleted"},
      {"flag; a=1", "flag", "flag; a=1", "flag"},
      {"a=1", "a=1; b=2; a=1", "a=1; b=2", "a=1; b=2; a=1"},
      {"a=1; ; b=2", "", "a=1; ; b=2", ""},
  };
  for (const Case& c : cases) {
    Text old_cookies = c.old_cookies;
    Text new_cookies = c.new_cookies;
    EXPECT_EQ(merge_cookies(old_cookies, new_cookies), c.expected)
        << c.old_cookies << " + " << c.new_cookies;
    EXPECT_EQ(old_cookies, c.expected);
    EXPECT_EQ(new_cookies, c.new_after);
  }
}

TEST(HeaderCookie, MergeCookiesIntoItself) {
  Text cookies = "a=1; b=2;";
  EXPECT_EQ(merge_cookies(cookies, cookies), "a=1; b=2");
  EXPECT_EQ(cookies, "a=1; b=2");
}

TEST(HeaderCookie, CookieName) {
  const std::vector<TextCase> cases = {
      {"a=1", "a"},
      {" a =1", "a"},
      {"abc", "abc"},
      {"=x", ""},
      {"", ""},
      {"a=b=c", "a"},
      {"\xA1\xA1k\xA1\xA1=v", "k"},
      {"a\t=1", "a\t"},
      {"\xB0=x", "\xB0=x"},                // '=' is the trail byte of a character here
      {"x\xB0\xA1\xA1", "x\xB0\xA1\xA1"},  // B0 A1 is a character, the last A1 a lone byte
      {" \xA1\xA1 ", ""},
  };
  for (const TextCase& c : cases) EXPECT_EQ(cookie_name(c.input), c.expected) << c.input;
}

TEST(HeaderCookie, CookieListHasName) {
  EXPECT_TRUE(cookie_list_has_name({"a=1", " b =2"}, "b"));
  EXPECT_TRUE(cookie_list_has_name({"a=1", "flag"}, "flag"));
  EXPECT_FALSE(cookie_list_has_name({"a=1", "b=2"}, "c"));
  EXPECT_FALSE(cookie_list_has_name({"a=1"}, "A"));
  EXPECT_FALSE(cookie_list_has_name({}, ""));
  EXPECT_TRUE(cookie_list_has_name({"=1"}, ""));
}

TEST(HeaderCookie, JoinUnique) {
  struct Case {
    Text text;
    Text separator;
    bool split_by_separator;
    Text expected;
  };
  const Text zhong = utf8_to_gbk("中");
  const std::vector<Case> cases = {
      {"abca", ",", false, "a,b,c"},
      {"a\r\nb\r\n", "|", false, "a|\r\n|b"},
      {zhong + zhong + "a", "", false, zhong + "a"},
      {"x; y; x", "; ", true, "x; y"},
      {"x; y; x; ", "; ", true, "x; y"},
      {"a;;b;", ";", true, "a;;b"},
      {";", ";", true, ""},
      {"", "; ", true, ""},
      {"", ",", false, ""},
      {"abc", "", true, "abc"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(join_unique(c.text, c.separator, c.split_by_separator), c.expected)
        << c.text << " / " << c.separator;
  }
}

TEST(HeaderCookie, SplitCharacters) {
  const Text zhong = utf8_to_gbk("中");
  TextArray pieces = {"stale"};
  const Text text = "a" + zhong + "\r\nb" + "\x80" + "c\n\r\xB0";
  EXPECT_EQ(split_characters(text, pieces), 9);
  EXPECT_EQ(pieces, (TextArray{"a", zhong, "\r\n", "b", "\x80", "c", "\n", "\r", "\xB0"}));
  EXPECT_EQ(split_characters("", pieces), 0);
  EXPECT_TRUE(pieces.empty());
}

TEST(HeaderCookie, TextArrayFindAndCapitalizeFirst) {
  const TextArray list = {"a", "b", "a", ""};
  EXPECT_EQ(text_array_find(list, "a"), 1);
  EXPECT_EQ(text_array_find(list, "b"), 2);
  EXPECT_EQ(text_array_find(list, ""), 4);
  EXPECT_EQ(text_array_find(list, "c"), -1);
  EXPECT_EQ(text_array_find({}, "a"), -1);
  const std::vector<TextCase> cases = {
      {"abc", "Abc"}, {"Abc", "Abc"},           {"", ""},
      {"1a", "1a"},   {"\xB0\x61", "\xB0\x61"}, {"z-y", "Z-y"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(capitalize_first(c.input), c.expected) << c.input;
}

// The euro sign is the single byte 0x80 in code page 936: every separator right after it (or
// right before it) still separates.
TEST(HeaderCookie, EuroSignNextToSeparators) {
  const Text euro = "\x80";
  const std::vector<TextCase> headers = {
      {"x" + euro + ": 1", "X" + euro + ": 1"},
      {euro + "-x: 1", euro + "-X: 1"},
      {"a-" + euro + "-b: " + euro, "A-" + euro + "-B: " + euro},
      {"a: " + euro + "\r\nb: 2", "A: " + euro + "\r\nB: 2"},
      {"a: 1" + euro + "\r\n" + euro + "\r\nc: 3", "A: 1" + euro + "\r\nC: 3"},
  };
  for (const TextCase& c : headers) EXPECT_EQ(normalize_headers(c.input), c.expected) << c.input;

  EXPECT_EQ(header_value("X: " + euro + "\r\nConnection: close", "Connection"), "close");
  EXPECT_EQ(header_value("Connection: " + euro, "Connection"), euro);
  EXPECT_EQ(header_value("Connection: a" + euro + ": b", "Connection"), "a" + euro + ": b");
  EXPECT_EQ(header_value(euro + "X: 1\r\nX: 2", "X"), "2");

  const std::vector<TextCase> names = {
      {euro + "=1", euro},
      {"a" + euro + " =1", "a" + euro},
      {" " + euro + " ", euro},
      {euro + "\xA1\xA1", euro},  // a full-width space right after the euro sign is trimmed
  };
  for (const TextCase& c : names) EXPECT_EQ(cookie_name(c.input), c.expected) << c.input;

  Text old_cookies = "a=" + euro + "; b=2";
  Text new_cookies = "b=3;" + euro + "=4";
  EXPECT_EQ(merge_cookies(old_cookies, new_cookies), "b=3;" + euro + "=4; a=" + euro);
  old_cookies = "a=" + euro + ";";
  new_cookies = euro + "=1; " + euro + "=1";
  EXPECT_EQ(merge_cookies(old_cookies, new_cookies), euro + "=1; a=" + euro);
  EXPECT_TRUE(cookie_list_has_name({"x=1", euro + "=2"}, euro));

  EXPECT_EQ(join_unique(euro + "," + euro + ",a", ",", true), euro + ",a");
  EXPECT_EQ(join_unique(euro + "a" + euro, "", false), euro + "a");
  TextArray pieces;
  EXPECT_EQ(split_characters(euro + "a" + euro, pieces), 3);
  EXPECT_EQ(pieces, (TextArray{euro, "a", euro}));
  // 0xFF leads no character either.
  EXPECT_EQ(split_characters("\xFF"
                             "a",
                             pieces),
            2);
  EXPECT_EQ(pieces, (TextArray{"\xFF", "a"}));
  EXPECT_EQ(capitalize_first(euro + "a"), euro + "a");
}

}  // namespace
}  // namespace net
