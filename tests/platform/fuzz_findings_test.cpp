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
      "UTSEG01\012\002\000\000\000\005\000\0004t\00014q\000\000C\000\000\000\000\000\000\000\004"
      "\000"
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

// fuzz_acd_reader: a line starting with a NUL byte stored a key that callers, reading keys as C
// strings, saw as the empty key.
TEST(FuzzFindings, DefinitionLineStartingWithANulByteNamesNoKey) {
  const std::string input(
      "#!enciphephEred\012p#rw0}p|t l 2=A92\012\000\000`\360\000\000\016\261st0xrt0x}%t#}p{ l "
      "I423`a6[23`a60\012",
      75);
  pmtest::TempDir dir;
  const std::string path = dir / "found.acd";
  pmtest::WriteFile(path, input);
  const StaticAcdRead reader(path.c_str(), nullptr, nullptr, 1, 0, 0);
  ASSERT_EQ(reader.size(), 1u);
  EXPECT_STREQ(reader.begin()->first.get(), "p#rw0}p|t");
  EXPECT_STREQ(reader.getkeyeddata("p#rw0}p|t"), "l 2=A92");
  EXPECT_EQ(reader.getkeyeddata(""), nullptr);
}

// fuzz_acd_reader: a key holding a NUL byte was indexed by its whole length while iteration and
// lookups read it as a C string, so the key that iteration gave was not found by a lookup.
TEST(FuzzFindings, KeyHoldingANulByteIsFoundAsItIsListed) {
  const std::string input("st'xrt0x}\377\377\001\000\377%t#}p{ l\371 I423\012", 29);
  pmtest::TempDir dir;
  const std::string path = dir / "found.acd";
  pmtest::WriteFile(path, input);
  const StaticAcdRead reader(path.c_str(), nullptr, nullptr, 1, 0, 0);
  ASSERT_EQ(reader.size(), 1u);
  const char* const key = reader.begin()->first.get();
  EXPECT_STREQ(key, "st'xrt0x}\377\377\001");
  EXPECT_STREQ(reader.getkeyeddata(key), "l\371 I423");
}

}  // namespace
