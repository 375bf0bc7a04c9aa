// Regular expressions (Perl syntax), compiled once per object.
#ifndef PMPORT_PORT_REGEXP_H
#define PMPORT_PORT_REGEXP_H

#include <pmport/export.h>

#include <memory>
#include <vector>

#include "pmport/port_string.h"

class PMPORT_API Port_Regexp {
 public:
  // Compiles `pattern` (null counts as empty). Never throws: a pattern that does not compile
  // leaves a non-zero status, and such an object matches nothing.
  explicit Port_Regexp(const char* pattern);
  explicit Port_Regexp(const Port::StringBase<char>& pattern) : Port_Regexp(pattern.c_str()) {}

  // 0 when the pattern compiled, else non-zero.
  int GetStatus() const { return status_; }

  // The first match that starts at or after position `start` of `text`, as positions in `text`;
  // an empty range (last below first) when there is none. Text before `start` still counts as
  // context ("^" does not match at a `start` inside the text). Only matches of at least one
  // character count, since an empty range means "none".
  Port_Range GetRangeOfMatch(const char* text, long start) const;
  Port_Range GetRangeOfMatch(const Port::StringBase<char>& text, long start) const {
    return GetRangeOfMatch(text.c_str(), start);
  }

  // Whether the pattern matches the whole of `text`. On a match, when `groups` is given, it
  // receives the whole text followed by each capture group's text (empty when a group took no
  // part).
  bool Matches(const char* text, std::vector<Port::StringBase<char>>* groups = nullptr) const;
  bool Matches(const Port::StringBase<char>& text,
               std::vector<Port::StringBase<char>>* groups = nullptr) const {
    return Matches(text.c_str(), groups);
  }

 private:
  class AnchoredPrefix;
  struct Compiled;
  std::shared_ptr<const Compiled> compiled_;  // immutable, so copies share it; null when invalid
  int status_ = 0;
};

#endif  // PMPORT_PORT_REGEXP_H
