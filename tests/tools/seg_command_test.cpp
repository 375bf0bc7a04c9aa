// pmtool seg: the writer and the dump, on good and on malformed files. Which files the reader
// refuses is pinned by its own tests; these pin how pmtool reports them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "pmtest.h"
#include "pmtool_runner.h"

namespace {

using pmtooltest::ExpectRuns;
using pmtooltest::RunPmtool;

using pmtest::LittleEndian;
using pmtest::SegmentHeader;
using pmtest::SegmentRecord;

TEST(SegCommand, WrittenFileDumpsItsSegmentsInOrderWithTypes) {
  const pmtest::TempDir dir;
  const std::string file = dir / "ab12e.spd";
  // A name that looks like an option is written after "--".
  ExpectRuns({
      {{"seg", "write", file, "-4", "vq100:1", "a:b:-7", "--", "--json"}, 0, "", ""},
      // Empty contents all start right after the directory: 12 + 24 + 27 + 25 + 28.
      {{"seg", "dump", file}, 0,
       "NAME    TYPE  OFFSET  SIZE\n"
       "-4      0     116     0\n"
       "vq100   1     116     0\n"
       "a:b     -7    116     0\n"
       "--json  0     116     0\n",
       ""},
      {{"seg", "dump", "--json", file}, 0,
       R"({"file": ")" + file + R"(", "segments": [
           {"name": "-4", "type": 0, "offset": 116, "size": 0},
           {"name": "vq100", "type": 1, "offset": 116, "size": 0},
           {"name": "a:b", "type": -7, "offset": 116, "size": 0},
           {"name": "--json", "type": 0, "offset": 116, "size": 0}]})",
       ""},
  });
}

// Names read from a file reach the terminal escaped, so that they cannot drive it; JSON escapes
// them in its own way.
TEST(SegCommand, ControlCharactersInNamesArePrintedEscaped) {
  const pmtest::TempDir dir;
  const std::string file = dir / "odd.pkg";
  pmtest::WriteSegmentedFile(file, {{"\x1b[2Jtq", 0, ""}, {"a\r\tb\n", 1, ""}});
  ExpectRuns({{{"seg", "dump", file}, 0,
               "NAME       TYPE  OFFSET  SIZE\n"
               "\\x1b[2Jtq  0     67      0\n"
               "a\\r\\tb\\n   1     67      0\n",
               ""}});
  const auto json = nlohmann::json::parse(RunPmtool({"seg", "dump", "--json", file}).out);
  EXPECT_EQ(json["segments"][0]["name"], "\x1b[2Jtq");
  EXPECT_EQ(json["segments"][1]["name"], "a\r\tb\n");
}

TEST(SegCommand, DumpShowsContentsOfAFileWrittenElsewhere) {
  const pmtest::TempDir dir;
  const std::string file = dir / "ab40e.pkg";
  const std::string directory =
      SegmentHeader(2) + SegmentRecord("tq144", 0, 66, 3) + SegmentRecord("cs144", 1, 69, 2);
  ASSERT_EQ(directory.size(), 66u);
  pmtest::WriteFile(file, directory + "abcde");
  ExpectRuns({{{"seg", "dump", file}, 0,
               "NAME   TYPE  OFFSET  SIZE\n"
               "tq144  0     66      3\n"
               "cs144  1     69      2\n",
               ""}});
}

TEST(SegCommand, UnreadableFilesGiveOneLineReasonAndStatus1) {
  const pmtest::TempDir dir;
  const struct {
    const char* name;
    std::string content;
    const char* reason;
  } cases[] = {
      {"wrong-magic", "UTSEG02\n" + LittleEndian(0, 4), "magic"},
      {"short-directory", SegmentHeader(5) + SegmentRecord("a", 0, 0, 0),
       "shorter than its directory"},
      {"zero-name", SegmentHeader(1) + LittleEndian(0, 2) + std::string(40, '\0'), "name length"},
      {"beyond-end", SegmentHeader(1) + SegmentRecord("tq144", 0, 20, 1000), "beyond the end"},
  };
  for (const auto& malformed : cases) {
    const std::string file = dir / malformed.name;
    pmtest::WriteFile(file, malformed.content);
    const auto dumped = RunPmtool({"seg", "dump", file});
    EXPECT_EQ(dumped.status, 1) << malformed.name;
    EXPECT_EQ(dumped.out, "") << malformed.name;
    EXPECT_EQ(pmtooltest::LineCount(dumped.err), 1u) << malformed.name << ": " << dumped.err;
    const std::string start = "pmtool seg dump: cannot read " + file + ": ";
    EXPECT_EQ(dumped.err.rfind(start, 0), 0u) << dumped.err;
    EXPECT_TRUE(pmtooltest::Contains(dumped.err, malformed.reason)) << dumped.err;
  }
  const std::string missing = dir / "missing.spd";
  ExpectRuns({
      {{"seg", "dump", missing}, 1, "",
       "pmtool seg dump: cannot read " + missing + ": no such file\n"},
      {{"seg", "dump", dir.path()}, 1, "",
       "pmtool seg dump: cannot read " + dir.path() + ": is a directory\n"},
  });
}

TEST(SegCommand, WriteRejectsBadTypesNamesAndTargets) {
  const pmtest::TempDir dir;
  ExpectRuns({
      {{"seg", "write", dir / "x.pkg", "tq144:hidden"}, 2, "",
       "pmtool seg write: the type of \"tq144:hidden\" is not a whole number (write NAME or "
       "NAME:TYPE)\nRun 'pmtool seg write --help' for usage.\n"},
      {{"seg", "write", dir / "x.pkg", "a:99999999999"}, 2, "", "..."},
  });
  const auto emptyName = RunPmtool({"seg", "write", dir / "x.pkg", "tq144", ":1"});
  EXPECT_EQ(emptyName.status, 1);
  EXPECT_EQ(pmtooltest::LineCount(emptyName.err), 1u) << emptyName.err;
  const auto noFolder = RunPmtool({"seg", "write", dir / "none/x.pkg", "tq144"});
  EXPECT_EQ(noFolder.status, 1);
  EXPECT_EQ(noFolder.err.rfind("pmtool seg write: cannot ", 0), 0u) << noFolder.err;
  EXPECT_EQ(pmtooltest::LineCount(noFolder.err), 1u) << noFolder.err;
}

}  // namespace
