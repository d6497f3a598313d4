// The response-side steps without a network: final head, status text, header lines, charset.
#include "net/http_response.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "net/encoding.h"

namespace {

using net::Text;

Text head_of(const std::vector<std::string>& lines, bool redirects_followed = true) {
  net::ResponseHeadCollector collector(redirects_followed);
  for (const auto& line : lines) collector.add_line(line);
  return collector.final_head_complete() ? collector.block() : Text("(not final)");
}

TEST(ResponseHead, KeepsTheFinalHeadAcrossInterimAndRedirectHeads) {
  EXPECT_EQ(
      head_of({"HTTP/1.1 100 Continue\r\n", "\r\n", "HTTP/1.1 200 OK\r\n", "A: 1\r\n", "\r\n"}),
      "HTTP/1.1 200 OK\r\nA: 1\r\n\r\n");
  EXPECT_EQ(head_of({"HTTP/1.1 302 Found\r\n", "Location: /b\r\n", "\r\n", "HTTP/1.1 200 OK\r\n",
                     "\r\n"}),
            "HTTP/1.1 200 OK\r\n\r\n");
  EXPECT_EQ(head_of({"HTTP/1.1 302 Found\r\n", "Location: /b\r\n", "\r\n"}), "(not final)");
  EXPECT_EQ(head_of({"HTTP/1.1 302 Found\r\n", "Location: /b\r\n", "\r\n"}, false),
            "HTTP/1.1 302 Found\r\nLocation: /b\r\n\r\n");
  EXPECT_EQ(head_of({"HTTP/1.1 302 Found\r\n", "Location:  \r\n", "\r\n"}),
            "HTTP/1.1 302 Found\r\nLocation:  \r\n\r\n");
  EXPECT_EQ(head_of({"HTTP/1.1 304 Not Modified\r\n", "\r\n"}),
            "HTTP/1.1 304 Not Modified\r\n\r\n");
}

TEST(ResponseHead, EndsEveryLineWithCrLfAndIgnoresTrailers) {
  EXPECT_EQ(head_of({"HTTP/1.1 200 OK\n", "A: 1\n", "\n", "Trailer: x\r\n", "\r\n"}),
            "HTTP/1.1 200 OK\r\nA: 1\r\n\r\n");
  net::ResponseHeadCollector collector;
  collector.add_line("garbage before any head\r\n");
  EXPECT_FALSE(collector.started());
  collector.add_line("HTTP/1.1 200 OK\r\n");
  EXPECT_TRUE(collector.started());
  EXPECT_EQ(collector.completed_heads(), 0u);
}

TEST(HeaderBlockText, KeepsGbkAndReplacesWhatIsNoGbk) {
  EXPECT_EQ(net::header_block_text("HTTP/1.1 200 OK\r\nX: \xD6\xD0\r\n\r\n"),
            "HTTP/1.1 200 OK\r\nX: \xD6\xD0\r\n\r\n");
  EXPECT_EQ(net::header_block_text("HTTP/1.1 200 OK\r\nX: a\xF1\r\nY: b\r\n\r\n"),
            "HTTP/1.1 200 OK\r\nX: a?\r\nY: b\r\n\r\n");
  EXPECT_EQ(net::header_block_text(std::string("HTTP/1.1 200 OK\r\nX: a\0b\r\n\r\n", 27)),
            "HTTP/1.1 200 OK\r\nX: a");
}

TEST(StatusText, IsTheFirstLineWithoutItsFirstNineCharacters) {
  const std::vector<std::pair<Text, Text>> cases = {
      {"HTTP/1.1 200 OK\r\nA: 1\r\n\r\n", "200 OK"},
      {"HTTP/1.1 404 Not Found\r\n\r\n", "404 Not Found"},
      {"HTTP/1.0 302\r\n", "302"},
      {"HTTP/1.1 ", ""},
      {"", ""},
      {"HTTP/1.1 200 no line end", "200 no line end"},
  };
  for (const auto& [block, status] : cases) EXPECT_EQ(net::status_text_of(block), status) << block;
}

struct LinesCase {
  const char* name;
  Text block;
  Text cookies_before;
  Text cookies_after;
  Text location_after;  // "kept" when no Location line
};

void PrintTo(const LinesCase& test_case, std::ostream* out) { *out << test_case.name; }

class HeaderLines : public ::testing::TestWithParam<LinesCase> {};

TEST_P(HeaderLines, CollectCookiesAndLocation) {
  Text cookies = GetParam().cookies_before;
  Text location = "kept";
  net::read_header_lines(GetParam().block, cookies, location);
  EXPECT_EQ(cookies, GetParam().cookies_after);
  EXPECT_EQ(location, GetParam().location_after);
}

const Text kFullWidthSpace = "\xA1\xA1";

INSTANTIATE_TEST_SUITE_P(
    Cases, HeaderLines,
    ::testing::Values(
        LinesCase{"AttributesDropped",
                  "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n\r\n", "",
                  "a=1; b=2; ", "kept"},
        LinesCase{"OnlyTheExactName",
                  "HTTP/1.1 200 OK\r\nset-cookie: c=3\r\nSet-Cookie2: d=4\r\n\r\n", "", "", "kept"},
        LinesCase{"AppendedToTheOldText", "HTTP/1.1 200 OK\r\nSet-Cookie: b=2\r\n\r\n", "a=1; ",
                  "a=1; b=2; ", "kept"},
        LinesCase{"WithoutSemicolonEveryNameIsRemovedAnyCase",
                  "HTTP/1.1 200 OK\r\nSet-Cookie: x=SET-COOKIE:y\r\n\r\n", "", "x=y; ", "kept"},
        LinesCase{"FullWidthSpacesTrimmed",
                  "HTTP/1.1 200 OK\r\nSet-Cookie: " + kFullWidthSpace + "e=5 ;x\r\n\r\n", "",
                  "e=5; ", "kept"},
        LinesCase{"LocationAnyCaseLastWins",
                  "HTTP/1.1 302 Found\r\nlocation: /a\r\nLOCATION: /b\r\n\r\n", "", "", "/b"},
        LinesCase{"LocationNeedsTheBlank", "HTTP/1.1 302 Found\r\nLocation:/a\r\n\r\n", "", "",
                  "kept"},
        LinesCase{"EmptyLocation", "HTTP/1.1 302 Found\r\nLocation: \r\n\r\n", "", "", ""}),
    [](const auto& test_case) { return std::string(test_case.param.name); });

TEST(Charset, IsTheDeclarationWithinTheFirst1024Bytes) {
  const std::vector<std::pair<Text, Text>> cases = {
      {"<META content=text/html;CHARSET=GB2312>", "GB2312"},
      {"<meta charset='utf-8'>", "utf-8"},
      {"<meta\ncharset=utf-8>", ""},
      {"no tag charset=utf-8", ""},
      {Text(1008, ' ') + "<meta charset=utf-8>", "ut"},
      {Text(1020, ' ') + "<meta charset=utf-8>", ""},
  };
  for (const auto& [text, charset] : cases) EXPECT_EQ(net::declared_charset(text), charset) << text;
}

TEST(BodyText, ReDecodesForeignCharsetsOnly) {
  const std::string utf8 = "<meta charset=utf-8>\xE4\xB8\xAD";
  EXPECT_EQ(net::body_text_of(utf8), "<meta charset=utf-8>\xD6\xD0");
  const std::string big5 = "<meta charset=big5>\xA4\xA4";  // 中 in Big5
  EXPECT_EQ(net::body_text_of(big5), "<meta charset=big5>\xD6\xD0");
  const std::string gbk = "<meta charset=gbk>\xD6\xD0";
  EXPECT_EQ(net::body_text_of(gbk), gbk);
  EXPECT_EQ(net::body_text_of(std::string("a\0b<meta charset=utf-8>", 23)), "a");
  EXPECT_EQ(net::body_text_of({}), "");
}

}  // namespace
