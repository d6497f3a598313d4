// Conversions between GBK (code page 936), UTF-8 (65001), other code pages and UTF-16 on ICU.
#pragma once

#include <string>
#include <string_view>

#include "net/result.h"
#include "net/text.h"

namespace net {

// UTF-16LE units of a GBK text, with one terminating NUL unit unless drop_terminator is true.
// The empty text gives an empty result either way. The text ends at its first NUL byte.
Bytes gbk_to_utf16(const Text& text, bool drop_terminator = false);

// GBK text of UTF-16LE units (an odd final byte is ignored); a character followed by a
// combining mark is composed into the precomposed character first where one exists.
// The result ends before the first NUL. Characters GBK cannot hold become '?'.
Text utf16_to_gbk(const Bytes& units);

// UTF-16LE units, terminating NUL unit included, of a text in the given code page
// (65001 UTF-8, 936 GBK, 0 the system code page, which is 936 here). The empty text gives
// one NUL unit. An unknown code page gives that single NUL unit too.
Bytes codepage_to_utf16(const Text& text, int code_page = 65001);

// Text in the given code page of a UTF-16LE string, taken up to its first NUL unit.
// An unknown code page gives the empty text.
Text utf16_to_codepage(const Bytes& units, int code_page = 0);

// GBK text of UTF-8 text (up to its first NUL byte). Invalid sequences become '?'.
Text utf8_to_gbk(const Text& text);

// UTF-8 text of GBK text, the other way round (used at the edge to the GUI and the mail client).
Text gbk_to_utf8(const Text& text);

// The UTF-16 string of a GBK text, up to its first NUL byte, without terminator.
std::u16string gbk_to_u16string(const Text& text);

// GBK text of a UTF-16 string, taken up to its first NUL unit (no composition).
Text u16string_to_gbk(std::u16string_view units);

// Decodes bytes written in the charset named by a web page ("utf-8", "big5", "shift_jis", ...)
// and returns them as GBK text (up to its first NUL), a leading byte order mark left out.
// The GBK family ("gb2312", "GB2312", ...), Latin-1 and EUC-KR names decode with their Windows
// supersets. A failure when the charset name is empty or unknown.
Result<Text> charset_to_gbk(const Bytes& bytes, const Text& charset);

}  // namespace net
