// Regular expressions on Boost.Regex (Perl syntax).
#include "pmport/port_regexp.h"

#include <boost/regex.hpp>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

bool IsPlainLiteral(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

}  // namespace

// The literal characters every match at the start of the text begins with, for a pattern anchored
// there: "^x?c?ab[0-9]+e" gives x (optional), c (optional), a, b. A part name is searched with
// many such patterns of which one matches; the others are turned down here without running the
// matcher. Only a pattern with no alternation anywhere has such a prefix; it ends at the first
// character that is not a plain literal or that may repeat (a "+" still asks for it once).
class Port_Regexp::AnchoredPrefix {
 public:
  explicit AnchoredPrefix(const char* pattern) {
    if (pattern[0] != '^' || std::strchr(pattern, '|')) return;
    for (const char* at = pattern + 1; IsPlainLiteral(*at) && atoms_.size() < kMaxAtoms; ++at) {
      const char next = at[1];
      if (next == '*' || next == '{') break;
      if (next == '?' && (at[2] == '?' || at[2] == '+')) break;
      atoms_.push_back({*at, next == '?'});
      if (next == '+') break;
      if (next == '?') ++at;
    }
    SplitLeadAndCore();
  }

  // False only when no match can start at the beginning of `text`.
  bool MayMatch(const char* text) const {
    return simple_ ? MayMatchLeadAndCore(text) : MayMatchAnyAtoms(text);
  }

 private:
  // The usual shape, optional letters and then required ones ("x?c?ab"), is tested directly:
  // the required letters start at some offset up to the number of optional ones, and what comes
  // before them is some of the optional letters, in order.
  void SplitLeadAndCore() {
    std::size_t leading = 0;
    while (leading < atoms_.size() && atoms_[leading].optional) ++leading;
    for (std::size_t i = leading; i < atoms_.size(); ++i) {
      if (atoms_[i].optional) return;
      core_ += atoms_[i].character;
    }
    for (std::size_t i = 0; i < leading; ++i) lead_ += atoms_[i].character;
    simple_ = true;
  }

  bool MayMatchLeadAndCore(const char* text) const {
    for (std::size_t offset = 0; offset <= lead_.size(); ++offset) {
      if (StartsWithCore(text + offset) && IsSomeOfLead(text, offset)) return true;
      if (text[offset] == '\0') return false;
    }
    return false;
  }

  bool StartsWithCore(const char* text) const {
    for (std::size_t i = 0; i < core_.size(); ++i) {
      if (text[i] != core_[i]) return false;  // the text's null ends it here too
    }
    return true;
  }

  // Whether the first `length` characters of `text` are some of the optional letters, in order.
  bool IsSomeOfLead(const char* text, std::size_t length) const {
    std::size_t matched = 0;
    for (std::size_t i = 0; i < lead_.size() && matched < length; ++i) {
      if (lead_[i] == text[matched]) ++matched;
    }
    return matched == length;
  }

  bool MayMatchAnyAtoms(const char* text) const {
    // Bit i: a path through the atoms so far ends at offset i of the text.
    std::uint64_t ends = 1;
    for (const Atom& atom : atoms_) {
      std::uint64_t advanced = 0;
      // Only the offsets where a path ends are visited. Each lies within the text or on its
      // terminating null: a path reaches offset i only through i characters that matched.
      for (std::uint64_t rest = ends; rest != 0; rest &= rest - 1) {
        const int offset = __builtin_ctzll(rest);
        if (text[offset] == atom.character) advanced |= std::uint64_t{1} << (offset + 1);
      }
      ends = atom.optional ? (ends | advanced) : advanced;
      if (ends == 0) return false;
    }
    return true;
  }

  struct Atom {
    char character;
    bool optional;
  };
  static constexpr std::size_t kMaxAtoms = 62;
  std::vector<Atom> atoms_;
  bool simple_ = false;  // atoms_ is lead_'s optional letters, then core_'s required ones
  std::string lead_;
  std::string core_;
};

struct Port_Regexp::Compiled {
  explicit Compiled(const char* pattern) : prefix(pattern) {}
  boost::regex expression;
  AnchoredPrefix prefix;
};

Port_Regexp::Port_Regexp(const char* pattern) {
  try {
    auto compiled = std::make_shared<Compiled>(pattern ? pattern : "");
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
  if (start == 0 && !compiled_->prefix.MayMatch(text)) return none;
  const char* const end = text + std::strlen(text);
  if (start > end - text) return none;
  // An empty match cannot be told from no match in a range, so only non-empty ones count.
  boost::match_flag_type flags = boost::match_not_null;
  // A search from inside the text does not start a new text: "^" and "\A" cannot match there.
  if (start > 0) flags |= boost::match_prev_avail | boost::match_not_bol | boost::match_not_bob;
  // Kept by the thread: a parse searches many times, and a fresh result allocates every time.
  thread_local boost::cmatch match;
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
