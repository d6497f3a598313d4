#include "net/encoding.h"

#include <unicode/ucnv.h>
#include <unicode/unorm2.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

#include "net/gbk.h"
#include "net/icu_converter.h"

namespace net {
namespace {

static_assert(std::endian::native == std::endian::little, "UTF-16 units are stored little-endian");
static_assert(sizeof(UChar) == sizeof(char16_t));

// ICU's name for a code page number.
std::string converter_name(int code_page) {
  switch (code_page) {
    case 0:
    case 936:
      return "GBK";
    case 65001:
      return "UTF-8";
    case 1200:
      return "UTF-16LE";
    case 1201:
      return "UTF-16BE";
    case 20127:
      return "US-ASCII";
    case 28591:
      return "ISO-8859-1";
    default:
      return "windows-" + std::to_string(code_page);
  }
}

// The text up to (not including) its first NUL byte: the text as a C string sees it.
std::string_view c_text(std::string_view text) { return text.substr(0, text.find('\0')); }

// The UTF-16 string of a unit buffer (an odd final byte ignored) up to its first NUL unit.
std::u16string units_of(const Bytes& bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  if (!units.empty()) std::memcpy(units.data(), bytes.data(), units.size() * 2);
  units.resize(std::min(units.size(), units.find(u'\0')));
  return units;
}

// Decodes bytes into UTF-16 units. The converters in use give at most one unit per byte, so
// one pass into a buffer of that bound is enough; a converter that gives more is sized first.
Result<std::u16string> decode(UConverter* converter, std::string_view bytes) {
  std::u16string units(bytes.size() + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  const auto convert = [&] {
    return ucnv_toUChars(converter, units.data(), static_cast<int32_t>(units.size()), bytes.data(),
                         static_cast<int32_t>(bytes.size()), &status);
  };
  int32_t written = convert();
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    units.assign(static_cast<std::size_t>(written) + 1, u'\0');
    status = U_ZERO_ERROR;
    written = convert();
  }
  if (U_FAILURE(status)) return Failure{std::string("decoding failed: ") + u_errorName(status)};
  units.resize(static_cast<std::size_t>(written));
  return Result<std::u16string>(std::move(units));
}

// GBK decoding exactly as ICU's converter does it, without a call into ICU per character: a
// table of every double-byte character is filled from ICU once, and ICU itself decodes only
// what the table does not hold (invalid or unassigned sequences, 0x80, 0xFF, a lone lead byte).
class GbkTable {
 public:
  static const GbkTable& instance() {
    static const GbkTable table;
    return table;
  }

  // The unit of the double-byte character lead, trail; 0 when ICU has to decide.
  char16_t pair(unsigned char lead, unsigned char trail) const { return pairs_[lead << 8 | trail]; }

 private:
  GbkTable() {
    const Converter gbk = open_converter("GBK");
    if (!gbk) return;
    const auto is_character = [](char16_t unit) { return unit != u'\uFFFD' && unit != u'\x1A'; };
    for (int lead = 0x81; gbk::is_lead_byte(static_cast<unsigned char>(lead)); ++lead) {
      // Each candidate pair of the row followed by a line feed, where ICU starts afresh: when
      // the row comes back as one unit and a line feed per pair, each unit is its pair's.
      std::string row;
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        row += {static_cast<char>(lead), static_cast<char>(trail), '\n'};
      }
      const std::u16string units = decode(gbk.get(), row).value_or({});
      const bool aligned = units.size() == row.size() / 3 * 2;
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        const auto slot = static_cast<std::size_t>(trail - 0x40);
        const std::u16string alone =
            aligned
                ? units.substr(slot * 2, 1)
                : decode(gbk.get(), std::string{static_cast<char>(lead), static_cast<char>(trail)})
                      .value_or({});
        if (alone.size() == 1 && is_character(alone[0])) pairs_[lead << 8 | trail] = alone[0];
      }
    }
  }

  std::vector<char16_t> pairs_ = std::vector<char16_t>(1 << 16);
};

// Decodes GBK bytes into little-endian UTF-16 units at out, which has room for one unit per
// byte, and returns the number of units written.
std::size_t decode_gbk(std::string_view bytes, std::uint8_t* out) {
  const GbkTable& table = GbkTable::instance();
  Converter gbk;  // opened when the table leaves a stretch to ICU
  std::size_t written = 0;
  const auto put = [&](char16_t unit) { std::memcpy(out + 2 * written++, &unit, 2); };
  for (std::size_t at = 0; at < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[at]);
    if (byte < 0x80) {
      put(byte);
      ++at;
      continue;
    }
    if (at + 1 < bytes.size()) {
      if (const char16_t unit = table.pair(byte, static_cast<unsigned char>(bytes[at + 1]))) {
        put(unit);
        at += 2;
        continue;
      }
    }
    // ICU decodes up to the next byte below 0x80: no character goes on past that byte, so
    // ICU is at a character start after it, as it would be decoding the whole text.
    std::size_t end = at + 1;
    while (end < bytes.size() && static_cast<unsigned char>(bytes[end - 1]) >= 0x80) ++end;
    if (!gbk) gbk = open_converter("GBK");
    if (!gbk) break;
    const std::u16string units = decode(gbk.get(), bytes.substr(at, end - at)).value_or({});
    for (std::size_t i = 0; i < std::min(units.size(), end - at); ++i) put(units[i]);
    at = end;
  }
  return written;
}

// Encodes UTF-16 units; characters the target cannot hold become its substitute ('?' for GBK).
Result<Text> encode(UConverter* converter, std::u16string_view units) {
  if (units.empty()) return Text();
  const auto max_char = static_cast<std::size_t>(ucnv_getMaxCharSize(converter));
  Text bytes(units.size() * max_char + 1, '\0');
  UErrorCode status = U_ZERO_ERROR;
  const auto convert = [&] {
    return ucnv_fromUChars(converter, bytes.data(), static_cast<int32_t>(bytes.size()),
                           units.data(), static_cast<int32_t>(units.size()), &status);
  };
  int32_t written = convert();
  if (status == U_BUFFER_OVERFLOW_ERROR) {  // stateful encodings may add shift sequences
    bytes.assign(static_cast<std::size_t>(written) + 1, '\0');
    status = U_ZERO_ERROR;
    written = convert();
  }
  if (U_FAILURE(status)) return Failure{std::string("encoding failed: ") + u_errorName(status)};
  bytes.resize(static_cast<std::size_t>(written));
  return Result<Text>(std::move(bytes));
}

Bytes to_bytes(std::u16string_view units) {
  const auto* first = reinterpret_cast<const std::uint8_t*>(units.data());
  Bytes bytes(first, first + units.size() * 2);
  bytes.insert(bytes.end(), 2, 0);
  return bytes;
}

// Composes every character and a combining mark right after it into the precomposed
// character when one exists, as often as that applies. Nothing is decomposed or reordered,
// so characters that GBK holds keep their code (full NFC would turn the compatibility
// ideographs of GBK, FD9C for instance, into other characters).
std::u16string compose(std::u16string_view units) {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
  if (U_FAILURE(status)) return std::u16string(units);
  std::u16string composed;
  composed.reserve(units.size());
  UChar32 last = U_SENTINEL;
  std::size_t last_at = 0;
  const auto length = static_cast<int32_t>(units.size());
  for (int32_t at = 0; at < length;) {
    UChar32 character;
    U16_NEXT(units.data(), at, length, character);
    if (last != U_SENTINEL && !unorm2_hasBoundaryBefore(nfc, character)) {
      const UChar32 composite = unorm2_composePair(nfc, last, character);
      if (composite >= 0) {
        composed.resize(last_at);
        character = composite;
      }
    }
    last = character;
    last_at = composed.size();
    if (U_IS_BMP(character)) {
      composed.push_back(static_cast<char16_t>(character));
    } else {
      composed.push_back(static_cast<char16_t>(U16_LEAD(character)));
      composed.push_back(static_cast<char16_t>(U16_TRAIL(character)));
    }
  }
  return composed;
}

Text units_to_codepage(std::u16string_view units, int code_page) {
  const Converter converter = open_converter(converter_name(code_page).c_str());
  if (!converter) return {};
  Text text = encode(converter.get(), units).value_or({});
  text.resize(std::min(text.size(), text.find('\0')));
  return text;
}

// ICU's converter for a charset name as web pages declare it. Names of the GBK family, Latin-1
// and EUC-KR mean the Windows supersets (as browsers and the Windows converters read them);
// other names are ICU's.
std::string charset_converter_name(std::string_view charset) {
  std::string name(charset);
  std::transform(name.begin(), name.end(), name.begin(), gbk::ascii_lower);
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 14> supersets = {{
      {"gb2312", "GBK"},
      {"gbk", "GBK"},
      {"x-gbk", "GBK"},
      {"cp936", "GBK"},
      {"ms936", "GBK"},
      {"windows-936", "GBK"},
      {"csgb2312", "GBK"},
      {"chinese", "GBK"},
      {"euc-cn", "GBK"},
      {"iso-8859-1", "windows-1252"},
      {"latin1", "windows-1252"},
      {"us-ascii", "windows-1252"},
      {"euc-kr", "windows-949"},
      {"ks_c_5601-1987", "windows-949"},
  }};
  for (const auto& [alias, superset] : supersets) {
    if (name == alias) return std::string(superset);
  }
  return std::string(charset);
}

}  // namespace

Bytes gbk_to_utf16(const Text& text, bool drop_terminator) {
  const std::string_view bytes = c_text(text);
  if (bytes.empty()) return {};
  // Decoded straight into the result, sized for one unit per byte and the terminator, then
  // cut to the units written (the NUL unit stays from the fill).
  Bytes result((bytes.size() + 1) * 2, 0);
  const std::size_t written = decode_gbk(bytes, result.data());
  result.resize((written + (drop_terminator ? 0 : 1)) * 2);
  return result;
}

Text utf16_to_gbk(const Bytes& units) { return units_to_codepage(compose(units_of(units)), 936); }

Bytes codepage_to_utf16(const Text& text, int code_page) {
  const Converter converter = open_converter(converter_name(code_page).c_str());
  if (!converter) return to_bytes({});
  return to_bytes(decode(converter.get(), c_text(text)).value_or({}));
}

Text utf16_to_codepage(const Bytes& units, int code_page) {
  return units_to_codepage(units_of(units), code_page);
}

Text utf8_to_gbk(const Text& text) {
  const std::string_view bytes = c_text(text);
  if (bytes.empty()) return {};
  const Converter gbk = open_converter("GBK");
  const Converter utf8 = open_converter("UTF-8");
  if (!gbk || !utf8) return {};
  // One pass through ICU's pivot straight from UTF-8 to GBK; a GBK character never takes more
  // bytes than the UTF-8 sequence (or the invalid byte) it comes from.
  Text result(bytes.size(), '\0');
  char* target = result.data();
  const char* source = bytes.data();
  UErrorCode status = U_ZERO_ERROR;
  ucnv_convertEx(gbk.get(), utf8.get(), &target, result.data() + result.size(), &source,
                 bytes.data() + bytes.size(), nullptr, nullptr, nullptr, nullptr, true, true,
                 &status);
  if (U_FAILURE(status)) return units_to_codepage(decode(utf8.get(), bytes).value_or({}), 936);
  result.resize(static_cast<std::size_t>(target - result.data()));
  return result;
}

Text gbk_to_utf8(const Text& text) { return units_to_codepage(gbk_to_u16string(text), 65001); }

std::u16string gbk_to_u16string(const Text& text) {
  const std::string_view bytes = c_text(text);
  std::u16string units(bytes.size(), u'\0');
  units.resize(decode_gbk(bytes, reinterpret_cast<std::uint8_t*>(units.data())));
  return units;
}

Text u16string_to_gbk(std::u16string_view units) {
  return units_to_codepage(units.substr(0, units.find(u'\0')), 936);
}

Result<Text> charset_to_gbk(const Bytes& bytes, const Text& charset) {
  if (c_text(charset).empty()) return Failure{"no charset named"};
  const Converter converter = open_converter(charset_converter_name(c_text(charset)).c_str());
  if (!converter) return Failure{"unknown charset " + Text(c_text(charset))};
  const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  Result<std::u16string> units = decode(converter.get(), view);
  if (!units) return units.failure();
  if (units->starts_with(u'\uFEFF')) units->erase(0, 1);  // a byte order mark is no character
  return u16string_to_gbk(*units);
}

}  // namespace net
