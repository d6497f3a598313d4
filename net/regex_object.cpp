#include "net/regex_object.h"

#include <unicode/uregex.h>

#include <algorithm>
#include <limits>
#include <string_view>

#include "net/encoding.h"
#include "net/text_extract.h"

namespace net {
namespace {

struct RegexCloser {
  void operator()(URegularExpression* regex) const { uregex_close(regex); }
};
using Regex = std::unique_ptr<URegularExpression, RegexCloser>;

// A run that takes longer than this many engine steps (of the order of a millisecond each)
// is stopped and counts as failed, so that no pattern can block the calling thread for long.
constexpr int32_t run_time_limit = 1000;

constexpr std::u16string_view word_members = u"a-zA-Z0-9_";
constexpr std::u16string_view digit_members = u"0-9";
constexpr std::u16string_view space_members = u"\\t\\n\\x{0B}\\f\\r ";
constexpr std::u16string_view word_boundary =
    u"(?:(?<=[a-zA-Z0-9_])(?![a-zA-Z0-9_])|(?<![a-zA-Z0-9_])(?=[a-zA-Z0-9_]))";
constexpr std::u16string_view no_word_boundary =
    u"(?:(?<=[a-zA-Z0-9_])(?=[a-zA-Z0-9_])|(?<![a-zA-Z0-9_])(?![a-zA-Z0-9_]))";

// The members of the class escape \w \d \s (and their negations \W \D \S), or empty.
std::u16string_view class_members(char16_t escape) {
  switch (escape) {
    case u'w':
    case u'W':
      return word_members;
    case u'd':
    case u'D':
      return digit_members;
    case u's':
    case u'S':
      return space_members;
    default:
      return {};
  }
}

bool is_negated_class(char16_t escape) {
  return escape == u'W' || escape == u'D' || escape == u'S';
}

// Length of the quantifier {n}, {n,} or {n,m} at the start of text, or 0 when there is none.
std::size_t quantifier_length(std::u16string_view text) {
  std::size_t at = 1;
  const auto digits = [&] {
    const std::size_t begin = at;
    while (at < text.size() && text[at] >= u'0' && text[at] <= u'9') ++at;
    return at > begin;
  };
  if (!digits()) return 0;
  if (at < text.size() && text[at] == u',') {
    ++at;
    digits();
  }
  return at < text.size() && text[at] == u'}' ? at + 1 : 0;
}

// Rewrites a pattern of the VBScript dialect into ICU's: its class escapes and word boundaries
// are ASCII-only there, a "[" or "&" inside a class and a brace outside a quantifier are
// ordinary characters, and without multiline "$" matches only at the very end.
std::u16string icu_pattern(std::u16string_view pattern, bool multiline) {
  std::u16string rewritten;
  rewritten.reserve(pattern.size() + 16);
  bool in_class = false;
  for (std::size_t at = 0; at < pattern.size(); ++at) {
    const char16_t unit = pattern[at];
    if (unit == u'\\' && at + 1 < pattern.size()) {
      const char16_t escape = pattern[++at];
      const std::u16string_view members = class_members(escape);
      if (!members.empty()) {
        const bool negated = is_negated_class(escape);
        if (in_class && !negated) {
          rewritten.append(members);
        } else {
          rewritten.append(negated ? u"[^" : u"[").append(members).push_back(u']');
        }
      } else if (escape == u'b' && in_class) {
        rewritten.append(u"\\x{08}");
      } else if ((escape == u'b' || escape == u'B') && !in_class) {
        rewritten.append(escape == u'b' ? word_boundary : no_word_boundary);
      } else {
        rewritten.push_back(unit);
        rewritten.push_back(escape);
      }
      continue;
    }
    if (in_class) {
      if (unit == u']') {
        in_class = false;
      } else if (unit == u'[' || unit == u'&') {
        rewritten.push_back(u'\\');
      }
    } else if (unit == u'[') {
      in_class = true;
      rewritten.push_back(unit);
      if (at + 1 < pattern.size() && pattern[at + 1] == u'^') rewritten.push_back(pattern[++at]);
      continue;
    } else if (unit == u'$' && !multiline) {
      rewritten.append(u"\\z");
      continue;
    } else if (unit == u'{') {
      if (const std::size_t length = quantifier_length(pattern.substr(at)); length != 0) {
        rewritten.append(pattern.substr(at, length));
        at += length - 1;
        continue;
      }
      rewritten.push_back(u'\\');
    } else if (unit == u'}') {
      rewritten.push_back(u'\\');
    }
    rewritten.push_back(unit);
  }
  return rewritten.empty() ? u"(?:)" : rewritten;  // ICU refuses a pattern of length 0
}

std::int32_t clamp_to_int32(std::size_t value) {
  return static_cast<std::int32_t>(std::min<std::size_t>(
      value, static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())));
}

}  // namespace

bool RegexObject::create(const Text& pattern, const Text& subject, bool case_sensitive,
                         bool multiline, bool global, bool quote_escape) {
  auto engine = std::make_shared<Engine>();
  engine->pattern = gbk_to_u16string(quote_escape ? unescape_quotes(pattern) : pattern);
  engine->ignore_case = !case_sensitive;
  engine_ = engine;
  matches_.reset();
  subject_ = gbk_to_u16string(subject);

  const std::u16string rewritten = icu_pattern(engine->pattern, multiline);
  std::uint32_t flags = UREGEX_UNIX_LINES;
  if (engine->ignore_case) flags |= UREGEX_CASE_INSENSITIVE;
  if (multiline) flags |= UREGEX_MULTILINE;
  UParseError parse_error;
  UErrorCode status = U_ZERO_ERROR;
  const Regex regex(uregex_open(rewritten.data(), static_cast<int32_t>(rewritten.size()), flags,
                                &parse_error, &status));
  if (U_FAILURE(status)) return false;
  uregex_setTimeLimit(regex.get(), run_time_limit, &status);
  uregex_setText(regex.get(), subject_.data(), static_cast<int32_t>(subject_.size()), &status);
  const int32_t group_count = uregex_groupCount(regex.get(), &status);
  if (U_FAILURE(status)) return false;

  Matches matches;
  const auto part = [&](int32_t group) -> std::optional<std::u16string> {
    const int32_t start = uregex_start(regex.get(), group, &status);
    const int32_t end = uregex_end(regex.get(), group, &status);
    if (U_FAILURE(status) || start < 0) return std::nullopt;
    return subject_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
  };
  while (uregex_findNext(regex.get(), &status)) {
    Match& match = matches.emplace_back();
    match.first_index = uregex_start(regex.get(), 0, &status);
    match.value = part(0).value_or(std::u16string());
    for (int32_t group = 1; group <= group_count; ++group) match.groups.push_back(part(group));
    if (!global) break;
  }
  if (U_FAILURE(status)) return false;
  matches_ = std::make_shared<const Matches>(std::move(matches));
  return true;
}

void RegexObject::reserved() {}

Text RegexObject::pattern() const { return engine_ ? u16string_to_gbk(engine_->pattern) : Text(); }

Text RegexObject::replace(const Text& replacement) const {
  if (!matches_) return {};
  const std::u16string with = gbk_to_u16string(replacement);
  std::u16string replaced;
  std::size_t done = 0;
  for (const Match& match : *matches_) {
    const auto start = static_cast<std::size_t>(match.first_index);
    const std::size_t end = start + match.value.size();
    replaced.append(subject_, done, start - done);
    const std::size_t group_count = match.groups.size();
    const auto group_number = [&](std::size_t at, std::size_t digits) -> std::size_t {
      std::size_t number = 0;
      for (std::size_t i = 0; i < digits; ++i) {
        if (at + i >= with.size() || with[at + i] < u'0' || with[at + i] > u'9') return 0;
        number = number * 10 + static_cast<std::size_t>(with[at + i] - u'0');
      }
      return number >= 1 && number <= group_count ? number : 0;
    };
    for (std::size_t at = 0; at < with.size(); ++at) {
      const char16_t next = at + 1 < with.size() ? with[at + 1] : u'\0';
      if (with[at] != u'$' || next == u'\0') {
        replaced.push_back(with[at]);
      } else if (next == u'$') {
        replaced.push_back(u'$');
        ++at;
      } else if (next == u'&') {
        replaced.append(match.value);
        ++at;
      } else if (next == u'`') {
        replaced.append(subject_, 0, start);
        ++at;
      } else if (next == u'\'') {
        replaced.append(subject_, end);
        ++at;
      } else if (const std::size_t two = group_number(at + 1, 2); two != 0) {
        replaced.append(match.groups[two - 1].value_or(std::u16string()));
        at += 2;
      } else if (const std::size_t one = group_number(at + 1, 1); one != 0) {
        replaced.append(match.groups[one - 1].value_or(std::u16string()));
        ++at;
      } else {
        replaced.push_back(u'$');
      }
    }
    done = end;
  }
  replaced.append(subject_, done);
  return u16string_to_gbk(replaced);
}

std::int32_t RegexObject::match_count() const {
  return matches_ ? clamp_to_int32(matches_->size()) : 0;
}

const RegexObject::Match* RegexObject::match_at(std::int32_t index) const {
  if (!matches_ || index < 1 || static_cast<std::size_t>(index) > matches_->size()) return nullptr;
  return &(*matches_)[static_cast<std::size_t>(index) - 1];
}

// The byte offset of text in the subject, searched for from the byte where its match starts.
// The match start counts UTF-16 units; the GBK length of the units before it is the byte where
// the match starts, so the search begins on a character and never inside one.
std::int32_t RegexObject::byte_position(const Text& text, std::int32_t first_index) const {
  const std::u16string_view before =
      std::u16string_view(subject_).substr(0, static_cast<std::size_t>(first_index));
  const std::size_t found = find_marker(u16string_to_gbk(subject_), text,
                                        u16string_to_gbk(before).size(), engine_->ignore_case);
  return found == Text::npos ? -2 : clamp_to_int32(found);
}

Text RegexObject::match_text(std::int32_t index, std::int32_t* position) const {
  const Match* match = match_at(index);
  if (!match) {
    if (position) *position = -2;
    return {};
  }
  Text text = u16string_to_gbk(match->value);
  if (position) *position = byte_position(text, match->first_index);
  return text;
}

Text RegexObject::submatch_text(std::int32_t match_index, std::int32_t group_index,
                                std::int32_t* position) const {
  const Match* match = match_at(match_index);
  if (!match || group_index < 1 || static_cast<std::size_t>(group_index) > match->groups.size()) {
    if (position) *position = -2;
    return {};
  }
  const auto& group = match->groups[static_cast<std::size_t>(group_index) - 1];
  Text text = group ? u16string_to_gbk(*group) : Text();
  if (position) *position = byte_position(text, match->first_index);
  return text;
}

std::int32_t RegexObject::submatch_count() const {
  return matches_ && !matches_->empty() ? clamp_to_int32(matches_->front().groups.size()) : 0;
}

}  // namespace net
