// Regular expressions: match ranges, whole-string matches and patterns that do not compile.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "pmport/port_regexp.h"

namespace {

TEST(PortRegexp, RangeOfTheFirstMatchAtOrAfterStartWholeStringMatchesAndBadPatterns) {
  // pattern, text, start, the range matched
  const std::tuple<const char*, const char*, long, const char*> rows[] = {
      {"^x?c?ab[0-9]+e", "xcab12etq144-3", 0, "0-6"},
      {"^x?c?ab[0-9]+e", "ab12etq144-3", 0, "0-4"},
      {"^x?c?ab[0-9]+e", "zab12e", 0, "none"},
      {"-[0-9]", "a-1b-2", 2, "4-5"},
      {"-[0-9]", "a-1b-2", 1, "1-2"},
      // Text before the start is context, not a new beginning, and anchors mean the ends of the
      // text. Found by the part-name fuzz target: "1...\rpr04-3" bound the device "pr04" found
      // after the carriage return, and the name composed from that part parsed to another one.
      {"^ab", "xab", 1, "none"},
      {"^x?c?pr[0-9]+", "1\rpr04-3", 0, "none"},
      {"^x?c?pr[0-9]+", "1\npr04-3", 0, "none"},
      {"^x?c?pr[0-9]+", "1\fpr04", 0, "none"},
      {"-[0-9]+$", "-3\rtq144", 0, "none"},
      {"-[0-9]+$", "-3x", 0, "none"},
      {"-[0-9]+$", "tq144-3", 3, "5-6"},
      // A pattern anchored at the start is turned down early when the text cannot begin with its
      // literal characters; every kind of atom the early test reads, or stops at, keeps its
      // meaning.
      {"^x?c?ab[0-9]+e", "cab1e", 0, "0-4"},
      {"^x?c?ab[0-9]+e", "xxab1e", 0, "none"},
      {"^x?x?ab", "xab", 0, "0-2"},
      {"^ab?c", "ac", 0, "0-1"},
      {"^ab?c", "abc", 0, "0-2"},
      {"^a+b", "aaab", 0, "0-3"},
      {"^ab*c", "ac", 0, "0-1"},
      {"^ab{2}c", "abbc", 0, "0-3"},
      {"^ab??c", "ac", 0, "0-1"},
      {"^ab?+c", "abc", 0, "0-2"},
      {"^ab|cd", "cd", 0, "0-1"},
      {"^a\\.b", "a.b", 0, "0-2"},
      {"^ab(c)?d", "abd", 0, "0-2"},
      {"^abc", "ab", 0, "none"},
      {"^-[0-9]", "-3", 0, "0-1"},
      {"^x?c?ab", "", 0, "none"},
      // Empty matches are skipped; starts out of range give no range.
      {"a*", "bbb", 0, "none"},
      {"a*", "baa", 0, "1-2"},
      {"b", "abc", 1, "1-1"},
      {"b", "abc", 2, "none"},
      {"b", "abc", 5, "none"},
      {"b", "abc", -1, "none"},
      {"b", nullptr, 0, "none"},
  };
  for (const auto& [pattern, text, start, expected] : rows) {
    const Port_Range range = Port_Regexp(pattern).GetRangeOfMatch(text, start);
    EXPECT_EQ(
        range.empty() ? "none" : std::to_string(range.first) + "-" + std::to_string(range.last),
        expected)
        << pattern << " in " << (text ? text : "(null)") << " from " << start;
  }
  EXPECT_EQ(Port_Regexp("-[0-9]").GetRangeOfMatch(Port::String("a-1b-2"), 2).first, 4);

  // Whole-string matches with their groups; bad patterns match nothing.
  for (const char* bad : {"(", "[a-", "a{2,1}", "*x", "(?<"}) {
    const Port_Regexp regexp(bad);
    EXPECT_TRUE(regexp.GetStatus() != 0 && regexp.GetRangeOfMatch("(((", 0).empty() &&
                !regexp.Matches("("))
        << bad;
  }

  const Port_Regexp subfamily("x?c?ab([0-9]+)e");
  std::vector<Port::String> groups;
  ASSERT_TRUE(subfamily.Matches("xcab40e", &groups));
  EXPECT_EQ(groups, (std::vector<Port::String>{"xcab40e", "40"}));
  EXPECT_FALSE(subfamily.Matches("xcab40etq144") || subfamily.Matches("zxcab40e"));
  ASSERT_TRUE(Port_Regexp("a(b)?").Matches(Port::String("a"), &groups));
  EXPECT_EQ(groups, (std::vector<Port::String>{"a", ""}));
}

}  // namespace
