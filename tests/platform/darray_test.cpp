// The dynamic array of element pointers, through a derived class as the library derives it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pmport/ut_darray.h"

namespace {

// Keeps its own storage field and hands its address to the base, as the library's arrays do. The
// field has no initialiser of its own: the base's constructor sets it.
class NameArray : public UT_DARRAY {
 public:
  NameArray(int count, int flag) : UT_DARRAY(&names_, 4, count, flag) {}
  char** names() const { return names_; }

 private:
  char** names_;
};

using Names = std::vector<std::string>;

Names Contents(const NameArray& array) {
  Names contents;
  for (int i = 0; i < array.size(); ++i)
    contents.emplace_back(array.names()[i] ? array.names()[i] : "<null>");
  return contents;
}

char alpha[] = "alpha", beta[] = "beta", gamma_[] = "gamma", Upper[] = "Upper";

TEST(UtDarray, SlotsGrowthSortedAddSearchSortShiftAndResize) {
  NameArray array(3, 0);
  *array.getaddr(0) = beta;
  *array.getaddr(2) = alpha;
  EXPECT_EQ(Contents(array), (Names{"beta", "<null>", "alpha"}));
  EXPECT_TRUE(array.getaddr(3) == nullptr && array.getaddr(-1) == nullptr);
  EXPECT_EQ(std::make_pair(array.intgetindex(2), array.intgetindex(3)), std::make_pair(2, -1));
  // Growing moves the storage; the derived field follows.
  for (int i = 0; i < 100; ++i) array.append(gamma_);
  EXPECT_TRUE(array.size() == 103 && array.names()[102] == gamma_);
  array.clearmem();
  EXPECT_TRUE(array.size() == 0 && array.names() == nullptr);

  // Sorted adding (into the cleared array) and binary search use byte order.
  // The index each name was added at, then where three names are found.
  EXPECT_EQ(
      (std::vector<int>{array.a_sortadd(gamma_), array.a_sortadd(alpha), array.a_sortadd(Upper),
                        array.a_sortadd(beta), array.a_bsearch("beta"), array.a_bsearch("upper"),
                        NameArray(0, 0).a_bsearch("x")}),
      (std::vector<int>{0, 0, 0, 2, 2, -1, -1}));
  EXPECT_EQ(Contents(array), (Names{"Upper", "alpha", "beta", "gamma"}));

  // Sorting, shifting and resizing.
  *array.getaddr(3) = Upper;
  array.a_sort();
  EXPECT_EQ(Contents(array), (Names{"Upper", "Upper", "alpha", "beta"}));
  array.qsort([](const char* a, const char* b) { return -std::strcmp(a, b); });
  EXPECT_EQ(Contents(array), (Names{"beta", "alpha", "Upper", "Upper"}));
  array.a_shift(1, 2);
  EXPECT_EQ(Contents(array), (Names{"beta", "<null>", "<null>", "alpha", "Upper", "Upper"}));
  array.a_shift(4, -5);
  EXPECT_EQ(Contents(array), (Names{"beta", "<null>", "<null>", "alpha"}));
  array.a_sort();
  EXPECT_EQ(Contents(array), (Names{"<null>", "<null>", "alpha", "beta"}));
  array.a_resetnum(-4);
  EXPECT_EQ(array.size(), 0);
}

}  // namespace
