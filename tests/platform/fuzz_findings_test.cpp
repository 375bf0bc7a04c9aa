// Inputs with which the fuzzers in fuzz/ found faults, each fed through the code path that failed.
#include <gtest/gtest.h>

#include <string>

#include "pmport/sfp_acd.h"
#include "pmport/ut_ifile.h"
#include "pmtest.h"

namespace {

// fuzz_segfile: a segment name holding NUL bytes loaded, and callers, reading names as C strings,
// listed a segment with an empty name (a speed grade or package called "").
TEST(FuzzFindings, SegmentNameHoldingANulByteIsRejected) {
  const std::string input(
      "UTSEG01\012\002\000\000\000\005\000\0004t\00014q\000\000C\000\000\000\000\000\000\000\004\000"
      "\000\000\000\000\000\000\006\000hidden\001\000\000\000G\000\000\000\000\000\000\000\000\000"
      "\000\000\000\000\000\000pins",
      71);
  pmtest::TempDir dir;
  const std::string path = dir / "found.spd";
  pmtest::WriteFile(path, input);
  UT_IFILE file;
  EXPECT_FALSE(file.load(path.c_str()));
  EXPECT_STREQ(file.geterror(), "segment 0 has a name holding a NUL byte");

  // The writer never produces such a file.
  std::string image, error;
  EXPECT_FALSE(UT_SEGWRITER::Serialize({{std::string("-4\0x", 4), 0, ""}}, image, error));
}

}  // namespace
