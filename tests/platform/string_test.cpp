// The string type and the string helpers.
#include <gtest/gtest.h>

#include <cstring>

#include "pmport/port_string.h"

namespace {

using Port::String;

TEST(Strings, NineArgumentFormCompareTypeOneInclusiveRangesAndTheCStringHelpers) {
  EXPECT_EQ(String("a", nullptr, "b", nullptr, "c"), "abc");
  EXPECT_EQ(
      String("/", "data/unsupported/", "alpha", "/data/", nullptr, nullptr, nullptr, nullptr, "x"),
      "/data/unsupported/alpha/data/x");
  EXPECT_TRUE(String(nullptr, nullptr, nullptr).empty());
  // Compare type 1 ignores letter case only.
  EXPECT_TRUE(String("FPGA").Compare("fpga", 1) == 0 && String("FPGA").Compare("fpga", 0) != 0 &&
              String("abc").Compare("ABD", 1) < 0 && String("abc").Compare(nullptr, 1) != 0 &&
              String("").Compare(nullptr, 1) == 0);

  // Extract and Remove use inclusive ranges.
  String s("xcab12etq144-3");
  // A range, an empty one, one beyond the end and one clipped at the end.
  EXPECT_EQ(s.Extract(Port_Range{12, 13}) + "|" + s.Extract(Port_Range{5, 4}) + "|" +
                s.Extract(Port_Range{40, 41}) + "|" + s.Extract(Port_Range{10, 99}),
            "-3|||44-3");
  s.Remove(Port_Range{12, 13});
  s.Remove(Port_Range{3, 2});
  EXPECT_EQ(s, "xcab12etq144");

  // The C-string helpers: case, copies, numbers, name characters and encoding.
  char name[] = "XcAb12E";
  EXPECT_STREQ(Port::strlwr(name), "xcab12e");
  EXPECT_STREQ(UT_STR::Upper(name), "XCAB12E");
  EXPECT_TRUE(Port::stricmp("Alpha", "ALPHA") == 0 && Port::stricmp("alpha", "beta") < 0 &&
              UT_STR::_ICompare("YES", "yes") == 0 && UT_STR::_Compare("YES", "yes") != 0);
  std::unique_ptr<char[]> copy(UT_STR::Dup("abc"));
  EXPECT_TRUE(std::string(copy.get()) == "abc" && UT_STR::Dup(nullptr) == nullptr);
  EXPECT_EQ(
      (std::vector<int>{UT_STR::AToI(static_cast<const char*>(nullptr)), UT_STR::AToI("  42abc"),
                        UT_STR::AToI("-7"), UT_STR::AToI("99999999999999999999")}),
      (std::vector<int>{0, 42, -7, 2147483647}));
  char* end = nullptr;
  EXPECT_TRUE(UT_STR::StrToL("12.3", &end, 10) == 12 && *end == '.');
  // Library name characters.
  for (char c : std::string("azAZ09_-.+")) EXPECT_TRUE(UT_STR::IsAscii(c)) << c;
  for (char c : std::string("/\\ ();:\t\xE9")) EXPECT_FALSE(UT_STR::IsAscii(c)) << c;
  // Decoding undoes encoding.
  char key[] = "PM_HIDDEN_PACKAGES";
  UT_STR::Encode(key);
  EXPECT_STRNE(key, "PM_HIDDEN_PACKAGES");
  EXPECT_EQ(Port::strdec(key), "PM_HIDDEN_PACKAGES");
  UT_STR::Decode(key);
  EXPECT_STREQ(key, "PM_HIDDEN_PACKAGES");
}

}  // namespace
