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

std::vector<std::string> Contents(const NameArray& array) {
  std::vector<std::string> contents;
  for (int i = 0; i < array.size(); ++i) contents.emplace_back(array.names()[i] ? array.names()[i] : "<null>");
  return contents;
}

char alpha[] = "alpha", beta[] = "beta", gamma_[] = "gamma", Upper[] = "Upper";

TEST(UtDarray, SlotsAreFilledThroughGetaddrAndSeenThroughTheDerivedField) {
  NameArray array(3, 0);
  EXPECT_EQ(array.size(), 3);
  EXPECT_EQ(array.getelemsize(), 4);
  *array.getaddr(0) = beta;
  *array.getaddr(2) = alpha;
  EXPECT_EQ(Contents(array), (std::vector<std::string>{"beta", "<null>", "alpha"}));
  EXPECT_EQ(array.getaddr(3), nullptr);
  EXPECT_EQ(array.getaddr(-1), nullptr);
  EXPECT_EQ(array.intgetindex(2), 2);
  EXPECT_EQ(array.intgetindex(3), -1);
  // Growing moves the storage; the derived field follows.
  for (int i = 0; i < 100; ++i) array.append(gamma_);
  EXPECT_EQ(array.size(), 103);
  EXPECT_EQ(array.names()[102], gamma_);
  array.clearmem();
  EXPECT_EQ(array.size(), 0);
  EXPECT_EQ(array.names(), nullptr);
}

TEST(UtDarray, SortedAddAndBinarySearchUseByteOrder) {
  NameArray array(0, 0);
  EXPECT_EQ(array.a_sortadd(gamma_), 0);
  EXPECT_EQ(array.a_sortadd(alpha), 0);
  EXPECT_EQ(array.a_sortadd(Upper), 0);
  EXPECT_EQ(array.a_sortadd(beta), 2);
  EXPECT_EQ(Contents(array), (std::vector<std::string>{"Upper", "alpha", "beta", "gamma"}));
  EXPECT_EQ(array.a_bsearch("beta"), 2);
  EXPECT_EQ(array.a_bsearch("Upper"), 0);
  EXPECT_EQ(array.a_bsearch("upper"), -1);
  EXPECT_EQ(array.a_bsearch("zeta"), -1);
  EXPECT_EQ(NameArray(0, 0).a_bsearch("x"), -1);
}

TEST(UtDarray, SortShiftAndResize) {
  NameArray array(0, 0);
  for (char* name : {gamma_, alpha, Upper, beta}) array.append(name);
  array.a_sort();
  EXPECT_EQ(Contents(array), (std::vector<std::string>{"Upper", "alpha", "beta", "gamma"}));
  array.qsort([](const char* a, const char* b) { return -std::strcmp(a, b); });
  EXPECT_EQ(Contents(array), (std::vector<std::string>{"gamma", "beta", "alpha", "Upper"}));
  array.a_shift(1, 2);
  EXPECT_EQ(Contents(array), (std::vector<std::string>{"gamma", "<null>", "<null>", "beta", "alpha", "Upper"}));
  array.a_shift(4, -5);
  EXPECT_EQ(Contents(array), (std::vector<std::string>{"gamma", "<null>", "<null>", "beta"}));
  array.a_sort();
  EXPECT_EQ(Contents(array), (std::vector<std::string>{"<null>", "<null>", "beta", "gamma"}));
  array.a_resetnum(1);
  EXPECT_EQ(array.size(), 1);
  array.a_resetnum(-4);
  EXPECT_EQ(array.size(), 0);
}

TEST(UtDarray, ReserveKeepsContentsAndPublishesStorage) {
  NameArray array(0, 7);
  EXPECT_EQ(array.getflag(), 7);
  EXPECT_TRUE(array.reserve(50));
  ASSERT_NE(array.names(), nullptr);
  array.append(alpha);
  char** const storage = array.names();
  for (int i = 1; i < 50; ++i) array.append(beta);
  EXPECT_EQ(array.names(), storage);
  array.a_makearray(10);
  EXPECT_EQ(array.size(), 50);
  EXPECT_EQ(array[0], alpha);
}

}  // namespace
