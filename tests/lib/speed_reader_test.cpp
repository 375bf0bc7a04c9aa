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

TEST(SpeedReader, FlagSegmentsAreNotGrades) {
  pmtest::TempDir dir;
  WriteSegments(dir / "ab12e.spd", {{"-4", 0}, {"-0", 0}, {"-5", 0}, {"-411", 0}, {"-0P", 0}, {"-6", 0}});
  const SpdRder reader(dir / "ab12e.spd");
  EXPECT_TRUE(reader.loaded());
  EXPECT_TRUE(reader.minspd());
  EXPECT_TRUE(reader.spd411());
  EXPECT_EQ(Listed(reader), (Names{"-4", "-5", "-6"}));
}

TEST(SpeedReader, OnlyFlagSegmentsGiveNoGrades) {
  pmtest::TempDir dir;
  WriteSegments(dir / "flags.spd", {{"-0", 0}, {"-411", 0}});
  const SpdRder reader(dir / "flags.spd");
  EXPECT_TRUE(reader.loaded());
  EXPECT_TRUE(reader.minspd());
  EXPECT_TRUE(reader.spd411());
  EXPECT_EQ(reader.begin(), reader.end());
}

TEST(SpeedReader, NamesMatchExactlyAndRepeatsStay) {
  pmtest::TempDir dir;
  WriteSegments(dir / "odd.spd",
                {{"-0p", 0}, {"-4", 3}, {"-00", 0}, {"-411 ", 0}, {"-4", 1}, {"-0P ", 0}});
  const SpdRder reader(dir / "odd.spd");
  EXPECT_TRUE(reader.loaded());
  EXPECT_FALSE(reader.minspd());
  EXPECT_FALSE(reader.spd411());
  EXPECT_EQ(Listed(reader), (Names{"-0p", "-4", "-00", "-411 ", "-4", "-0P "}));
}

TEST(SpeedReader, MissingFileIsRememberedAsEmpty) {
  pmtest::TempDir dir;
  const std::string path = dir / "late.spd";
  pmtest::MessageCapture capture;
  const SpdRder before(path);
  EXPECT_FALSE(before.loaded());
  EXPECT_EQ(before.begin(), before.end());

  WriteSegments(path, {{"-4", 0}, {"-0", 0}});
  const SpdRder after(path);
  EXPECT_FALSE(after.loaded());
  EXPECT_FALSE(after.minspd());
  EXPECT_EQ(after.begin(), after.end());
  EXPECT_TRUE(capture.messages().empty());
}

TEST(SpeedReader, EmptyFileAndDirectoryAreRememberedAsEmpty) {
  pmtest::TempDir dir;
  pmtest::WriteFile(dir / "empty.spd", "");
  pmtest::MakeDirs(dir / "folder.spd");
  pmtest::MessageCapture capture;
  EXPECT_FALSE(SpdRder(dir / "empty.spd").loaded());
  EXPECT_FALSE(SpdRder(dir / "folder.spd").loaded());

  WriteSegments(dir / "empty.spd", {{"-4", 0}});
  EXPECT_FALSE(SpdRder(dir / "empty.spd").loaded());
  EXPECT_TRUE(capture.messages().empty());
}

TEST(SpeedReader, EachFileIsReadOnce) {
  pmtest::TempDir dir;
  const std::string path = dir / "once.spd";
  WriteSegments(path, {{"-4", 0}, {"-411", 0}});
  EXPECT_EQ(Listed(SpdRder(path)), (Names{"-4"}));

  WriteSegments(path, {{"-7", 0}, {"-0", 0}});
  const SpdRder changed(path);
  EXPECT_EQ(Listed(changed), (Names{"-4"}));
  EXPECT_TRUE(changed.spd411());
  EXPECT_FALSE(changed.minspd());

  ASSERT_EQ(std::remove(path.c_str()), 0);
  const SpdRder removed(path);
  EXPECT_TRUE(removed.loaded());
  EXPECT_EQ(Listed(removed), (Names{"-4"}));
}

TEST(SpeedReader, AnotherSpellingOfThePathIsAnotherFile) {
  pmtest::TempDir dir;
  WriteSegments(dir / "ab40e.spd", {{"-4", 0}});
  EXPECT_EQ(Listed(SpdRder(dir / "ab40e.spd")), (Names{"-4"}));

  WriteSegments(dir / "ab40e.spd", {{"-5", 0}});
  EXPECT_EQ(Listed(SpdRder(dir / "./ab40e.spd")), (Names{"-5"}));
  EXPECT_EQ(Listed(SpdRder(dir / "ab40e.spd")), (Names{"-4"}));
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
