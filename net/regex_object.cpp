#include "net/regex_object.h"

#include <unicode/ucnv.h>
#include <unicode/uregex.h>
#include <unicode/utypes.h>

#include <algorithm>
#include <limits>
#include <string_view>

#include "net/encoding.h"
#include "net/icu_converter.h"
#include "net/text_extract.h"

namespace net {
namespace {

struct RegexCloser {
  void operator()(URegularExpression* regex) const { uregex_close(regex); }
};
using Regex = std::unique_ptr<URegularExpression, RegexCloser>;

// A search for one match that takes longer than this many of the engine's time units (of the
// order of a millisecond each) is stopped and the run counts as failed, so that no pattern can
// block the calling thread for long. Each match has its own allowance: a long subject with many
// cheap matches is no runaway.
constexpr int32_t match_time_limit = 1000;

// The engine's time units spent on the match being searched for.
struct MatchClock {
  int32_t now = 0;          // units since the run began
  int32_t match_began = 0;  // units when the search for this match began
};

// Called by the engine once per time unit; false stops the run.
UBool U_CALLCONV within_match_limit(const void* context, int32_t steps) {
  auto* clock = static_cast<MatchClock*>(const_cast<void*>(context));
  clock->now = steps;
  return steps - clock->match_began < match_time_limit;
}

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

Result<RegexObject::Matches> RegexObject::run(URegularExpression* regex, bool global,
                                              std::size_t group_count) {
  MatchClock clock;
  UErrorCode status = U_ZERO_ERROR;
  uregex_setMatchCallback(regex, within_match_limit, &clock, &status);
  Matches matches;
  matches.group_count = group_count;
  while (true) {
    clock.match_began = clock.now;
    if (!uregex_findNext(regex, &status)) break;
    for (std::size_t group = 0; group <= group_count; ++group) {
      const auto number = static_cast<int32_t>(group);
      matches.spans.push_back(
          {uregex_start(regex, number, &status), uregex_end(regex, number, &status)});
    }
    if (U_FAILURE(status)) break;
    if (!global) break;
  }
  if (U_FAILURE(status)) return Failure{std::string("the run stopped: ") + u_errorName(status)};
  return Result<Matches>(std::move(matches));
}

bool RegexObject::create(const Text& pattern, const Text& subject, bool case_sensitive,
                         bool multiline, bool global, bool quote_escape) {
  auto engine = std::make_shared<Engine>();
  engine->pattern = gbk_to_u16string(quote_escape ? unescape_quotes(pattern) : pattern);
  engine->ignore_case = !case_sensitive;
  engine_ = engine;
  matches_.reset();
  positions_.reset();
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
  uregex_setText(regex.get(), subject_.data(), static_cast<int32_t>(subject_.size()), &status);
  const int32_t group_count = uregex_groupCount(regex.get(), &status);
  if (U_FAILURE(status)) return false;
  Result<Matches> matches = run(regex.get(), global, static_cast<std::size_t>(group_count));
  if (!matches) return false;
  matches_ = std::make_shared<const Matches>(std::move(matches).value());
  return true;
}

void RegexObject::reserved() {}

Text RegexObject::pattern() const { return engine_ ? u16string_to_gbk(engine_->pattern) : Text(); }

Text RegexObject::replace(const Text& replacement) const {
  if (!matches_) return {};
  const std::u16string with = gbk_to_u16string(replacement);
  std::u16string replaced;
  std::size_t done = 0;
  const std::size_t group_count = matches_->group_count;
  for (std::size_t index = 0; index < matches_->size(); ++index) {
    const Span& match = matches_->match(index);
    const auto start = static_cast<std::size_t>(match.start);
    const auto end = static_cast<std::size_t>(match.end);
    const auto append_group = [&](std::size_t group) {
      const Span& span = matches_->group(index, group);
      if (span.took_part()) {
        replaced.append(subject_, static_cast<std::size_t>(span.start),
                        static_cast<std::size_t>(span.end - span.start));
      }
    };
    replaced.append(subject_, done, start - done);
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
        replaced.append(subject_, start, end - start);
        ++at;
      } else if (next == u'`') {
        replaced.append(subject_, 0, start);
        ++at;
      } else if (next == u'\'') {
        replaced.append(subject_, end);
        ++at;
      } else if (const std::size_t two = group_number(at + 1, 2); two != 0) {
        append_group(two);
        at += 2;
      } else if (const std::size_t one = group_number(at + 1, 1); one != 0) {
        append_group(one);
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

Text RegexObject::text_of(const Span& span) const {
  if (!span.took_part()) return {};
  return u16string_to_gbk(std::u16string_view(subject_).substr(
      static_cast<std::size_t>(span.start), static_cast<std::size_t>(span.end - span.start)));
}

// The subject is converted once, in pieces, and ICU's offsets tell which unit each byte comes
// from: the first byte from a unit at or after a match's start is where that match begins.
const RegexObject::Positions& RegexObject::positions() const {
  if (positions_) return *positions_;
  auto positions = std::make_shared<Positions>();
  const std::size_t count = matches_ ? matches_->size() : 0;
  positions->match_starts.resize(count);
  std::size_t next = 0;  // the next match whose start is not placed yet
  const auto place_up_to = [&](std::size_t unit, std::size_t byte) {
    while (next < count && static_cast<std::size_t>(matches_->match(next).start) <= unit) {
      positions->match_starts[next++] = byte;
    }
  };
  const Converter gbk = open_converter("GBK");
  if (gbk) {
    constexpr std::size_t piece = 1 << 16;
    std::vector<char> bytes(piece * static_cast<std::size_t>(ucnv_getMaxCharSize(gbk.get())) + 16);
    std::vector<int32_t> offsets(bytes.size());
    const char16_t* source = subject_.data();
    const char16_t* const end = source + subject_.size();
    while (true) {
      const char16_t* const begin = source;
      const char16_t* const limit = begin + std::min<std::size_t>(piece, end - begin);
      char* target = bytes.data();
      UErrorCode status = U_ZERO_ERROR;
      ucnv_fromUnicode(gbk.get(), &target, bytes.data() + bytes.size(), &source, limit,
                       offsets.data(), limit == end, &status);
      if (U_FAILURE(status)) break;
      const auto written = static_cast<std::size_t>(target - bytes.data());
      for (std::size_t i = 0; i < written; ++i) {
        // A byte of a character begun in the piece before has no offset in this one.
        if (offsets[i] >= 0) {
          place_up_to(static_cast<std::size_t>(begin - subject_.data()) +
                          static_cast<std::size_t>(offsets[i]),
                      positions->subject.size() + i);
        }
      }
      positions->subject.append(bytes.data(), written);
      if (limit == end) break;
    }
  }
  // Matches that start after the last character (empty ones at the end) start after the text.
  while (next < count) positions->match_starts[next++] = positions->subject.size();
  positions_ = std::move(positions);
  return *positions_;
}

// The byte offset in the subject of text, searched for from the byte where match number
// match_index (0-based) starts: for the match's own text that is where it begins, for a group's
// text its first occurrence at or after its match's start.
Result<std::size_t> RegexObject::byte_position(std::size_t match_index, const Text& text) const {
  const Positions& known = positions();
  const std::size_t found =
      find_marker(known.subject, text, known.match_starts[match_index], engine_->ignore_case);
  if (found == Text::npos) return Failure{"the text is not found after its match's start"};
  return found;
}

Text RegexObject::match_text(std::int32_t index, std::int32_t* position) const {
  if (!matches_ || index < 1 || static_cast<std::size_t>(index) > matches_->size()) {
    if (position) *position = -2;
    return {};
  }
  const auto match_index = static_cast<std::size_t>(index) - 1;
  Text text = text_of(matches_->match(match_index));
  if (position) {
    const Result<std::size_t> found = byte_position(match_index, text);
    *position = found ? clamp_to_int32(*found) : -2;
  }
  return text;
}

Text RegexObject::submatch_text(std::int32_t match_index, std::int32_t group_index,
                                std::int32_t* position) const {
  if (!matches_ || match_index < 1 || static_cast<std::size_t>(match_index) > matches_->size() ||
      group_index < 1 || static_cast<std::size_t>(group_index) > matches_->group_count) {
    if (position) *position = -2;
    return {};
  }
  const auto match = static_cast<std::size_t>(match_index) - 1;
  Text text = text_of(matches_->group(match, static_cast<std::size_t>(group_index)));
  if (position) {
    const Result<std::size_t> found = byte_position(match, text);
    *position = found ? clamp_to_int32(*found) : -2;
  }
  return text;
}

std::int32_t RegexObject::submatch_count() const {
  return matches_ && matches_->size() > 0 ? clamp_to_int32(matches_->group_count) : 0;
}

}  // namespace net
