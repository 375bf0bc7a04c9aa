// Regular expressions: match ranges, whole-string matches and patterns that do not compile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pmport/port_regexp.h"

namespace {

void ExpectRange(const Port_Range& range, long first, long last) {
  EXPECT_EQ(range.first, first);
  EXPECT_EQ(range.last, last);
}

TEST(PortRegexp, RangeOfTheFirstMatchAtOrAfterStart) {
  const Port_Regexp device("^x?c?ab[0-9]+e");
  ASSERT_EQ(device.GetStatus(), 0);
  ExpectRange(device.GetRangeOfMatch("xcab12etq144-3", 0), 0, 6);
  ExpectRange(device.GetRangeOfMatch("ab12etq144-3", 0), 0, 4);
  EXPECT_TRUE(device.GetRangeOfMatch("zab12e", 0).empty());

  const Port_Regexp dash("-[0-9]");
  ExpectRange(dash.GetRangeOfMatch(Port::String("a-1b-2"), 2), 4, 5);
  ExpectRange(dash.GetRangeOfMatch("a-1b-2", 1), 1, 2);
}

// Text before the start is context, not a new beginning, and anchors mean the ends of the text.
// Found by the part-name fuzz target: "1...\rpr04-3" bound the device "pr04" found after the
// carriage return, and the name composed from that part parsed to another one.
TEST(PortRegexp, AnchorsMeanTheEndsOfTheTextNotOfALineNorTheStart) {
  EXPECT_TRUE(Port_Regexp("^ab").GetRangeOfMatch("xab", 1).empty());
  const Port_Regexp device("^x?c?pr[0-9]+");
  for (const char* text : {"1\rpr04-3", "1\npr04-3", "1\fpr04"}) {
    EXPECT_TRUE(device.GetRangeOfMatch(text, 0).empty()) << text;
  }
  const Port_Regexp speed("-[0-9]+$");
  EXPECT_TRUE(speed.GetRangeOfMatch("-3\rtq144", 0).empty());
  EXPECT_TRUE(speed.GetRangeOfMatch("-3x", 0).empty());
  ExpectRange(speed.GetRangeOfMatch("tq144-3", 3), 5, 6);
}

// A pattern anchored at the start is turned down early when the text cannot begin with its
// literal characters; every kind of atom the early test reads, or stops at, keeps its meaning.
TEST(PortRegexp, AnchoredLiteralPrefixesMatchAsTheMatcherDoes) {
  struct Row {
    const char* pattern;
    const char* text;
    long last;  // of a match from 0; -1 for none
  };
  const Row rows[] = {
      {"^x?c?ab[0-9]+e", "cab1e", 4},
      {"^x?c?ab[0-9]+e", "xxab1e", -1},
      {"^x?x?ab", "xab", 2},
      {"^a+b", "aaab", 3},
      {"^ab*c", "ac", 1},
      {"^ab{2}c", "abbc", 3},
      {"^ab??c", "ac", 1},
      {"^ab?+c", "abc", 2},
      {"^ab|cd", "cd", 1},
      {"^a\\.b", "a.b", 2},
      {"^ab(c)?d", "abd", 2},
      {"^abc", "ab", -1},
      {"^-[0-9]", "-3", 1},
      {"^x?c?ab", "", -1},
  };
  for (const Row& row : rows) {
    const Port_Range range = Port_Regexp(row.pattern).GetRangeOfMatch(row.text, 0);
    if (row.last < 0) {
      EXPECT_TRUE(range.empty()) << row.pattern << " " << row.text;
    } else {
      ExpectRange(range, 0, row.last);
    }
  }
}

TEST(PortRegexp, OutOfRangeStartsGiveNoRangeAndEmptyMatchesAreSkipped) {
  const Port_Regexp any("a*");
  EXPECT_TRUE(any.GetRangeOfMatch("bbb", 0).empty());
  ExpectRange(any.GetRangeOfMatch("baa", 0), 1, 2);
  const Port_Regexp b("b");
  ExpectRange(b.GetRangeOfMatch("abc", 1), 1, 1);
  EXPECT_TRUE(b.GetRangeOfMatch("abc", 2).empty());
  EXPECT_TRUE(b.GetRangeOfMatch("abc", 5).empty());
  EXPECT_TRUE(b.GetRangeOfMatch("abc", -1).empty());
  EXPECT_TRUE(b.GetRangeOfMatch(static_cast<const char*>(nullptr), 0).empty());
}

TEST(PortRegexp, BadPatternsReportAStatusAndMatchNothing) {
  for (const char* bad : {"(", "[a-", "a{2,1}", "*x", "(?<"}) {
    const Port_Regexp regexp(bad);
    EXPECT_NE(regexp.GetStatus(), 0) << bad;
    EXPECT_TRUE(regexp.GetRangeOfMatch("(((", 0).empty()) << bad;
    EXPECT_FALSE(regexp.Matches("(")) << bad;
  }
}

TEST(PortRegexp, WholeStringMatchWithGroups) {
  const Port_Regexp subfamily("x?c?ab([0-9]+)e");
  std::vector<Port::String> groups;
  ASSERT_TRUE(subfamily.Matches("xcab40e", &groups));
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0], "xcab40e");
  EXPECT_EQ(groups[1], "40");
  EXPECT_FALSE(subfamily.Matches("xcab40etq144"));
  EXPECT_FALSE(subfamily.Matches("zxcab40e"));
  const Port_Regexp optional("a(b)?");
  ASSERT_TRUE(optional.Matches(Port::String("a"), &groups));
  EXPECT_EQ(groups, (std::vector<Port::String>{"a", ""}));
}

}  // namespace
