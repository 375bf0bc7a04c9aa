// The did-you-mean helper: edit distances and which names are close enough to suggest. The
// transcripts (parts.t, part.t) show a slip with one closest name, ties and no suggestion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "suggest.h"

namespace {

using pmtool::ClosestNames;
using pmtool::EditDistance;
using Names = std::vector<std::string>;

TEST(EditDistance, CountsInsertionsDeletionsSubstitutionsAndSwapsIgnoringCase) {
  // "qt144": neighbours swapped
  const std::pair<const char*, const char*> pairs[] = {
      {"TQ144", "tq144"}, {"tq14", "tq144"},  {"tq1444", "tq144"}, {"tq145", "tq144"},
      {"qt144", "tq144"}, {"tq144", "t144q"}, {"", "cs144"},       {"kitten", "sitting"}};
  std::vector<std::size_t> distances;
  for (const auto& [a, b] : pairs) distances.push_back(EditDistance(a, b));
  EXPECT_EQ(distances, (std::vector<std::size_t>{0, 1, 1, 1, 1, 2, 5, 3}));
}

TEST(ClosestNames, SuggestsTheClosestWhenTheyArePlausibleSlips) {
  const Names packages = {"tq144", "cs144", "pq208", "fg256"};
  EXPECT_EQ(Names({"cs144"}), ClosestNames("xs144", packages));
  EXPECT_EQ(Names({"-3", "-4"}), ClosestNames("-5", {"-3", "-4"}));  // ties in list order
  EXPECT_EQ(Names(), ClosestNames(std::string(100000, 'x'), packages));
  // At most three.
  EXPECT_EQ(3u, ClosestNames("a", {"a1", "a2", "a3", "a4", "a5"}).size());
}

}  // namespace
