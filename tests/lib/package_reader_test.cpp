// The package file reader: packages, hidden packages, and what it remembers per file name.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
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

const Segments kWithHidden = {{"tq144", 0}, {"vq100", 1}, {"cs144", 2}, {"tq144", -1}, {"fg256", 1}};

TEST(PackageReader, HiddenPackagesAreLeftOutByDefault) {
  unsetenv("PM_HIDDEN_PACKAGES");
  pmtest::TempDir dir;
  WriteSegments(dir / "ab12e.pkg", kWithHidden);
  const PkgRder reader(dir / "ab12e.pkg");
  EXPECT_TRUE(reader.loaded());
  EXPECT_EQ(Listed(reader), (Names{"tq144", "cs144", "tq144"}));
}

TEST(PackageReader, HiddenPackagesAreListedInPlaceWhenTheSwitchIsPresent) {
  setenv("PM_HIDDEN_PACKAGES", "", 1);
  pmtest::TempDir dir;
  WriteSegments(dir / "ab12e.pkg", kWithHidden);
  EXPECT_EQ(Listed(PkgRder(dir / "ab12e.pkg")), (Names{"tq144", "vq100", "cs144", "tq144", "fg256"}));

  // The switch is looked at whenever a file is read, not once per process.
  unsetenv("PM_HIDDEN_PACKAGES");
  WriteSegments(dir / "ab40e.pkg", kWithHidden);
  EXPECT_EQ(Listed(PkgRder(dir / "ab40e.pkg")), (Names{"tq144", "cs144", "tq144"}));
}

TEST(PackageReader, MissingOrEmptyFileIsLookedForAgain) {
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
  const PkgRder created(missing);
  EXPECT_TRUE(created.loaded());
  EXPECT_EQ(Listed(created), (Names{"pq208"}));
  EXPECT_EQ(Listed(PkgRder(empty)), (Names{"fg256"}));
  EXPECT_TRUE(capture.messages().empty());
}

TEST(PackageReader, EachReadFileIsReadOnce) {
  pmtest::TempDir dir;
  const std::string path = dir / "once.pkg";
  WriteSegments(path, {{"tq144", 0}, {"cs144", 0}});
  EXPECT_EQ(Listed(PkgRder(path)), (Names{"tq144", "cs144"}));

  WriteSegments(path, {{"pq208", 0}});
  EXPECT_EQ(Listed(PkgRder(path)), (Names{"tq144", "cs144"}));
  ASSERT_EQ(std::remove(path.c_str()), 0);
  const PkgRder removed(path);
  EXPECT_TRUE(removed.loaded());
  EXPECT_EQ(Listed(removed), (Names{"tq144", "cs144"}));
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
