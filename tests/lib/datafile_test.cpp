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
using Texts = std::vector<std::string>;

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
  const Root& base = install.base;
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_EQ(1, spec.get_num_friends());
  const auto found = [&spec](const char* name, int index = -1, char level = 1) {
    return spec.GetDatafileName(level, name, true, index).str();
  };
  EXPECT_EQ(nullptr, spec.getdatafilename(1, ".nph", 1, -1));
  // Each copy is nearer than the ones before: the common folder, the friend's, the own folder
  // under the name as given, then under the module's name.
  for (const std::string& file :
       {base.path() + "/data/alpha.nph", base.DataFile("beta", ".nph"),
        base.DataFile("alpha", ".nph"), base.DataFile("alpha", "alpha.nph")}) {
    pmtest::WriteFile(file, "");
    EXPECT_EQ(file, found(".nph"));
  }

  // Plain names are looked up under the same name everywhere.
  base.File("data/patternfile", "");
  EXPECT_EQ(base.path() + "/data/patternfile", found("patternfile"));
  EXPECT_EQ(base.path() + "/data/patternfile", found("patternfile", -1, 0));
  base.File("beta/data/patternfile", "");
  EXPECT_EQ(base.DataFile("beta", "patternfile"), found("patternfile"));
  EXPECT_EQ(base.DataFile("beta", "patternfile"), found("patternfile", 0));

  // The own folder only (-2) looks neither at friends nor at the common folder.
  base.File("beta/data/alpha.own", "");
  base.File("data/alpha.own", "");
  EXPECT_EQ("", found(".own", -2));
  EXPECT_EQ(base.DataFile("alpha", "alpha.acd"), found(".acd", -2));
  // A friend's folder is searched under the name given; an extension name stands for the
  // module's own name there too.
  EXPECT_EQ(base.DataFile("beta", "beta.acd"), found("beta.acd", 0));
  EXPECT_EQ("", found(".acd", 0));
  EXPECT_EQ("", found("beta.acd", 1));  // no second friend
}

TEST(DataFile, UncheckedAnswersInternedResultsAndOverridesReportedOnce) {
  LookupInstall install;
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  // Without search the first entry is answered unchecked.
  EXPECT_EQ(install.overlay.DataFile("alpha", "alpha.nph"),
            spec.GetDatafileName(1, ".nph", false, -1).str());
  EXPECT_EQ(install.overlay.path() + "/data/x.txt",
            spec.GetDatafileName(0, "x.txt", false, -1).str());

  install.base.File("alpha/data/alpha.nph", "");
  install.base.File("alpha/data/only.txt", "");
  install.overlay.File("alpha/data/alpha.nph", "");
  pmtest::MessageCapture capture;
  char* first = spec.getdatafilename(1, ".nph", 1, -1);
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(first, spec.getdatafilename(1, "alpha.nph", 1, -1));
  EXPECT_EQ(install.overlay.DataFile("alpha", "alpha.nph"), first);
  EXPECT_EQ(install.base.DataFile("alpha", "only.txt"),
            spec.GetDatafileName(1, "only.txt", true, -1).str());
  EXPECT_EQ(Texts{"PMSPEC: " + install.overlay.DataFile("alpha", "alpha.nph") + " overrides " +
                  install.base.DataFile("alpha", "alpha.nph") + "\n"},
            capture.texts(MsgKind::Warning));

  // An empty installation finds nothing.
  Port::KorvanPath::Set({});
  PM_SPEC none(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  EXPECT_TRUE(none.GetDatafileName(0, "patternfile", true, -1).empty());
  EXPECT_TRUE(none.GetDatafileName(0, "patternfile", false, -1).empty());
  EXPECT_EQ(nullptr, none.getdatafilename(1, ".acd", 1, -1));
}
