// Regular expressions on Boost.Regex (Perl syntax).
#include "pmport/port_regexp.h"

#include <boost/regex.hpp>
#include <cstring>
#include <stdexcept>

struct Port_Regexp::Compiled {
  boost::regex expression;
};

Port_Regexp::Port_Regexp(const char* pattern) {
  try {
    auto compiled = std::make_shared<Compiled>();
    // As in Perl, "^" and "$" mean the ends of the text, not of a line within it: a part name
    // holding a line break must not have its device found after that break.
    compiled->expression.assign(pattern ? pattern : "",
                                boost::regex::perl | boost::regex::no_mod_m);
    compiled_ = std::move(compiled);
  } catch (const boost::regex_error& error) {
    status_ = error.code() != 0 ? static_cast<int>(error.code()) : -1;
  } catch (const std::exception&) {
    status_ = -1;
  }
}

Port_Range Port_Regexp::GetRangeOfMatch(const char* text, long start) const {
  Port_Range none;
  if (!compiled_ || !text || start < 0) return none;
  const char* const end = text + std::strlen(text);
  if (start > end - text) return none;
  // An empty match cannot be told from no match in a range, so only non-empty ones count.
  boost::match_flag_type flags = boost::match_not_null;
  // A search from inside the text does not start a new text: "^" and "\A" cannot match there.
  if (start > 0) flags |= boost::match_prev_avail | boost::match_not_bol | boost::match_not_bob;
  boost::cmatch match;
  try {
    // A pattern too complex for the matcher throws; that counts as no match.
    if (!boost::regex_search(text + start, end, match, compiled_->expression, flags)) return none;
  } catch (const std::exception&) {
    return none;
  }
  const long first = static_cast<long>(match[0].first - text);
  return Port_Range{first, first + static_cast<long>(match[0].length()) - 1};
}

bool Port_Regexp::Matches(const char* text, std::vector<Port::StringBase<char>>* groups) const {
  if (!compiled_ || !text) return false;
  boost::cmatch match;
  try {
    if (!boost::regex_match(text, match, compiled_->expression)) return false;
  } catch (const std::exception&) {
    return false;
  }
  if (groups) {
    groups->clear();
    for (const auto& group : match) groups->emplace_back(group.str());
  }
  return true;
}
