// The encodings on any bytes: nothing may crash, and the fast paths must give what the
// general conversions give. Input: one byte choosing a charset name, then the data.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "net/encoding.h"

namespace {

using net::Bytes;
using net::Text;

void check(bool condition) {
  if (!condition) std::abort();
}

constexpr std::string_view charsets[] = {"utf-8",           "gb2312",       "GBK",    "big5",
                                         "shift_jis",       "iso-8859-1",   "euc-kr", "utf-16",
                                         "utf-16le",        "windows-1252", "koi8-r", "",
                                         "no-such-charset", "iso-2022-jp",  "utf-7",  "gb18030"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const Text charset(charsets[data[0] % std::size(charsets)]);
  const Text text(reinterpret_cast<const char*>(data + 1), size - 1);
  const Bytes bytes(data + 1, data + size);
  const std::string_view c_text(text.c_str());

  // GBK to UTF-16: the table-driven decoding against the general converter.
  const Bytes units = net::gbk_to_utf16(text);
  check(units.size() % 2 == 0);
  if (c_text.empty()) {
    check(units.empty());
  } else {
    check(units == net::codepage_to_utf16(text, 936));
    const Bytes bare = net::gbk_to_utf16(text, true);
    check(bare.size() + 2 == units.size() && std::equal(bare.begin(), bare.end(), units.begin()));
    const std::u16string string = net::gbk_to_u16string(text);
    check(string.size() * 2 == bare.size());
  }

  // UTF-8 to GBK in one pass against the two general steps.
  check(net::utf8_to_gbk(text) == net::utf16_to_codepage(net::codepage_to_utf16(text), 936));

  // Any units back to text, with and without composition.
  const Text gbk = net::utf16_to_gbk(bytes);
  check(gbk.find('\0') == Text::npos);
  const Text plain = net::utf16_to_codepage(bytes, 936);
  check(plain.find('\0') == Text::npos);
  static_cast<void>(net::utf16_to_codepage(bytes, 65001));
  static_cast<void>(net::codepage_to_utf16(text, 1252));

  // Back from UTF-16 the text never grows: every unit came from one byte or more.
  check(net::utf16_to_gbk(units).size() <= c_text.size());
  static_cast<void>(net::gbk_to_utf8(text));

  if (const auto decoded = net::charset_to_gbk(bytes, charset))
    check(decoded->find('\0') == Text::npos);
  return 0;
}
