// RegexObject on any pattern, subject and replacement. Positions must point at the text they
// belong to, copies must answer as their source, and nothing may crash or hang.
// Input: one flag byte (bit 0 case-sensitive, 1 multiline, 2 global, 3 quote escape), then
// pattern NUL subject NUL replacement.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/encoding.h"
#include "net/regex_object.h"

namespace {

using net::Text;

void check(bool condition) {
  if (!condition) std::abort();
}

bool equal_folded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// A written position is -2 or the offset of an occurrence of text in the subject.
void check_position(const Text& subject, const Text& text, std::int32_t position,
                    bool ignore_case) {
  if (position == -2) return;
  check(position >= 0 && static_cast<std::size_t>(position) + text.size() <= subject.size());
  const std::string_view found =
      std::string_view(subject).substr(static_cast<std::size_t>(position), text.size());
  check(ignore_case ? equal_folded(found, text) : found == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool case_sensitive = data[0] & 1;
  const bool multiline = data[0] & 2;
  const bool global = data[0] & 4;
  const bool quote_escape = data[0] & 8;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t first_nul = rest.find('\0');
  const std::size_t second_nul =
      first_nul == std::string_view::npos ? first_nul : rest.find('\0', first_nul + 1);
  if (second_nul == std::string_view::npos) return 0;
  const Text pattern(rest.substr(0, first_nul));
  const Text subject(rest.substr(first_nul + 1, second_nul - first_nul - 1));
  const Text replacement(rest.substr(second_nul + 1));
  if (pattern.size() > 64 || subject.size() > 1024) return 0;  // the sizes the program uses

  net::RegexObject regex;
  const bool created =
      regex.create(pattern, subject, case_sensitive, multiline, global, quote_escape);
  const std::int32_t count = regex.match_count();
  check(count >= 0 && (created || count == 0));
  check(global || count <= 1);
  check(regex.submatch_count() >= 0);
  // The subject as the object sees it: its GBK text after the trip through UTF-16.
  const Text seen = net::u16string_to_gbk(net::gbk_to_u16string(subject));
  for (std::int32_t index = 0; index <= count + 1 && index <= 8; ++index) {
    std::int32_t position = 12345;
    const Text text = regex.match_text(index, &position);
    check(position != 12345);
    if (index >= 1 && index <= count) check_position(seen, text, position, !case_sensitive);
    for (std::int32_t group = 0; group <= regex.submatch_count() + 1 && group <= 4; ++group) {
      std::int32_t group_position = 12345;
      const Text group_text = regex.submatch_text(index, group, &group_position);
      check(group_position != 12345);
      check_position(seen, group_text, group_position, !case_sensitive);
    }
  }
  const Text replaced = regex.replace(replacement);
  check(created || replaced.empty());

  const net::RegexObject copy = regex;
  check(copy.match_count() == count && copy.pattern() == regex.pattern() &&
        copy.replace(replacement) == replaced);
  regex.reserved();
  return 0;
}
