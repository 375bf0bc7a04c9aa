// The speed and package file readers: flags, grades and hidden packages, and what each remembers
// per file name.
#include <cstdio>
#include <cstdlib>
#include <tuple>
#include <type_traits>

#include "PkgRder.h"
#include "SpdRder.h"
#include "pmmessages.h"
#include "pmtest.h"

namespace {

using PersonalityModule::PkgRder;
using PersonalityModule::SpdRder;
using Names = std::vector<std::string>;
using Segments = std::vector<std::pair<std::string, int>>;  // name, type

// Writes a segmented file with these segments; each carries a little content, which the readers
// must never need.
void WriteSegments(const std::string& path, const Segments& segments) {
  std::vector<pmtest::Segment> written;
  for (const auto& [name, type] : segments) written.push_back({name, type, "contents of " + name});
  pmtest::WriteSegmentedFile(path, written);
}

// The names a reader lists, in order.
template <class Reader>
Names Listed(const Reader& reader) {
  Names names;
  for (const auto& name : reader) names.push_back(name.c_str());
  return names;
}

// Each row: the segments of a file, and what the reader makes of them: "<loaded><minspd><spd411>"
// and the grades, blank-separated.
TEST(SpeedReader, FlagSegmentsAreNotGradesAndNamesMatchExactly) {
  const std::pair<Segments, const char*> rows[] = {
      {{{"-4", 0}, {"-0", 0}, {"-5", 0}, {"-411", 0}, {"-0P", 0}, {"-6", 0}}, "111 -4 -5 -6"},
      {{{"-0", 0}, {"-411", 0}}, "111"},
      // Near misses are grades, and repeats stay.
      {{{"-0p", 0}, {"-4", 3}, {"-00", 0}, {"-411 ", 0}, {"-4", 1}, {"-0P ", 0}},
       "100 -0p -4 -00 -411  -4 -0P "},
  };
  pmtest::TempDir dir;
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    WriteSegments(dir / std::to_string(i), rows[i].first);
    const SpdRder reader(dir / std::to_string(i));
    std::string summary = std::to_string(reader.loaded()) + std::to_string(reader.minspd()) +
                          std::to_string(reader.spd411());
    for (const std::string& grade : Listed(reader)) summary += " " + grade;
    EXPECT_EQ(rows[i].second, summary);
  }
}

const Segments kWithHidden = {
    {"tq144", 0}, {"vq100", 1}, {"cs144", 2}, {"tq144", -1}, {"fg256", 1}};

// The switch is looked at whenever a file is read, not once per process.
TEST(PackageReader, HiddenPackagesAreListedInPlaceOnlyWhileTheSwitchIsPresent) {
  pmtest::TempDir dir;
  const Names shown{"tq144", "cs144", "tq144"};
  const std::vector<std::tuple<const char*, bool, Names>> reads = {
      {"ab12e.pkg", false, shown},
      {"ab20e.pkg", true, {"tq144", "vq100", "cs144", "tq144", "fg256"}},
      {"ab40e.pkg", false, shown},
  };
  for (const auto& [file, hidden, expected] : reads) {
    hidden ? setenv("PM_HIDDEN_PACKAGES", "", 1) : unsetenv("PM_HIDDEN_PACKAGES");
    WriteSegments(dir / file, kWithHidden);
    const PkgRder reader(dir / file);
    EXPECT_TRUE(reader.loaded()) << file;
    EXPECT_EQ(Listed(reader), expected) << file;
  }
}

// What both readers share: the records of the files they read, and the report of a file that
// cannot be read.
template <class Reader>
class Readers : public testing::Test {};
using ReaderTypes = testing::Types<SpdRder, PkgRder>;
TYPED_TEST_SUITE(Readers, ReaderTypes);

const Port::MsgEntry& Unreadable(const SpdRder*) { return pmlib::msg::CannotReadSpeedFile; }
const Port::MsgEntry& Unreadable(const PkgRder*) { return pmlib::msg::CannotReadPackageFile; }

// A file read is not read again, even when it changes or goes; another spelling is another file.
TYPED_TEST(Readers, EachFileIsReadOnceAndAnotherSpellingIsAnotherFile) {
  pmtest::TempDir dir;
  const std::string path = dir / "once";
  WriteSegments(path, {{"a1", 0}});
  EXPECT_EQ(Listed(TypeParam(path)), (Names{"a1"}));
  WriteSegments(path, {{"b2", 0}});
  EXPECT_EQ(Listed(TypeParam(path)), (Names{"a1"}));
  EXPECT_EQ(Listed(TypeParam(dir / "./once")), (Names{"b2"}));
  ASSERT_EQ(std::remove(path.c_str()), 0);
  const TypeParam removed(path);
  EXPECT_TRUE(removed.loaded() && Listed(removed) == Names{"a1"});
}

// The speed reader remembers a missing, empty or folder file as empty; the package reader looks
// for it again. An unreadable file is reported each time, and read once repaired.
TYPED_TEST(Readers, FilesThatCannotBeReadAreEmptyAndOnlyTheUnreadableOnesReported) {
  pmtest::TempDir dir;
  pmtest::WriteFile(dir / "empty", "");
  pmtest::MakeDirs(dir / "folder");
  pmtest::MessageCapture capture;
  for (const char* name : {"late", "empty", "folder"}) {
    EXPECT_EQ(Listed(TypeParam(dir / name)), Names{}) << name;
    EXPECT_FALSE(TypeParam(dir / name).loaded()) << name;
  }
  const bool again = std::is_same_v<TypeParam, PkgRder>;
  for (const char* name : {"late", "empty"}) {
    WriteSegments(dir / name, {{"-4", 0}, {"-0", 0}});
    EXPECT_EQ(Listed(TypeParam(dir / name)), (again ? Names{"-4", "-0"} : Names{})) << name;
  }
  EXPECT_TRUE(capture.messages().empty());

  const std::string broken = dir / "broken";
  const std::string truncated = dir / "truncated";
  pmtest::WriteFile(broken, "this is not a segmented file");
  WriteSegments(truncated, {{"a1", 0}, {"b2", 0}});
  pmtest::WriteFile(truncated, pmtest::ReadFile(truncated).substr(0, 20));
  for (const std::string& path : {broken, truncated, broken}) {
    const TypeParam reader(path);
    EXPECT_FALSE(reader.loaded()) << path;
    EXPECT_EQ(reader.begin(), reader.end()) << path;
  }
  const Port::MsgEntry& entry = Unreadable(static_cast<const TypeParam*>(nullptr));
  EXPECT_THAT(capture.of(Port::MsgKind::Fatal),
              testing::ElementsAre(pmtest::Says(entry, {broken}), pmtest::Says(entry, {truncated}),
                                   pmtest::Says(entry, {broken})));
  WriteSegments(broken, {{"a1", 0}});
  EXPECT_EQ(Listed(TypeParam(broken)), (Names{"a1"}));
}

}  // namespace
