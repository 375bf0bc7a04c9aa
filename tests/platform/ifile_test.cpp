// Segmented data files: the writer, the directory reader, and malformed files failing cleanly.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "pmport/ut_ifile.h"
#include "pmtest.h"

namespace {

using pmtest::SegmentHeader;
using pmtest::SegmentRecord;

// Every shorter prefix of a file fails to load, and a failed load forgets the last file. The
// writer refuses what the format cannot hold, and then writes nothing. Malformed headers and
// directories fail with their reason.
TEST(SegmentedFile, RoundTripInFileOrderAndTruncatedRefusedOrMalformedFilesFail) {
  const pmtest::TempDir dir;
  const std::string path = dir / "device.spd";
  UT_IFILE file;
  // Writes `bytes` and tries to load them.
  const auto load = [&](const std::string& bytes) {
    pmtest::WriteFile(path, bytes);
    return file.load(path.c_str());
  };
  const std::string longName(UT_IFILE::kMaxNameLength, 'n');
  UT_SEGWRITER writer;
  writer.add("-4", 0, "speed data");
  writer.add("tq144", 1, "");
  writer.add("-0P", -7, std::string("\0\1\2", 3));
  writer.add(longName, 2147483647, "x");
  ASSERT_TRUE(writer.write(path.c_str())) << writer.geterror();

  ASSERT_TRUE(file.load(path.c_str())) << file.geterror();
  EXPECT_TRUE(file.isloaded() && file.getnsegments() == 4u && *file.geterror() == '\0');
  // Each segment of the directory as "name type contents", its contents read where it says.
  std::vector<std::string> segments;
  UT_IFILESEGINFO info;
  std::string contents;
  while (file.getnextseginfo(info)) {
    EXPECT_TRUE(file.readcontents(info, contents) && contents.size() == info.getsize());
    segments.push_back(std::string(info.getname()) + " " + std::to_string(info.gettype()) + " " +
                       contents);
  }
  EXPECT_EQ(segments, (std::vector<std::string>{"-4 0 speed data", "tq144 1 ",
                                                "-0P -7 " + std::string("\0\1\2", 3),
                                                longName + " 2147483647 x"}));
  EXPECT_FALSE(file.getnextseginfo(info));  // and stays at the end
  file.unload();
  EXPECT_FALSE(file.isloaded() || file.getnextseginfo(info));

  std::string image;
  ASSERT_TRUE(UT_SEGWRITER::Serialize({{"-4", 0, "abc"}, {"tq144", 1, ""}, {"-5", 0, "de"}}, image,
                                      contents));
  for (std::size_t length = 0; length < image.size(); ++length) {
    ASSERT_TRUE(load(image));
    EXPECT_FALSE(load(image.substr(0, length)) || file.isloaded() || file.getnsegments() != 0 ||
                 file.getnextseginfo(info))
        << "truncated to " << length << " bytes";
  }
  EXPECT_FALSE(file.readcontents(info, contents));
  for (const std::string& unreadable : {dir / "missing.spd", dir.path(), std::string()})
    EXPECT_FALSE(file.load(unreadable.c_str())) << unreadable;
  EXPECT_FALSE(file.load(nullptr));

  const std::string refused = dir / "refused.spd", elsewhere = dir / "no/such/dir/x.spd";
  const std::tuple<const char*, std::string, const char*> rows[] = {
      // fault, name, where
      {"empty name", "", refused.c_str()},
      {"name too long", std::string(UT_IFILE::kMaxNameLength + 1, 'n'), refused.c_str()},
      {"fuzz finding: a segment name holding a NUL byte", std::string("-4\0x", 4), refused.c_str()},
      {"no such folder", "-5", elsewhere.c_str()},
      {"no path", "-5", nullptr},
  };
  for (const auto& [fault, name, where] : rows) {
    UT_SEGWRITER refusing;
    refusing.add(name, 0, "x");
    EXPECT_TRUE(!refusing.write(where) && *refusing.geterror() != '\0') << fault;
  }
  EXPECT_EQ(pmtest::ReadFile(refused), "");

  ASSERT_TRUE(UT_SEGWRITER::Serialize({}, image, contents));
  EXPECT_EQ(image, SegmentHeader(0));
  ASSERT_TRUE(load(image) && file.getnsegments() == 0u);  // a file without segments is fine
  const std::string digits = "0123456789";
  const std::uint64_t start = 12 + 24;  // header, then one record with a 2-byte name
  // One segment "-4" at `offset` of `size` bytes, followed by the contents.
  const auto one = [&](std::uint64_t offset, std::uint64_t size) {
    return SegmentHeader(1) + SegmentRecord("-4", 0, offset, size) + digits;
  };
  ASSERT_TRUE(load(one(start, 10)));
  const std::string beyond = "segment \"-4\" lies beyond the end of the file";
  const std::tuple<const char*, std::string, std::string> malformed[] = {
      // name, bytes, reason
      {"wrong magic", "UTSEG02" + SegmentHeader(0).substr(7),
       "not a segmented data file (wrong magic)"},
      {"empty", "", "not a segmented data file (wrong magic)"},
      {"magic only", "UTSEG01", "not a segmented data file (wrong magic)"},
      // One more segment than the format allows, even though the directory would fit.
      {"too many segments", SegmentHeader(UT_IFILE::kMaxSegments + 1) + std::string(64, '\0'),
       "too many segments (1000001)"},
      {"huge count", SegmentHeader(0xffffffffu), "too many segments (4294967295)"},
      {"record missing", SegmentHeader(2) + SegmentRecord("-4", 0, start, 0),
       "the file is shorter than its directory"},
      // Name lengths 0 and 4097, with and without enough bytes after them for such a name.
      {"empty name", SegmentHeader(1) + SegmentRecord("", 0, 0, 0) + std::string(4200, 'x'),
       "segment 0 has a name length of 0"},
      {"empty name at the end", SegmentHeader(1) + SegmentRecord("", 0, 0, 0),
       "segment 0 has a name length of 0"},
      {"long name", SegmentHeader(1) + SegmentRecord(std::string(4097, 'n'), 0, 0, 0),
       "segment 0 has a name length of 4097"},
      {"ends past the end", one(start, 11), beyond},
      {"starts past the end", one(start + 11, 0), beyond},
      {"offset wraps", one(UINT64_MAX, 2), beyond},
      {"size wraps", one(2, UINT64_MAX), beyond},
      // Callers read names as C strings and listed a segment with an empty name.
      {"fuzz finding: a segment name holding a NUL byte",
       std::string("UTSEG01\012\002\000\000\000\005\000\0004t\00014q\000\000C\000\000\000\000\000"
                   "\000\000\004\000\000\000\000\000\000\000\006\000hidden\001\000\000\000G\000"
                   "\000\000\000\000\000\000\000\000\000\000\000\000\000\000pins",
                   71),
       "segment 0 has a name holding a NUL byte"},
  };
  for (const auto& [name, bytes, reason] : malformed) {
    EXPECT_FALSE(load(bytes) || file.isloaded()) << name;
    EXPECT_EQ(reason, file.geterror()) << name;
  }
}

}  // namespace
