// RegexObject: one regular expression run once over a subject, then asked about its matches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/result.h"
#include "net/text.h"

struct URegularExpression;

namespace net {

// Matching follows the VBScript regular-expression dialect on ICU: \w \d \s and \b are ASCII
// classes, the dot matches everything but a line feed, ^ and $ see line feeds only. Texts in
// and out are GBK. Match and group numbers are 1-based; a position is the 0-based byte offset
// of a match in the subject, -2 when it cannot be found. Nothing here fails loudly: a bad
// pattern or number gives false, the empty text, 0 or -2.
//
// Copies share the compiled settings and the matches of the source (both immutable) and hold
// their own copy of the subject, so a copy answers exactly as its source did at the time.
class RegexObject {
 public:
  // Compiles pattern (with every "#引号" turned into a double quote when quote_escape is true)
  // and runs it over subject, replacing any earlier run. True when the run produced a match
  // list (possibly empty); false for a pattern that does not compile or a run that had to stop.
  bool create(const Text& pattern, const Text& subject, bool case_sensitive = false,
              bool multiline = true, bool global = true, bool quote_escape = false);

  // Does nothing; it keeps its place among the operations of the object.
  void reserved();

  // The pattern of the last create, or the empty text before the first.
  Text pattern() const;

  // The subject with every match (only the first when global was false) replaced by
  // replacement, in which $1..$99 stand for groups, $& for the match, $` and $' for the text
  // before and after it and $$ for a dollar sign. Empty after a failed create.
  Text replace(const Text& replacement) const;

  // Number of matches of the last run.
  std::int32_t match_count() const;

  // Text of match index; when position is given it receives the match's byte offset.
  Text match_text(std::int32_t index, std::int32_t* position = nullptr) const;

  // Text of group group_index of match match_index (empty when the group took no part); when
  // position is given it receives the first offset of that text at or after its match's start.
  Text submatch_text(std::int32_t match_index, std::int32_t group_index,
                     std::int32_t* position = nullptr) const;

  // Number of groups of the first match, 0 when there is no match.
  std::int32_t submatch_count() const;

 private:
  struct Engine {
    std::u16string pattern;
    bool ignore_case = true;
  };
  // Where a match or a group lies in the subject, in UTF-16 units; a group that took no part
  // in its match has no start.
  struct Span {
    std::int32_t start = -1;
    std::int32_t end = -1;
    bool took_part() const { return start >= 0; }
  };
  // The spans of every match of a run, each match followed by its groups.
  struct Matches {
    std::size_t group_count = 0;
    std::vector<Span> spans;
    std::size_t size() const { return spans.size() / (group_count + 1); }
    const Span& match(std::size_t index) const { return spans[index * (group_count + 1)]; }
    const Span& group(std::size_t index, std::size_t group) const {
      return spans[index * (group_count + 1) + group];
    }
  };
  // The subject as GBK text and the byte offset in it of every match start, made once, on the
  // first question about a position.
  struct Positions {
    Text subject;
    std::vector<std::size_t> match_starts;
  };

  static Result<Matches> run(URegularExpression* regex, bool global, std::size_t group_count);
  Text text_of(const Span& span) const;
  const Positions& positions() const;
  Result<std::size_t> byte_position(std::size_t match_index, const Text& text) const;

  std::shared_ptr<const Engine> engine_;
  std::shared_ptr<const Matches> matches_;
  std::u16string subject_;
  mutable std::shared_ptr<const Positions> positions_;
};

}  // namespace net
