// The did-you-mean helper: edit distances and which names are close enough to suggest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "suggest.h"

namespace {

using pmtool::ClosestNames;
using pmtool::EditDistance;
using Names = std::vector<std::string>;

TEST(EditDistance, CountsInsertionsDeletionsSubstitutionsAndSwapsIgnoringCase) {
  EXPECT_EQ(0u, EditDistance("TQ144", "tq144"));
  EXPECT_EQ(1u, EditDistance("tq14", "tq144"));
  EXPECT_EQ(1u, EditDistance("tq1444", "tq144"));
  EXPECT_EQ(1u, EditDistance("tq145", "tq144"));
  EXPECT_EQ(1u, EditDistance("qt144", "tq144"));  // neighbours swapped
  EXPECT_EQ(2u, EditDistance("tq144", "t144q"));
  EXPECT_EQ(5u, EditDistance("", "cs144"));
  EXPECT_EQ(3u, EditDistance("kitten", "sitting"));
}

TEST(ClosestNames, SuggestsTheClosestWhenTheyArePlausibleSlips) {
  const Names packages = {"tq144", "cs144", "pq208", "fg256"};
  EXPECT_EQ(Names({"tq144"}), ClosestNames("tq14", packages));
  EXPECT_EQ(Names({"cs144"}), ClosestNames("xs144", packages));
  EXPECT_EQ(Names({"-3", "-4"}), ClosestNames("-5", {"-3", "-4"}));  // ties in list order
  EXPECT_EQ(Names(), ClosestNames("bg999", packages));
  // Only the closest, however many are within reach.
  EXPECT_EQ(Names({"xcab40e"}), ClosestNames("xcab41e", {"xcab12e", "xcab40e"}));
  EXPECT_EQ(Names({"xcab12e", "xcab40e"}), ClosestNames("xcab99e", {"xcab12e", "xcab40e"}));
  EXPECT_EQ(Names(), ClosestNames(std::string(100000, 'x'), packages));
  // At most three.
  EXPECT_EQ(3u, ClosestNames("a", {"a1", "a2", "a3", "a4", "a5"}).size());
}

}  // namespace
