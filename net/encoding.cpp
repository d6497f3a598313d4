#include "net/encoding.h"

#include <unicode/ucnv.h>
#include <unicode/unorm2.h>

#include <bit>
#include <cstring>
#include <memory>
#include <string_view>

namespace net {
namespace {

static_assert(std::endian::native == std::endian::little, "UTF-16 units are stored little-endian");

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter open_converter(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(name, &status));
  if (U_FAILURE(status)) return nullptr;
  return converter;
}

// ICU's name for a code page number, or nullptr when there is none we support.
std::string converter_name(int code_page) {
  switch (code_page) {
    case 0:
    case 936: return "GBK";
    case 65001: return "UTF-8";
    case 1200: return "UTF-16LE";
    case 1201: return "UTF-16BE";
    case 20127: return "US-ASCII";
    case 28591: return "ISO-8859-1";
    default: return "windows-" + std::to_string(code_page);
  }
}

// The text up to (not including) its first NUL byte: the text as a C string sees it.
std::string_view c_text(const Text& text) {
  const auto nul = text.find('\0');
  return nul == Text::npos ? std::string_view(text) : std::string_view(text.data(), nul);
}

// The UTF-16 string of a unit buffer up to its first NUL unit, or all units when there is none.
std::u16string units_of(const Bytes& bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  if (!units.empty()) std::memcpy(units.data(), bytes.data(), units.size() * 2);
  const auto nul = units.find(u'\0');
  if (nul != std::u16string::npos) units.resize(nul);
  return units;
}

// Decodes bytes with a converter into UTF-16 units. Every byte of the code pages in use here
// yields at most one unit, so one pass into a buffer of that bound is enough.
std::u16string decode(UConverter* converter, std::string_view bytes) {
  std::u16string units(bytes.size() + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t written = ucnv_toUChars(converter, units.data(), static_cast<int32_t>(units.size()),
                                        bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {  // a converter that expands: size exactly and redo
    units.assign(static_cast<std::size_t>(written) + 1, u'\0');
    status = U_ZERO_ERROR;
    ucnv_toUChars(converter, units.data(), static_cast<int32_t>(units.size()), bytes.data(),
                  static_cast<int32_t>(bytes.size()), &status);
  }
  if (U_FAILURE(status)) return {};
  units.resize(static_cast<std::size_t>(written));
  return units;
}

// Encodes UTF-16 units with a converter; unmappable characters become the converter's
// substitute ('?' for GBK).
Text encode(UConverter* converter, std::u16string_view units) {
  if (units.empty()) return {};
  const int32_t max_char = ucnv_getMaxCharSize(converter);
  Text bytes(units.size() * static_cast<std::size_t>(max_char) + 1, '\0');
  UErrorCode status = U_ZERO_ERROR;
  const int32_t written = ucnv_fromUChars(converter, bytes.data(), static_cast<int32_t>(bytes.size()),
                                          units.data(), static_cast<int32_t>(units.size()), &status);
  if (U_FAILURE(status)) return {};
  bytes.resize(static_cast<std::size_t>(written));
  return bytes;
}

Bytes to_bytes(std::u16string_view units, bool terminator) {
  Bytes bytes((units.size() + (terminator ? 1 : 0)) * 2, 0);
  if (!units.empty()) std::memcpy(bytes.data(), units.data(), units.size() * 2);
  return bytes;
}

Text cut_at_nul(Text text) {
  const auto nul = text.find('\0');
  if (nul != Text::npos) text.resize(nul);
  return text;
}

// Composes base characters and combining marks into precomposed characters where one exists.
std::u16string compose(std::u16string units) {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
  if (U_FAILURE(status)) return units;
  const auto length = static_cast<int32_t>(units.size());
  if (unorm2_isNormalized(nfc, units.data(), length, &status) && U_SUCCESS(status)) return units;
  status = U_ZERO_ERROR;
  std::u16string composed(units.size() + 16, u'\0');
  int32_t written = unorm2_normalize(nfc, units.data(), length, composed.data(),
                                     static_cast<int32_t>(composed.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    composed.assign(static_cast<std::size_t>(written), u'\0');
    status = U_ZERO_ERROR;
    written = unorm2_normalize(nfc, units.data(), length, composed.data(), written, &status);
  }
  if (U_FAILURE(status)) return units;
  composed.resize(static_cast<std::size_t>(written));
  return composed;
}

Text units_to_codepage(std::u16string_view units, int code_page) {
  const Converter converter = open_converter(converter_name(code_page).c_str());
  if (!converter) return {};
  return cut_at_nul(encode(converter.get(), units));
}

}  // namespace

Bytes gbk_to_utf16(const Text& text, bool drop_terminator) {
  if (text.empty()) return {};
  const Converter converter = open_converter("GBK");
  if (!converter) return {};
  return to_bytes(decode(converter.get(), c_text(text)), !drop_terminator);
}

Text utf16_to_gbk(const Bytes& units) {
  return units_to_codepage(compose(units_of(units)), 936);
}

Bytes codepage_to_utf16(const Text& text, int code_page) {
  const Converter converter = open_converter(converter_name(code_page).c_str());
  if (!converter) return to_bytes({}, true);
  return to_bytes(decode(converter.get(), c_text(text)), true);
}

Text utf16_to_codepage(const Bytes& units, int code_page) {
  return units_to_codepage(units_of(units), code_page);
}

Text utf8_to_gbk(const Text& text) {
  const Converter utf8 = open_converter("UTF-8");
  if (!utf8) return {};
  return units_to_codepage(decode(utf8.get(), c_text(text)), 936);
}

Text gbk_to_utf8(const Text& text) {
  const Converter gbk = open_converter("GBK");
  if (!gbk) return {};
  return units_to_codepage(decode(gbk.get(), c_text(text)), 65001);
}

std::optional<Text> charset_to_gbk(const Bytes& bytes, const Text& charset) {
  const Converter converter = open_converter(charset.c_str());
  if (!converter || charset.empty()) return std::nullopt;
  const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return units_to_codepage(decode(converter.get(), view), 936);
}

}  // namespace net
