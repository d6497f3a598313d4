// RegexObject: one regular expression run once over a subject, then asked about its matches.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/text.h"

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
  struct Match {
    std::u16string value;
    std::int32_t first_index = 0;  // in UTF-16 units
    std::vector<std::optional<std::u16string>> groups;
  };
  using Matches = std::vector<Match>;

  const Match* match_at(std::int32_t index) const;
  std::int32_t byte_position(const Text& text, std::int32_t first_index) const;

  std::shared_ptr<const Engine> engine_;
  std::shared_ptr<const Matches> matches_;
  std::u16string subject_;
};

}  // namespace net
