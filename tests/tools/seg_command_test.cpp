// pmtool seg: the writer and the dump, on good and on malformed files.
#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "pmtest.h"
#include "pmtool_runner.h"

namespace {

using pmtooltest::RunPmtool;

using pmtest::LittleEndian;
using pmtest::SegmentHeader;
using pmtest::SegmentRecord;

TEST(SegCommand, WrittenFileDumpsItsSegmentsInOrderWithTypes) {
  const pmtest::TempDir dir;
  const std::string file = dir / "ab12e.spd";
  const auto written = RunPmtool({"seg", "write", file, "-4", "vq100:1", "a:b:-7"});
  ASSERT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(written.err, "");

  // Empty contents all start right after the directory: 12 + (2+2+20) + (2+5+20) + (2+3+20).
  const auto dumped = RunPmtool({"seg", "dump", file});
  ASSERT_EQ(dumped.status, 0) << dumped.err;
  EXPECT_EQ(dumped.out,
            "NAME   TYPE  OFFSET  SIZE\n"
            "-4     0     88      0\n"
            "vq100  1     88      0\n"
            "a:b    -7    88      0\n");

  const auto json = RunPmtool({"seg", "dump", "--json", file});
  ASSERT_EQ(json.status, 0) << json.err;
  const auto parsed = nlohmann::json::parse(json.out);
  EXPECT_EQ(parsed["file"], file);
  ASSERT_EQ(parsed["segments"].size(), 3u);
  EXPECT_EQ(parsed["segments"][2]["name"], "a:b");
  EXPECT_EQ(parsed["segments"][2]["type"], -7);
  EXPECT_EQ(parsed["segments"][1]["offset"], 88);
  EXPECT_EQ(parsed["segments"][1]["size"], 0);
}

TEST(SegCommand, DumpShowsContentsOfAFileWrittenElsewhere) {
  const pmtest::TempDir dir;
  const std::string file = dir / "ab40e.pkg";
  const std::string directory =
      SegmentHeader(2) + SegmentRecord("tq144", 0, 66, 3) + SegmentRecord("cs144", 1, 69, 2);
  ASSERT_EQ(directory.size(), 66u);
  pmtest::WriteFile(file, directory + "abcde");
  const auto dumped = RunPmtool({"seg", "dump", file});
  ASSERT_EQ(dumped.status, 0) << dumped.err;
  EXPECT_EQ(dumped.out,
            "NAME   TYPE  OFFSET  SIZE\n"
            "tq144  0     66      3\n"
            "cs144  1     69      2\n");
}

TEST(SegCommand, MalformedFilesGiveOneLineReasonAndStatus1) {
  const pmtest::TempDir dir;
  const struct {
    const char* name;
    std::string content;
    const char* reason;
  } cases[] = {
      {"empty", "", ""},
      {"wrong-magic", "UTSEG02\n" + LittleEndian(0, 4), "magic"},
      {"cut-header", "UTSEG01\n" + LittleEndian(1, 2), ""},
      {"short-directory", SegmentHeader(5) + SegmentRecord("a", 0, 0, 0),
       "shorter than its directory"},
      {"zero-name", SegmentHeader(1) + LittleEndian(0, 2) + std::string(40, '\0'), "name length"},
      {"long-name", SegmentHeader(1) + LittleEndian(5000, 2) + std::string(5100, 'x'),
       "name length"},
      {"beyond-end", SegmentHeader(1) + SegmentRecord("tq144", 0, 20, 1000), "beyond the end"},
      {"offset-overflow", SegmentHeader(1) + SegmentRecord("tq144", 0, ~0ull - 1, 8),
       "beyond the end"},
  };
  for (const auto& malformed : cases) {
    const std::string file = dir / malformed.name;
    pmtest::WriteFile(file, malformed.content);
    const auto dumped = RunPmtool({"seg", "dump", file});
    EXPECT_EQ(dumped.status, 1) << malformed.name;
    EXPECT_EQ(dumped.out, "") << malformed.name;
    EXPECT_EQ(pmtooltest::LineCount(dumped.err), 1u) << malformed.name << ": " << dumped.err;
    EXPECT_EQ(dumped.err.rfind("pmtool seg dump: cannot read " + file + ": ", 0), 0u) << dumped.err;
    EXPECT_NE(dumped.err.find(malformed.reason), std::string::npos) << dumped.err;
  }
  const auto missing = RunPmtool({"seg", "dump", dir / "missing.spd"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("no such file"), std::string::npos);
  const auto folder = RunPmtool({"seg", "dump", dir.path()});
  EXPECT_EQ(folder.status, 1);
  EXPECT_NE(folder.err.find("is a directory"), std::string::npos);
}

TEST(SegCommand, WriteRejectsBadTypesNamesAndTargets) {
  const pmtest::TempDir dir;
  const auto badType = RunPmtool({"seg", "write", dir / "x.pkg", "tq144:hidden"});
  EXPECT_EQ(badType.status, 2);
  EXPECT_NE(badType.err.find("\"tq144:hidden\""), std::string::npos);
  EXPECT_NE(badType.err.find("pmtool seg write --help"), std::string::npos);
  EXPECT_EQ(RunPmtool({"seg", "write", dir / "x.pkg", "a:99999999999"}).status, 2);

  const auto emptyName = RunPmtool({"seg", "write", dir / "x.pkg", "tq144", ":1"});
  EXPECT_EQ(emptyName.status, 1);
  EXPECT_EQ(pmtooltest::LineCount(emptyName.err), 1u) << emptyName.err;

  const auto noFolder = RunPmtool({"seg", "write", dir / "none/x.pkg", "tq144"});
  EXPECT_EQ(noFolder.status, 1);
  EXPECT_EQ(noFolder.err.rfind("pmtool seg write: cannot ", 0), 0u) << noFolder.err;
  EXPECT_EQ(pmtooltest::LineCount(noFolder.err), 1u) << noFolder.err;

  // A name that looks like an option is written after "--".
  const std::string file = dir / "odd.pkg";
  ASSERT_EQ(RunPmtool({"seg", "write", file, "--", "-x", "--json"}).status, 0);
  const auto parsed = nlohmann::json::parse(RunPmtool({"seg", "dump", "--json", file}).out);
  EXPECT_EQ(parsed["segments"][0]["name"], "-x");
  EXPECT_EQ(parsed["segments"][1]["name"], "--json");
}

}  // namespace
