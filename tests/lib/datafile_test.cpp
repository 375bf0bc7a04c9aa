// Data-file lookup: the module's own folder, the fallbacks in order, overrides and interning.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pmlib/pmspec.h"
#include "pmtest.h"
#include "spine_fixture.h"

using Port::MsgKind;
using spinetest::Definition;
using spinetest::Root;

namespace {

// alpha with the friend beta, over an overlay root and a base root.
struct LookupInstall {
  LookupInstall() {
    base.Module("alpha", Definition("alpha", "beta"));
    base.Module("beta", Definition("beta"));
    spinetest::Install({&overlay, &base});
  }
  Root overlay;
  Root base;
};

}  // namespace

TEST(DataFile, FallbacksRunInOrderOwnNameThenFriendsThenCommonFolder) {
  LookupInstall install;
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_EQ(1, spec.get_num_friends());
  EXPECT_EQ(nullptr, spec.getdatafilename(1, ".nph", 1, -1));

  install.base.File("data/alpha.nph", "");
  EXPECT_EQ(install.base.path() + "/data/alpha.nph", spec.GetDatafileName(1, ".nph", true, -1).str());
  install.base.File("beta/data/.nph", "");
  EXPECT_EQ(install.base.DataFile("beta", ".nph"), spec.GetDatafileName(1, ".nph", true, -1).str());
  install.base.File("alpha/data/.nph", "");
  EXPECT_EQ(install.base.DataFile("alpha", ".nph"), spec.GetDatafileName(1, ".nph", true, -1).str());
  install.base.File("alpha/data/alpha.nph", "");
  EXPECT_EQ(install.base.DataFile("alpha", "alpha.nph"),
            spec.GetDatafileName(1, ".nph", true, -1).str());
}

TEST(DataFile, PlainNamesAreLookedUpUnderTheSameNameEverywhere) {
  LookupInstall install;
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  install.base.File("data/patternfile", "");
  EXPECT_EQ(install.base.path() + "/data/patternfile",
            spec.GetDatafileName(1, "patternfile", true, -1).str());
  EXPECT_EQ(install.base.path() + "/data/patternfile",
            spec.GetDatafileName(0, "patternfile", true, -1).str());
  install.base.File("beta/data/patternfile", "");
  EXPECT_EQ(install.base.DataFile("beta", "patternfile"),
            spec.GetDatafileName(1, "patternfile", true, -1).str());
  EXPECT_EQ(install.base.DataFile("beta", "patternfile"),
            spec.GetDatafileName(1, "patternfile", true, 0).str());
}

TEST(DataFile, OwnFolderOnlyLooksNeitherAtFriendsNorAtTheCommonFolder) {
  LookupInstall install;
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  install.base.File("beta/data/alpha.nph", "");
  install.base.File("data/alpha.nph", "");
  EXPECT_TRUE(spec.GetDatafileName(1, ".nph", true, -2).empty());
  EXPECT_EQ(install.base.DataFile("alpha", "alpha.acd"),
            spec.GetDatafileName(1, ".acd", true, -2).str());
  // A friend's folder is searched under the name given; an extension name stands for the
  // module's own name there too.
  EXPECT_EQ(install.base.DataFile("beta", "beta.acd"),
            spec.GetDatafileName(1, "beta.acd", true, 0).str());
  EXPECT_TRUE(spec.GetDatafileName(1, ".acd", true, 0).empty());
  EXPECT_TRUE(spec.GetDatafileName(1, "beta.acd", true, 1).empty());  // no second friend
}

TEST(DataFile, WithoutSearchTheFirstEntryIsAnsweredUnchecked) {
  LookupInstall install;
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ(install.overlay.DataFile("alpha", "alpha.nph"),
            spec.GetDatafileName(1, ".nph", false, -1).str());
  EXPECT_EQ(install.overlay.path() + "/data/x.txt", spec.GetDatafileName(0, "x.txt", false, -1).str());
}

TEST(DataFile, ResultsAreInternedAndOverridesReportedOnce) {
  LookupInstall install;
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  install.base.File("alpha/data/alpha.nph", "");
  install.base.File("alpha/data/only.txt", "");
  install.overlay.File("alpha/data/alpha.nph", "");
  pmtest::MessageCapture capture;

  char* first = spec.getdatafilename(1, ".nph", 1, -1);
  char* again = spec.getdatafilename(1, "alpha.nph", 1, -1);
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(first, again);
  EXPECT_EQ(install.overlay.DataFile("alpha", "alpha.nph"), first);
  EXPECT_EQ(install.base.DataFile("alpha", "only.txt"), spec.GetDatafileName(1, "only.txt", true, -1).str());

  const auto warnings = capture.texts(MsgKind::Warning);
  EXPECT_EQ(std::vector<std::string>{"PMSPEC: " + install.overlay.DataFile("alpha", "alpha.nph") +
                                     " overrides " + install.base.DataFile("alpha", "alpha.nph") +
                                     "\n"},
            warnings);
}

TEST(DataFile, EmptyInstallationFindsNothing) {
  Port::KorvanPath::Set({});
  PM_SPEC spec(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  EXPECT_TRUE(spec.GetDatafileName(0, "patternfile", true, -1).empty());
  EXPECT_TRUE(spec.GetDatafileName(0, "patternfile", false, -1).empty());
  EXPECT_EQ(nullptr, spec.getdatafilename(1, ".acd", 1, -1));
}
