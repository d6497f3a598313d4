// Conversions between GBK (code page 936), UTF-8 (65001), other code pages and UTF-16 on ICU.
#pragma once

#include <optional>

#include "net/text.h"

namespace net {

// UTF-16LE units of a GBK text, with one terminating NUL unit unless drop_terminator is true.
// The empty text gives an empty result either way. The text ends at its first NUL byte.
Bytes gbk_to_utf16(const Text& text, bool drop_terminator = false);

// GBK text of UTF-16LE units (an odd final byte is ignored), composed to NFC first;
// the result ends before the first NUL. Characters GBK cannot hold become '?'.
Text utf16_to_gbk(const Bytes& units);

// UTF-16LE units, terminating NUL unit included, of a text in the given code page
// (65001 UTF-8, 936 GBK, 0 the system code page, which is 936 here). The empty text gives
// one NUL unit. An unknown code page gives that single NUL unit too.
Bytes codepage_to_utf16(const Text& text, int code_page = 65001);

// Text in the given code page of a UTF-16LE string, taken up to its first NUL unit.
// An unknown code page gives the empty text.
Text utf16_to_codepage(const Bytes& units, int code_page = 0);

// GBK text of UTF-8 text.
Text utf8_to_gbk(const Text& text);

// GBK text of UTF-8 text, the other way round (used at the edge to the GUI and the mail client).
Text gbk_to_utf8(const Text& text);

// Decodes bytes written in the charset named by a web page ("utf-8", "big5", "shift_jis", ...)
// and returns them as GBK text. No value when the charset name is unknown.
std::optional<Text> charset_to_gbk(const Bytes& bytes, const Text& charset);

}  // namespace net
