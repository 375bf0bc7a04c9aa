// Device-name comparison: main numbers and the ordering of device-name spellings.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "baspmpicutil.h"

namespace {

using PersonalityModule::CompareDeviceNames;
using PersonalityModule::GetDeviceMainNumber;

int Sign(int value) { return (value > 0) - (value < 0); }

struct MainNumberCase {
  const char* name;
  unsigned long long value;
  std::size_t start;
};

TEST(DeviceMainNumber, ChoosesAmongTheFirstTwoRunsOfDigits) {
  const MainNumberCase cases[] = {
      {"ab12cd345", 345, 6},   // the longer second run
      {"ab12cd34", 34, 6},     // equal lengths choose the second
      {"ab123cd45", 123, 2},   // the first run only when strictly longer
      {"a1b2c3", 2, 3},        // the scan stops when the second run ends
      {"a1b22c333", 22, 3},
      {"abc", 0, 0},           // no digits: 0 at the start
      {"", 0, 0},
      {"123", 123, 0},
      {"x12", 12, 1},
      {"xcab12e", 12, 4},
      {"ab007", 7, 2},
      {"xc2s100", 100, 4},
      {"12e-4", 12, 0},
  };
  for (const MainNumberCase& c : cases) {
    const PersonalityModule::DeviceMainNumber number = GetDeviceMainNumber(c.name);
    EXPECT_EQ(number.value, c.value) << c.name;
    EXPECT_EQ(number.start, c.start) << c.name;
  }
}

TEST(DeviceMainNumber, NullAndOverlongRunsAreHarmless) {
  EXPECT_EQ(GetDeviceMainNumber(nullptr).value, 0u);
  EXPECT_EQ(GetDeviceMainNumber(nullptr).start, 0u);
  const std::string huge = "ab" + std::string(40, '9');
  EXPECT_EQ(GetDeviceMainNumber(huge.c_str()).value, ULLONG_MAX);
  EXPECT_EQ(GetDeviceMainNumber(huge.c_str()).start, 2u);
  // Numbers too large to tell apart still order by their text.
  const std::string eights = "ab" + std::string(39, '9') + "8";
  EXPECT_GT(CompareDeviceNames(huge.c_str(), eights.c_str()), 0);
  EXPECT_LT(CompareDeviceNames(eights.c_str(), huge.c_str()), 0);
}

struct CompareCase {
  const char* a;
  const char* b;
  int sign;
};

TEST(DeviceNameCompare, OrdersSpellingsAsExpected) {
  const CompareCase cases[] = {
      // the vendor letters may be left out, "x" then "c", lower case only
      {"xcab12e", "ab12e", 0},
      {"cab12e", "ab12e", 0},
      {"xab12e", "ab12e", 0},
      {"xcab12e", "cab12e", 0},
      {"xcv300e", "v300e", 0},
      {"xc2s100", "2s100", 0},
      {"XCAB12E", "xcab12e", 1},   // upper-case vendor letters stay in the key
      {"XCAB12E", "ab12e", 1},
      {"cxab12e", "xcab12e", 1},   // "c" then "x" is not the vendor prefix
      // letter case is otherwise ignored
      {"AB12E", "ab12e", 0},
      {"abc", "ABC", 0},
      // the main number decides first
      {"xcab12e", "xcab40", -1},
      {"ab40e", "xcab12e", 1},
      {"abc", "ab1", -1},
      {"ab12cd345", "ab400", -1},
      // then the text from the number on
      {"ab12e", "ab12f", -1},
      {"ab12e", "ab012e", 1},
      {"abc", "abd", -1},
      // a number at the start of either name makes equal tails equal names
      {"12e", "12E", 0},
      {"12e", "x12e", 0},
      {"12e", "zz12e", 0},
      // then the reversed prefix
      {"ab12e", "cd12e", -1},
      {"ab12cd345", "zz345", -1},
      {"ba12e", "ab12e", -1},
      // degenerate names
      {"", "", 0},
      {nullptr, "", 0},
      {nullptr, "ab12e", -1},
  };
  for (const CompareCase& c : cases) {
    EXPECT_EQ(Sign(CompareDeviceNames(c.a, c.b)), c.sign)
        << (c.a ? c.a : "(null)") << " vs " << (c.b ? c.b : "(null)");
    EXPECT_EQ(Sign(CompareDeviceNames(c.b, c.a)), -c.sign)
        << (c.b ? c.b : "(null)") << " vs " << (c.a ? c.a : "(null)");
  }
}

// Spellings grouped by the device they denote; no name of one group equals a name of another.
const std::vector<std::vector<const char*>> kSpellingGroups = {
    {"xcab12e", "cab12e", "ab12e", "AB12E", "xab12e", "Ab12E"},
    {"xcab40e", "cab40e", "ab40e"},
    {"xcv300e", "cv300e", "v300e", "V300E"},
    {"xc2s100", "c2s100", "2s100"},
    {"XCAB12E"},
    {"cxab12e"},
    {"ab12f"},
    {"abc", "ABC"},
    {""},
};

std::vector<const char*> AllSpellings() {
  std::vector<const char*> all;
  for (const auto& group : kSpellingGroups) all.insert(all.end(), group.begin(), group.end());
  return all;
}

TEST(DeviceNameCompare, ZeroExactlyForSpellingsOfTheSameDevice) {
  for (std::size_t g = 0; g < kSpellingGroups.size(); ++g) {
    for (std::size_t h = 0; h < kSpellingGroups.size(); ++h) {
      for (const char* a : kSpellingGroups[g]) {
        for (const char* b : kSpellingGroups[h]) {
          if (g == h) {
            EXPECT_EQ(CompareDeviceNames(a, b), 0) << a << " vs " << b;
          } else {
            EXPECT_NE(CompareDeviceNames(a, b), 0) << a << " vs " << b;
          }
        }
      }
    }
  }
}

TEST(DeviceNameCompare, IsAntisymmetricAndTransitive) {
  const std::vector<const char*> all = AllSpellings();
  for (const char* a : all) {
    for (const char* b : all) {
      EXPECT_EQ(Sign(CompareDeviceNames(a, b)), -Sign(CompareDeviceNames(b, a))) << a << " vs " << b;
      for (const char* c : all) {
        if (CompareDeviceNames(a, b) < 0 && CompareDeviceNames(b, c) < 0) {
          EXPECT_LT(CompareDeviceNames(a, c), 0) << a << " < " << b << " < " << c;
        }
      }
    }
  }
}

}  // namespace
