// The package file reader: packages, hidden packages, and what it remembers per file name.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "PkgRder.h"
#include "pmtest.h"
#include "reader_files.h"

namespace {

using PersonalityModule::PkgRder;
using readertest::Listed;
using readertest::Segments;
using readertest::WriteSegments;
using Names = std::vector<std::string>;

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
    if (hidden) {
      setenv("PM_HIDDEN_PACKAGES", "", 1);
    } else {
      unsetenv("PM_HIDDEN_PACKAGES");
    }
    WriteSegments(dir / file, kWithHidden);
    const PkgRder reader(dir / file);
    EXPECT_TRUE(reader.loaded()) << file;
    EXPECT_EQ(Listed(reader), expected) << file;
  }
}

// A missing or empty file is looked for again; a file read is not read again, even when it
// changes or goes.
TEST(PackageReader, OnlyFilesReadAreRemembered) {
  pmtest::TempDir dir;
  const std::string missing = dir / "late.pkg";
  const std::string empty = dir / "empty.pkg";
  pmtest::WriteFile(empty, "");
  pmtest::MessageCapture capture;
  EXPECT_FALSE(PkgRder(missing).loaded());
  EXPECT_FALSE(PkgRder(empty).loaded());
  EXPECT_EQ(PkgRder(missing).begin(), PkgRder(missing).end());
  WriteSegments(missing, {{"pq208", 0}});
  WriteSegments(empty, {{"fg256", 0}});
  EXPECT_EQ(Listed(PkgRder(missing)), (Names{"pq208"}));
  EXPECT_EQ(Listed(PkgRder(empty)), (Names{"fg256"}));
  EXPECT_TRUE(capture.messages().empty());

  WriteSegments(missing, {{"tq144", 0}});
  EXPECT_EQ(Listed(PkgRder(missing)), (Names{"pq208"}));
  ASSERT_EQ(std::remove(missing.c_str()), 0);
  const PkgRder removed(missing);
  EXPECT_TRUE(removed.loaded());
  EXPECT_EQ(Listed(removed), (Names{"pq208"}));
}

TEST(PackageReader, UnreadableFileIsReportedAndTriedAgain) {
  pmtest::TempDir dir;
  const std::string path = dir / "broken.pkg";
  pmtest::WriteFile(path, std::string("UTSEG01\n\x02\x00\x00\x00", 12));
  pmtest::MessageCapture capture;
  const PkgRder broken(path);
  EXPECT_FALSE(broken.loaded());
  EXPECT_EQ(broken.begin(), broken.end());

  const std::vector<Port::Message> fatals = capture.of(Port::MsgKind::Fatal);
  ASSERT_EQ(fatals.size(), 1u);
  EXPECT_EQ(fatals[0].code, 30);
  EXPECT_EQ(fatals[0].domain, "PersonalityModule");
  EXPECT_EQ(fatals[0].unit, "PkgRder");
  EXPECT_EQ(fatals[0].text, "Can't read package file " + path + "\n");

  EXPECT_FALSE(PkgRder(path).loaded());
  EXPECT_EQ(capture.of(Port::MsgKind::Fatal).size(), 2u);
  WriteSegments(path, {{"tq144", 0}});
  EXPECT_EQ(Listed(PkgRder(path)), (Names{"tq144"}));
}

}  // namespace
