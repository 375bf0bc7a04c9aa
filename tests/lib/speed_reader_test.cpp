// The speed file reader: flags and grades, and what it remembers per file name.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "SpdRder.h"
#include "pmtest.h"
#include "reader_files.h"

namespace {

using PersonalityModule::SpdRder;
using readertest::Listed;
using readertest::WriteSegments;
using Names = std::vector<std::string>;

TEST(SpeedReader, FlagSegmentsAreNotGradesAndNamesMatchExactly) {
  struct Case {
    const char* file;
    readertest::Segments segments;
    bool minspd;
    bool spd411;
    Names grades;
  };
  const std::vector<Case> cases = {
      {"ab12e",
       {{"-4", 0}, {"-0", 0}, {"-5", 0}, {"-411", 0}, {"-0P", 0}, {"-6", 0}},
       true,
       true,
       {"-4", "-5", "-6"}},
      {"flags", {{"-0", 0}, {"-411", 0}}, true, true, {}},
      // Near misses are grades, and repeats stay.
      {"odd",
       {{"-0p", 0}, {"-4", 3}, {"-00", 0}, {"-411 ", 0}, {"-4", 1}, {"-0P ", 0}},
       false,
       false,
       {"-0p", "-4", "-00", "-411 ", "-4", "-0P "}},
  };
  pmtest::TempDir dir;
  for (const Case& c : cases) {
    WriteSegments(dir / (std::string(c.file) + ".spd"), c.segments);
    const SpdRder reader(dir / (std::string(c.file) + ".spd"));
    EXPECT_TRUE(reader.loaded()) << c.file;
    EXPECT_EQ(c.minspd, reader.minspd()) << c.file;
    EXPECT_EQ(c.spd411, reader.spd411()) << c.file;
    EXPECT_EQ(c.grades, Listed(reader)) << c.file;
  }
}

TEST(SpeedReader, MissingEmptyOrFolderIsRememberedAsEmpty) {
  pmtest::TempDir dir;
  pmtest::WriteFile(dir / "empty.spd", "");
  pmtest::MakeDirs(dir / "folder.spd");
  pmtest::MessageCapture capture;
  for (const char* name : {"late.spd", "empty.spd", "folder.spd"}) {
    const SpdRder before(dir / name);
    EXPECT_FALSE(before.loaded()) << name;
    EXPECT_EQ(before.begin(), before.end()) << name;
  }
  for (const char* name : {"late.spd", "empty.spd"}) {
    WriteSegments(dir / name, {{"-4", 0}, {"-0", 0}});
    const SpdRder after(dir / name);
    EXPECT_FALSE(after.loaded()) << name;
    EXPECT_FALSE(after.minspd()) << name;
    EXPECT_EQ(after.begin(), after.end()) << name;
  }
  EXPECT_TRUE(capture.messages().empty());
}

TEST(SpeedReader, EachFileIsReadOnceAndAnotherSpellingIsAnotherFile) {
  pmtest::TempDir dir;
  const std::string path = dir / "once.spd";
  WriteSegments(path, {{"-4", 0}, {"-411", 0}});
  EXPECT_EQ(Listed(SpdRder(path)), (Names{"-4"}));
  WriteSegments(path, {{"-7", 0}, {"-0", 0}});
  const SpdRder changed(path);
  EXPECT_EQ(Listed(changed), (Names{"-4"}));
  EXPECT_TRUE(changed.spd411());
  EXPECT_FALSE(changed.minspd());
  EXPECT_EQ(Listed(SpdRder(dir / "./once.spd")), (Names{"-7"}));

  ASSERT_EQ(std::remove(path.c_str()), 0);
  const SpdRder removed(path);
  EXPECT_TRUE(removed.loaded());
  EXPECT_EQ(Listed(removed), (Names{"-4"}));
}

TEST(SpeedReader, UnreadableFileIsReportedAndTriedAgain) {
  pmtest::TempDir dir;
  const std::string path = dir / "broken.spd";
  const std::string truncatedPath = dir / "truncated.spd";
  pmtest::WriteFile(path, "this is not a segmented file");
  WriteSegments(truncatedPath, {{"-4", 0}, {"-5", 0}});
  const std::string whole = pmtest::ReadFile(truncatedPath);
  pmtest::WriteFile(truncatedPath, whole.substr(0, 20));

  pmtest::MessageCapture capture;
  const SpdRder broken(path);
  EXPECT_FALSE(broken.loaded());
  EXPECT_EQ(broken.begin(), broken.end());
  EXPECT_FALSE(SpdRder(truncatedPath).loaded());

  const std::vector<Port::Message> fatals = capture.of(Port::MsgKind::Fatal);
  ASSERT_EQ(fatals.size(), 2u);
  EXPECT_EQ(fatals[0].code, 30);
  EXPECT_EQ(fatals[0].domain, "PersonalityModule");
  EXPECT_EQ(fatals[0].unit, "SpdRder");
  EXPECT_EQ(fatals[0].text, "Can't read speed file " + path + "\n");
  EXPECT_EQ(fatals[1].text, "Can't read speed file " + truncatedPath + "\n");

  WriteSegments(path, {{"-4", 0}, {"-0", 0}});
  const SpdRder repaired(path);
  EXPECT_TRUE(repaired.loaded());
  EXPECT_TRUE(repaired.minspd());
  EXPECT_EQ(Listed(repaired), (Names{"-4"}));
  EXPECT_EQ(capture.of(Port::MsgKind::Fatal).size(), 2u);
}

}  // namespace
