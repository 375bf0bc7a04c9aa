// Specifications: name resolution, location with override and missing-definition messages,
// loading with the friend chain, aliases, validity and the printed dump.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "pmlib/pmdevkey.h"
#include "pmlib/pmspec.h"
#include "pmtest.h"
#include "spine_fixture.h"
#include "../../s/baspmdevkey.h"

using Port::MsgKind;
using spinetest::Definition;
using spinetest::Root;

namespace {

const char* const kMissingDefinition =
    "Unable to open definition file for Personality Module \"%s\".  Please make sure that it has "
    "been correctly installed.\n";

std::string MissingDefinitionText(const std::string& name) {
  std::string text = kMissingDefinition;
  text.replace(text.find("%s"), 2, name);
  return text;
}

std::string OverrideText(const std::string& used, const std::string& inLast) {
  return "PMSPEC: " + used + " overrides " + inLast + "\n";
}

}  // namespace

TEST(SpecEmpty, HasNoModuleAndReportsOnlyWhenAsked) {
  Root root;
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  PM_SPEC spec(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  EXPECT_EQ(nullptr, spec.get_pm());
  EXPECT_EQ(0, spec.get_depth());
  EXPECT_EQ(nullptr, spec.get_defdata());
  EXPECT_STREQ("", spec.get_pmprefix());
  EXPECT_EQ(0, spec.isvalid(1, 0));
  EXPECT_TRUE(capture.messages().empty());
  EXPECT_EQ(0, spec.isvalid(0, 0));
  EXPECT_EQ(std::vector<std::string>{"SPEC is not specified down to the pm level\n"},
            capture.texts(MsgKind::Internal));

  capture.clear();
  spec.printme(nullptr);
  EXPECT_EQ((std::vector<std::string>{"PM_SPEC:<Null>\n", "   0 pm_friends\n",
                                      "   list has 0 entries: \n"}),
            capture.texts(MsgKind::Status));
}

TEST(SpecLoad, MixedCaseNameIsStoredLowerCaseAndKeysAreRead) {
  Root root;
  root.Module("alpha", Definition("alpha", "", "PMPREFIX = AB\n"));
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  PM_SPEC spec("AlPhA", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_STREQ("alpha", spec.get_pm());
  EXPECT_EQ(1, spec.get_depth());
  EXPECT_STREQ("AB", spec.get_pmprefix());
  ASSERT_NE(nullptr, spec.get_defdata());
  EXPECT_EQ(root.DataFile("alpha", "alpha.acd"), spec.get_defdata()->getlocation());
  EXPECT_EQ(0, spec.get_num_friends());
  EXPECT_EQ(0, spec.isunsupported());
  EXPECT_EQ(1, spec.isvalid(0, 0));
  EXPECT_EQ(1, spec.isvalidpmname("ALPHA", 0));
  EXPECT_EQ(0, spec.isvalidpmname("nosuch", 0));
  EXPECT_EQ(0, spec.isvalidpmname("", 0));
  EXPECT_TRUE(capture.messages().empty());
}

TEST(SpecLoad, BaseLoadsNothingAndIsNeverReported) {
  Root root;
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  PM_SPEC spec("base", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ(0, spec.get_depth());
  EXPECT_EQ(nullptr, spec.get_defdata());
  EXPECT_EQ(0, spec.set_pm("base"));
  EXPECT_EQ(0, spec.set_pm(nullptr));
  EXPECT_EQ(std::vector<std::string>{"NULL PM cannot be created\n"},
            capture.texts(MsgKind::Internal));
  EXPECT_TRUE(capture.of(MsgKind::UserFatal).empty());
}

TEST(SpecLoad, MarkerLocatesTheModuleAndTheDefinitionIsFoundInALaterEntry) {
  Root overlay;
  Root base;
  overlay.File("alpha/data/qordata.etc", "");
  base.Module("alpha", Definition("alpha"));
  spinetest::Install({&overlay, &base});
  pmtest::MessageCapture capture;
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_TRUE(capture.messages().empty());
  ASSERT_NE(nullptr, spec.get_defdata());
  EXPECT_EQ(base.DataFile("alpha", "alpha.acd"), spec.get_defdata()->getlocation());
}

TEST(SpecLoad, DefinitionInAnOverlayIsUsedWithOneOverrideMessage) {
  Root overlay;
  Root base;
  overlay.Module("alpha", Definition("alpha", "", "WHERE = overlay\n"));
  base.Module("alpha", Definition("alpha", "", "WHERE = base\n"));
  spinetest::Install({&overlay, &base});
  pmtest::MessageCapture capture;
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_NE(nullptr, spec.get_defdata());
  EXPECT_EQ("overlay", spec.get_defdata()->GetStringByKey("WHERE", 0, 0, 0, 0));
  const std::string text =
      OverrideText(overlay.DataFile("alpha", "alpha.acd"), base.DataFile("alpha", "alpha.acd"));
  const auto warnings = capture.of(MsgKind::Warning);
  ASSERT_EQ(1u, warnings.size());
  EXPECT_EQ(text, warnings[0].text);
  EXPECT_EQ("Port", warnings[0].domain);
}

TEST(SpecLoad, MissingModuleIsAUserFatalNamingIt) {
  Root root;
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  PM_SPEC spec("Nosuch", PM_BINDING_SUPPORTED_ONLY);
  const auto fatals = capture.of(MsgKind::UserFatal);
  ASSERT_EQ(1u, fatals.size());
  EXPECT_EQ(33, fatals[0].code);
  EXPECT_EQ("PersonalityModule", fatals[0].domain);
  EXPECT_EQ(MissingDefinitionText("Nosuch"), fatals[0].text);
  EXPECT_EQ(nullptr, spec.get_defdata());
  EXPECT_EQ(0, spec.isvalid(1, 0));
}

// Readers are cached by name for the life of the process, so each binding runs on its own.
TEST(SpecUnsupported, RefusedWithoutTheBinding) {
  Root root;
  root.UnsupportedModule("old", Definition("old", "", "K = old\n"));
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  PM_SPEC refused("old", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ(std::vector<std::string>{MissingDefinitionText("old")},
            capture.texts(MsgKind::UserFatal));
  EXPECT_EQ(0, refused.isunsupported());
  EXPECT_EQ(nullptr, refused.get_defdata());
}

TEST(SpecUnsupported, FoundWithTheBinding) {
  Root root;
  root.UnsupportedModule("old", Definition("old", "", "K = old\n"));
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  PM_SPEC allowed("old", PM_BINDING_ALLOW_UNSUPPORTED);
  EXPECT_TRUE(capture.messages().empty());
  EXPECT_EQ(1, allowed.isunsupported());
  ASSERT_NE(nullptr, allowed.get_defdata());
  EXPECT_EQ("old", allowed.get_defdata()->GetStringByKey("K", 0, 0, 0, 0));
  EXPECT_EQ(root.path() + "/data/unsupported/old/data/old.acd",
            allowed.GetDatafileName(1, ".acd", true, -2).str());
}

TEST(SpecUnsupported, EnvironmentBindingFollowsTheRegistry) {
  if (!spinetest::InChildWithEnv("QOR_USE_UNSUPPORTED_PMS", "yes")) return;
  EXPECT_TRUE(pm_specmgr.useunsupported());
  Root root;
  root.UnsupportedModule("old", Definition("old"));
  spinetest::Install({&root});
  PM_SPEC spec("old", PM_BINDING_FROM_ENVIRONMENT);
  EXPECT_EQ(1, spec.isunsupported());
}

TEST(SpecCorrupt, EveryBrokenDefinitionIsReportedAndLeavesNoStore) {
  Root root;
  root.Module("empty", "");
  root.Module("noname", "ARCH_FRIEND = noname\n");
  root.Module("other", Definition("another"));
  root.Module("nofriend", "ARCH_NAME = nofriend\n");
  spinetest::Install({&root});
  struct Case {
    const char* pm;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"empty", "Could not load definition file <empty.acd>\n"},
      {"noname", "Corrupt definition file <noname.acd>, did not find architecture name\n"},
      {"other", "Corrupt definition file <other.acd>, expecting pm <other>, found <another>\n"},
      {"nofriend", "Corrupt definition file <nofriend.acd>, did not find architecture definition\n"},
  };
  for (const Case& c : cases) {
    pmtest::MessageCapture capture;
    PM_SPEC spec(c.pm, PM_BINDING_SUPPORTED_ONLY);
    EXPECT_EQ(std::vector<std::string>{c.text}, capture.texts(MsgKind::Internal)) << c.pm;
    EXPECT_EQ(nullptr, spec.get_defdata()) << c.pm;
    EXPECT_EQ(0, spec.isvalid(1, 0)) << c.pm;
  }
}

TEST(SpecFriends, ChainIsListedNearestFirstAndNearerValuesWin) {
  Root root;
  root.Module("alpha", Definition("alpha", "beta", "BOTH = alpha\n"));
  root.Module("beta", Definition("beta", "gamma", "BOTH = beta\nMIDDLE = beta\n"));
  root.Module("gamma", Definition("gamma", "", "FAR = gamma\nMIDDLE = gamma\n"));
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_EQ(2, spec.get_num_friends());
  EXPECT_STREQ("beta", spec.get_pm_friend(0));
  EXPECT_STREQ("gamma", spec.get_pm_friend(1));
  EXPECT_EQ(nullptr, spec.get_pm_friend(2));
  PM_DEVKEY* keys = spec.get_defdata();
  ASSERT_NE(nullptr, keys);
  EXPECT_EQ("alpha", keys->GetStringByKey("BOTH", 0, 0, 0, 0));
  EXPECT_EQ("beta", keys->GetStringByKey("MIDDLE", 0, 0, 0, 0));
  EXPECT_EQ("gamma", keys->GetStringByKey("FAR", 0, 0, 0, 0));
  EXPECT_EQ("alpha", keys->GetStringByKey("ARCH_NAME", 0, 0, 0, 0));
  EXPECT_TRUE(capture.messages().empty());

  capture.clear();
  spec.printme("chain");
  EXPECT_EQ((std::vector<std::string>{"chain:alpha\n", "   2 pm_friends\n",
                                      "      friend 0 = <beta>\n", "      friend 1 = <gamma>\n",
                                      "   list has 0 entries: \n"}),
            capture.texts(MsgKind::Status));
}

TEST(SpecFriends, ALoopInTheChainStopsAtTheRepeatedName) {
  Root root;
  root.Module("alpha", Definition("alpha", "beta", "A = 1\n"));
  root.Module("beta", Definition("beta", "gamma", "B = 2\n"));
  root.Module("gamma", Definition("gamma", "alpha", "C = 3\n"));
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_EQ(2, spec.get_num_friends());
  EXPECT_STREQ("beta", spec.get_pm_friend(0));
  EXPECT_STREQ("gamma", spec.get_pm_friend(1));
  EXPECT_EQ("3", spec.get_defdata()->GetStringByKey("C", 0, 0, 0, 0));
  for (const Port::Message& message : capture.messages()) {
    EXPECT_EQ(MsgKind::Debug, message.kind) << message.text;
  }

  PM_SPEC gamma("gamma", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_EQ(2, gamma.get_num_friends());
  EXPECT_STREQ("alpha", gamma.get_pm_friend(0));
  EXPECT_STREQ("beta", gamma.get_pm_friend(1));
}

// beta is alpha's friend and also alpha's alias: once the alias is known, every load of "beta"
// is a load of alpha, whose friend is "beta" again.
TEST(SpecFriends, AFriendThatIsAnotherModulesAliasStopsTheChain) {
  Root root;
  root.Module("alpha", Definition("alpha", "beta", "ALIAS_alpha = beta\nA = 1\n"));
  root.Module("beta", Definition("beta", "alpha", "B = 2\n"));
  spinetest::Install({&root});
  PM_SPEC alpha("alpha", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ("2", alpha.get_defdata()->GetStringByKey("B", 0, 0, 0, 0));
  PM_SPEC beta("beta", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_STREQ("alpha", beta.get_pm());
  EXPECT_EQ("1", beta.get_defdata()->GetStringByKey("A", 0, 0, 0, 0));
}

TEST(SpecFriends, SecondSpecificationReadsNoFileAgain) {
  Root root;
  root.Module("alpha", Definition("alpha", "beta"));
  root.Module("beta", Definition("beta"));
  spinetest::Install({&root});
  PM_SPEC first("alpha", PM_BINDING_SUPPORTED_ONLY);
  const std::size_t readers = PM_INTDEVKEY_MGR::Instance().count();
  PM_SPEC second("alpha", PM_BINDING_SUPPORTED_ONLY);
  PM_SPEC copy(first);
  EXPECT_EQ(readers, PM_INTDEVKEY_MGR::Instance().count());
  EXPECT_EQ(PMDevKeyReader(*first.get_defdata()), PMDevKeyReader(*second.get_defdata()));
  EXPECT_STREQ("alpha", copy.get_pm());
  EXPECT_EQ(1, copy.get_num_friends());
}

TEST(SpecAlias, AnUnknownAliasIsResolvedByOneScan) {
  Root root;
  root.Module("alpha", Definition("alpha", "", "ALIAS_alpha = Aleph\n"));
  root.Module("beta", Definition("beta"));
  spinetest::Install({&root});
  PM_SPEC spec("beta", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_STREQ("beta", spec.GetName().get());
  pmtest::MessageCapture capture;
  EXPECT_EQ(1, spec.set_pm("Aleph"));
  EXPECT_TRUE(capture.messages().empty());
  EXPECT_STREQ("alpha", spec.get_pm());
  ASSERT_NE(nullptr, spec.get_defdata());
  EXPECT_STREQ("Aleph", spec.GetName().get());
}

TEST(SpecAlias, ProperNamesComeFromTheRegistryOrAScan) {
  Root root;
  root.Module("alpha", Definition("alpha", "", "ALIAS_alpha = Aleph\n"));
  root.Module("beta", Definition("beta", "", "ALIAS_beta = Bet\n"));
  spinetest::Install({&root});
  PM_SPEC spec(nullptr, PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ(nullptr, spec.GetProperName("Aleph", false).get());
  EXPECT_STREQ("alpha", spec.GetProperName("Aleph", true).get());
  EXPECT_STREQ("beta", spec.GetProperName("Bet", false).get());
  EXPECT_EQ(nullptr, spec.GetProperName("aleph", true).get());  // exact match only
  PM_SPEC byAlias("Bet", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_STREQ("beta", byAlias.get_pm());
}

TEST(SpecRegistry, UnsupportedSwitchAcceptsOnlyYesAndNo) {
  struct Case {
    const char* value;
    bool use;
    std::vector<std::string> traces;
  };
  const std::vector<Case> cases = {
      {"yes", true, {"Unsupported PMs can be used.\n"}},
      {"No", false, {}},
      {"yes ", false, {"Unrecognized value <yes > for QOR_USE_UNSUPPORTED_PMS. NO assumed.\n"}},
  };
  for (const Case& c : cases) {
    setenv("QOR_USE_UNSUPPORTED_PMS", c.value, 1);
    pmtest::MessageCapture capture;
    const PM_SPECMGR registry("TEST_SPECMGR");
    EXPECT_EQ(c.use, registry.useunsupported()) << c.value;
    EXPECT_EQ(c.traces, capture.texts(MsgKind::Debug)) << c.value;
  }
  unsetenv("QOR_USE_UNSUPPORTED_PMS");
}

TEST(SpecRegistry, UnsupportedListIsEmptyUntilFilled) {
  Root first;
  Root second;
  first.UnsupportedModule("old", Definition("old"));
  second.UnsupportedModule("old", Definition("old"));
  second.UnsupportedModule("older", Definition("older"));
  second.File("data/unsupported/notamodule/readme", "");
  spinetest::Install({&first, &second});
  EXPECT_FALSE(pm_specmgr.isunsupported_pm("old"));
  pm_specmgr.InitUnsuppPMsOnce();
  EXPECT_TRUE(pm_specmgr.isunsupported_pm("old"));
  EXPECT_TRUE(pm_specmgr.isunsupported_pm("older"));
  EXPECT_FALSE(pm_specmgr.isunsupported_pm("notamodule"));
  EXPECT_FALSE(pm_specmgr.isunsupported_pm("OLD"));
  EXPECT_EQ((std::vector<Port::String>{"Korvan:old", "Korvan:older"}),
            pm_specmgr.unsupportedlist());
}
