// Segmented data files: the writer, the directory reader, and malformed files failing cleanly.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "pmport/ut_ifile.h"
#include "pmtest.h"

namespace {

using pmtest::SegmentHeader;
using pmtest::SegmentRecord;

struct Segment {
  std::string name;
  int type;
  std::uint64_t size;
};

std::vector<Segment> Directory(UT_IFILE& file) {
  std::vector<Segment> segments;
  UT_IFILESEGINFO info;
  while (file.getnextseginfo(info)) segments.push_back({info.getname(), info.gettype(), info.getsize()});
  return segments;
}

bool operator==(const Segment& a, const Segment& b) {
  return a.name == b.name && a.type == b.type && a.size == b.size;
}

class SegmentedFile : public ::testing::Test {
 protected:
  // Writes `bytes` and tries to load them.
  bool Load(const std::string& bytes) {
    pmtest::WriteFile(path_, bytes);
    return file_.load(path_.c_str());
  }

  pmtest::TempDir dir_;
  std::string path_ = dir_ / "device.spd";
  UT_IFILE file_;
};

TEST_F(SegmentedFile, WriterAndReaderRoundTripInFileOrder) {
  const std::string longName(UT_IFILE::kMaxNameLength, 'n');
  UT_SEGWRITER writer;
  writer.add("-4", 0, "speed data");
  writer.add("tq144", 1, "");
  writer.add("-0P", -7, std::string("\0\1\2", 3));
  writer.add(longName, 2147483647, "x");
  ASSERT_TRUE(writer.write(path_.c_str())) << writer.geterror();

  ASSERT_TRUE(file_.load(path_.c_str())) << file_.geterror();
  EXPECT_TRUE(file_.isloaded());
  EXPECT_EQ(file_.getnsegments(), 4u);
  EXPECT_STREQ(file_.geterror(), "");
  const std::vector<Segment> expected = {
      {"-4", 0, 10}, {"tq144", 1, 0}, {"-0P", -7, 3}, {longName, 2147483647, 1}};
  EXPECT_EQ(Directory(file_), expected);
  UT_IFILESEGINFO info;
  EXPECT_FALSE(file_.getnextseginfo(info));

  // Contents lie where the directory says.
  ASSERT_TRUE(file_.load(path_.c_str()));
  std::vector<std::string> contents;
  while (file_.getnextseginfo(info)) {
    std::string bytes;
    ASSERT_TRUE(file_.readcontents(info, bytes));
    contents.push_back(bytes);
  }
  EXPECT_EQ(contents, (std::vector<std::string>{"speed data", "", std::string("\0\1\2", 3), "x"}));

  file_.unload();
  EXPECT_FALSE(file_.isloaded());
  EXPECT_FALSE(file_.getnextseginfo(info));
}

TEST_F(SegmentedFile, FileWithoutSegmentsLoads) {
  std::string image, error;
  ASSERT_TRUE(UT_SEGWRITER::Serialize({}, image, error));
  EXPECT_EQ(image, SegmentHeader(0));
  ASSERT_TRUE(Load(image));
  EXPECT_EQ(file_.getnsegments(), 0u);
}

TEST_F(SegmentedFile, WriterRefusesWhatTheFormatCannotHold) {
  UT_SEGWRITER empty;
  empty.add("", 0, "x");
  EXPECT_FALSE(empty.write(path_.c_str()));
  EXPECT_NE(std::string(empty.geterror()), "");

  UT_SEGWRITER tooLong;
  tooLong.add(std::string(UT_IFILE::kMaxNameLength + 1, 'n'), 0, "");
  EXPECT_FALSE(tooLong.write(path_.c_str()));
  EXPECT_EQ(pmtest::ReadFile(path_), "");

  UT_SEGWRITER fine;
  fine.add("-5", 0, "");
  EXPECT_FALSE(fine.write((dir_ / "no/such/dir/x.spd").c_str()));
  EXPECT_NE(std::string(fine.geterror()), "");
  EXPECT_FALSE(fine.write(nullptr));
}

TEST_F(SegmentedFile, MalformedHeadersFail) {
  std::string image, error;
  ASSERT_TRUE(UT_SEGWRITER::Serialize({{"-4", 0, "abc"}}, image, error));
  std::string wrongMagic = image;
  wrongMagic[6] = '2';
  EXPECT_FALSE(Load(wrongMagic));
  EXPECT_NE(std::string(file_.geterror()), "");
  EXPECT_FALSE(file_.isloaded());
  EXPECT_FALSE(Load(""));
  EXPECT_FALSE(Load("UTSEG01"));
  // One more segment than the format allows, even though the directory would fit.
  EXPECT_FALSE(Load(SegmentHeader(UT_IFILE::kMaxSegments + 1) + std::string(64, '\0')));
  EXPECT_FALSE(Load(SegmentHeader(0xffffffffu)));
}

TEST_F(SegmentedFile, MalformedDirectoriesFail) {
  const std::string contents = "0123456789";
  // Two segments announced, one record present.
  EXPECT_FALSE(Load(SegmentHeader(2) + SegmentRecord("-4", 0, 12 + 24, 0)));
  // Name lengths 0 and 4097, with enough bytes after them for a name of that length.
  EXPECT_FALSE(Load(SegmentHeader(1) + SegmentRecord("", 0, 0, 0) + std::string(4200, 'x')));
  EXPECT_FALSE(Load(SegmentHeader(1) + SegmentRecord(std::string(4097, 'n'), 0, 0, 0)));
  // A segment that ends past the end of the file, and one whose offset + size wraps around.
  const std::uint64_t start = 12 + 24;  // header, then one record with a 2-byte name
  EXPECT_TRUE(Load(SegmentHeader(1) + SegmentRecord("-4", 0, start, 10) + contents));
  EXPECT_FALSE(Load(SegmentHeader(1) + SegmentRecord("-4", 0, start, 11) + contents));
  EXPECT_FALSE(Load(SegmentHeader(1) + SegmentRecord("-4", 0, start + 11, 0) + contents));
  EXPECT_FALSE(Load(SegmentHeader(1) + SegmentRecord("-4", 0, UINT64_MAX, 2) + contents));
  EXPECT_FALSE(Load(SegmentHeader(1) + SegmentRecord("-4", 0, 2, UINT64_MAX) + contents));
}

TEST_F(SegmentedFile, EveryTruncationOfAValidFileFails) {
  std::string image, error;
  ASSERT_TRUE(UT_SEGWRITER::Serialize({{"-4", 0, "abc"}, {"tq144", 1, ""}, {"-5", 0, "de"}}, image, error));
  ASSERT_TRUE(Load(image));
  for (std::size_t length = 0; length < image.size(); ++length) {
    EXPECT_FALSE(Load(image.substr(0, length))) << "truncated to " << length << " bytes";
    EXPECT_FALSE(file_.isloaded());
  }
}

TEST_F(SegmentedFile, DamagedBytesNeverLetASegmentPassTheEnd) {
  std::string image, error;
  ASSERT_TRUE(UT_SEGWRITER::Serialize({{"-4", 0, "abc"}, {"tq144", 1, "xy"}}, image, error));
  std::mt19937 random(99);
  std::uniform_int_distribution<std::size_t> position(0, image.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 500; ++round) {
    std::string damaged = image;
    for (int flips = 0; flips < 3; ++flips) damaged[position(random)] = static_cast<char>(byte(random));
    if (!Load(damaged)) continue;
    UT_IFILESEGINFO info;
    while (file_.getnextseginfo(info)) {
      EXPECT_LE(info.getoffset(), damaged.size());
      EXPECT_LE(info.getsize(), damaged.size() - info.getoffset());
      EXPECT_GT(std::string(info.getname()).size(), 0u);
    }
  }
}

TEST_F(SegmentedFile, UnreadablePathsFailAndAFailedLoadForgetsTheLastFile) {
  std::string image, error;
  ASSERT_TRUE(UT_SEGWRITER::Serialize({{"-4", 0, ""}}, image, error));
  ASSERT_TRUE(Load(image));
  EXPECT_FALSE(file_.load((dir_ / "missing.spd").c_str()));
  EXPECT_EQ(file_.getnsegments(), 0u);
  UT_IFILESEGINFO info;
  EXPECT_FALSE(file_.getnextseginfo(info));
  EXPECT_FALSE(file_.readcontents(info, image));
  EXPECT_FALSE(file_.load(dir_.path().c_str()));
  EXPECT_FALSE(file_.load(""));
  EXPECT_FALSE(file_.load(nullptr));
}

}  // namespace
