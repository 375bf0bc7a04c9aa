// Device-name comparison: main numbers and the ordering of device-name spellings.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "baspmpicutil.h"

namespace {

using PersonalityModule::CompareDeviceNames;
using PersonalityModule::GetDeviceMainNumber;

int Sign(int value) { return (value > 0) - (value < 0); }

std::string Shown(const char* name) { return name ? name : "(null)"; }

// The longer of the first two runs of digits, the second on equal lengths; the scan stops when
// the second run ends; without digits 0 at the start.
TEST(DeviceMainNumber, ChoosesAmongTheFirstTwoRunsOfDigits) {
  const std::tuple<const char*, unsigned long long, std::size_t> cases[] = {
      {"ab12cd345", 345, 6}, {"ab12cd34", 34, 6}, {"ab123cd45", 123, 2}, {"a1b2c3", 2, 3},
      {"abc", 0, 0},         {"", 0, 0},          {nullptr, 0, 0},       {"123", 123, 0},
      {"ab007", 7, 2},       {"12e-4", 12, 0},
  };
  for (const auto& [name, value, start] : cases) {
    const PersonalityModule::DeviceMainNumber number = GetDeviceMainNumber(name);
    EXPECT_EQ(std::pair(number.value, number.start), std::pair(value, start)) << Shown(name);
  }
  // An overlong run is capped; numbers too large to tell apart still order by their text.
  const std::string huge = "ab" + std::string(40, '9');
  const PersonalityModule::DeviceMainNumber capped = GetDeviceMainNumber(huge.c_str());
  EXPECT_EQ(std::pair(capped.value, capped.start), std::pair(ULLONG_MAX, std::size_t{2}));
  const std::string eights = "ab" + std::string(39, '9') + "8";
  EXPECT_GT(CompareDeviceNames(huge.c_str(), eights.c_str()), 0);
  EXPECT_LT(CompareDeviceNames(eights.c_str(), huge.c_str()), 0);
}

// Orders of names of different devices; the spellings of one device are in kSpellingGroups.
// In row order: upper-case vendor letters stay in the key and "c" then "x" is no vendor prefix;
// the main number decides first, then the text from the number on; a number at the start of
// either name makes equal tails equal names; then the reversed prefix; degenerate names.
TEST(DeviceNameCompare, OrdersSpellingsAsExpected) {
  const std::tuple<const char*, const char*, int> cases[] = {
      {"XCAB12E", "xcab12e", 1},  {"XCAB12E", "ab12e", 1}, {"cxab12e", "xcab12e", 1},
      {"xcab12e", "xcab40", -1},  {"ab40e", "xcab12e", 1}, {"abc", "ab1", -1},
      {"ab12cd345", "ab400", -1}, {"ab12e", "ab12f", -1},  {"ab12e", "ab012e", 1},
      {"abc", "abd", -1},         {"12e", "12E", 0},       {"12e", "x12e", 0},
      {"12e", "zz12e", 0},        {"ab12e", "cd12e", -1},  {"ab12cd345", "zz345", -1},
      {"ba12e", "ab12e", -1},     {nullptr, "", 0},        {nullptr, "ab12e", -1},
  };
  for (const auto& [a, b, sign] : cases) {
    EXPECT_EQ(Sign(CompareDeviceNames(a, b)), sign) << Shown(a) << " vs " << Shown(b);
    EXPECT_EQ(Sign(CompareDeviceNames(b, a)), -sign) << Shown(b) << " vs " << Shown(a);
  }
}

// Spellings grouped by the device they denote: the vendor letters may be left out ("x" then
// "c", lower case only), letter case is otherwise ignored.
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

// Zero exactly for spellings of the same device; antisymmetric and transitive over all of them.
TEST(DeviceNameCompare, IsAnOrderWhoseEqualNamesAreTheSpellingsOfOneDevice) {
  std::vector<std::pair<const char*, std::size_t>> all;
  for (std::size_t g = 0; g < kSpellingGroups.size(); ++g) {
    for (const char* name : kSpellingGroups[g]) all.emplace_back(name, g);
  }
  for (const auto& [a, groupOfA] : all) {
    for (const auto& [b, groupOfB] : all) {
      const int ab = CompareDeviceNames(a, b);
      EXPECT_EQ(groupOfA == groupOfB, ab == 0) << a << " vs " << b;
      EXPECT_EQ(Sign(ab), -Sign(CompareDeviceNames(b, a))) << a << " vs " << b;
      for (const auto& [c, groupOfC] : all) {
        if (ab < 0 && CompareDeviceNames(b, c) < 0) {
          EXPECT_LT(CompareDeviceNames(a, c), 0) << a << " < " << b << " < " << c;
        }
      }
    }
  }
}

}  // namespace
