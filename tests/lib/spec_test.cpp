// Specifications: name resolution, location with override and missing-definition messages,
// loading with the friend chain, aliases, validity and the printed dump.
#include <cstdlib>
#include <tuple>
#include <type_traits>
#include <utility>

#include "baspmdevkey.h"
#include "spine_fixture.h"

using namespace spinetest;
using namespace pmlib::msg;

namespace {

std::string Key(const PM_SPEC& spec, const char* key) {
  return spec.get_defdata()->GetStringByKey(key, 0, 0, 0, 0).c_str();
}

// A const handle reaches its implementation read-only.
struct ImplementationAccess : PM_SPEC {
  static void Check() {
    static_assert(
        std::is_same_v<decltype(std::declval<const ImplementationAccess&>().implementation()),
                       const PMSpecImp&>);
  }
};

}  // namespace

TEST(SpecWithoutModule, EmptyBaseAndMissingModulesReportOnlyWhatIsAsked) {
  Root root;
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  PM_SPEC spec(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  EXPECT_EQ(nullptr, spec.get_pm());
  EXPECT_EQ(0, spec.isvalid(1, 0));
  EXPECT_TRUE(capture.messages().empty());
  EXPECT_EQ(0, spec.isvalid(0, 0));
  spec.printme(nullptr);
  EXPECT_THAT(capture.messages(),
              ElementsAre(From(SpecNotDownToModule), Says(DumpSpecName, {"PM_SPEC", "<Null>"}),
                          Says(DumpFriendCount, {"0"}), Says(DumpListSize, {"0"})));

  // "base" loads nothing and is never reported.
  capture.clear();
  PM_SPEC base("base", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ(0, base.get_depth());
  EXPECT_EQ(0, base.set_pm("base"));
  EXPECT_EQ(0, base.set_pm(nullptr));
  PM_SPEC missing("Nosuch", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_THAT(capture.messages(),
              ElementsAre(From(NullModule), Says(CannotOpenDefinitionFile, {"Nosuch"}),
                          Says(CannotLoadModuleDefinition, {"nosuch"})));
  EXPECT_EQ("PersonalityModule", capture.messages()[1].domain);
  EXPECT_EQ(nullptr, missing.get_defdata());
  EXPECT_EQ(0, missing.isvalid(1, 0));
}

// alpha: only in the base entry, asked in mixed case; beta: located by the marker file in the
// overlay, defined in the base; gamma: defined in both, the overlay's wins with one message.
TEST(SpecLoad, NamesAreLowerCasedMarkersLocateAndOverlaysOverride) {
  Root overlay;
  Root base;
  base.Module("alpha", Definition("alpha", "", "PMPREFIX = AB\n"));
  overlay.File("beta/data/qordata.etc", "");
  base.Module("beta", Definition("beta"));
  overlay.Module("gamma", Definition("gamma", "", "WHERE = overlay\n"));
  base.Module("gamma", Definition("gamma", "", "WHERE = base\n"));
  spinetest::Install({&overlay, &base});
  pmtest::MessageCapture capture;

  PM_SPEC spec("AlPhA", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_STREQ("alpha", spec.get_pm());
  EXPECT_EQ(1, spec.get_depth());
  EXPECT_STREQ("AB", spec.get_pmprefix());
  ASSERT_NE(nullptr, spec.get_defdata());
  EXPECT_EQ(base.DataFile("alpha", "alpha.acd"), spec.get_defdata()->getlocation());
  EXPECT_EQ(1, spec.isvalid(0, 0));
  EXPECT_EQ(1, spec.isvalidpmname("ALPHA", 0));
  EXPECT_EQ(0, spec.isvalidpmname("nosuch", 0));

  PM_SPEC marked("beta", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_NE(nullptr, marked.get_defdata());
  EXPECT_EQ(base.DataFile("beta", "beta.acd"), marked.get_defdata()->getlocation());
  EXPECT_TRUE(capture.messages().empty());

  PM_SPEC overridden("gamma", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_NE(nullptr, overridden.get_defdata());
  EXPECT_EQ("overlay", Key(overridden, "WHERE"));
  EXPECT_THAT(capture.of(MsgKind::Warning),
              ElementsAre(Overrides(overlay.DataFile("gamma", "gamma.acd"),
                                    base.DataFile("gamma", "gamma.acd"))));
  EXPECT_EQ("Port", capture.messages().at(0).domain);
}

// Readers are cached by name for the life of the process, so each binding asks for its own module.
TEST(SpecUnsupported, RefusedWithoutTheBindingAndFoundWithIt) {
  Root root;
  root.UnsupportedModule("old", Definition("old"));
  root.UnsupportedModule("older", Definition("older", "", "K = older\n"));
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  PM_SPEC refused("old", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_THAT(capture.messages(), ElementsAre(Says(CannotOpenDefinitionFile, {"old"}),
                                              Says(CannotLoadModuleDefinition, {"old"})));
  EXPECT_EQ(0, refused.isunsupported());
  EXPECT_EQ(nullptr, refused.get_defdata());

  capture.clear();
  PM_SPEC allowed("older", PM_BINDING_ALLOW_UNSUPPORTED);
  EXPECT_TRUE(capture.messages().empty());
  EXPECT_EQ(1, allowed.isunsupported());
  ASSERT_NE(nullptr, allowed.get_defdata());
  EXPECT_EQ("older", Key(allowed, "K"));
  EXPECT_EQ(root.path() + "/data/unsupported/older/data/older.acd",
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
  const std::tuple<const char*, Port::MsgEntry, Texts> cases[] = {
      {"empty", CannotLoadDefinitionFile, {"empty.acd"}},
      {"noname", DefinitionWithoutName, {"noname.acd"}},
      {"other", DefinitionOfOtherModule, {"other.acd", "other", "another"}},
      {"nofriend", DefinitionWithoutArchitecture, {"nofriend.acd"}}};
  for (const auto& [pm, entry, arguments] : cases) {
    pmtest::MessageCapture capture;
    PM_SPEC spec(pm, PM_BINDING_SUPPORTED_ONLY);
    EXPECT_THAT(capture.messages(), ElementsAre(Says(entry, arguments))) << pm;
    EXPECT_EQ(nullptr, spec.get_defdata()) << pm;
    EXPECT_EQ(0, spec.isvalid(1, 0)) << pm;
  }
}

// alpha -> beta -> gamma, nearer values winning; la -> lb -> lc -> la, a loop.
TEST(SpecFriends, ChainsListNearestFirstStopAtARepeatedNameAndAreReadOnce) {
  Root root;
  root.Module("alpha", Definition("alpha", "beta", "BOTH = alpha\n"));
  root.Module("beta", Definition("beta", "gamma", "BOTH = beta\nMIDDLE = beta\n"));
  root.Module("gamma", Definition("gamma", "", "FAR = gamma\nMIDDLE = gamma\n"));
  root.Module("la", Definition("la", "lb"));
  root.Module("lb", Definition("lb", "lc"));
  root.Module("lc", Definition("lc", "la", "C = 3\n"));
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_EQ(2, spec.get_num_friends());
  EXPECT_STREQ("beta", spec.get_pm_friend(0));
  EXPECT_STREQ("gamma", spec.get_pm_friend(1));
  EXPECT_EQ(nullptr, spec.get_pm_friend(2));
  ASSERT_NE(nullptr, spec.get_defdata());
  EXPECT_EQ("alpha", Key(spec, "BOTH"));
  EXPECT_EQ("beta", Key(spec, "MIDDLE"));
  EXPECT_EQ("gamma", Key(spec, "FAR"));
  EXPECT_EQ("alpha", Key(spec, "ARCH_NAME"));
  EXPECT_TRUE(capture.messages().empty());
  spec.printme("chain");
  EXPECT_THAT(capture.messages(),
              ElementsAre(Says(DumpSpecName, {"chain", "alpha"}), Says(DumpFriendCount, {"2"}),
                          Says(DumpFriend, {"0", "beta"}), Says(DumpFriend, {"1", "gamma"}),
                          Says(DumpListSize, {"0"})));

  // A second specification, or a copy, reads no file again.
  const std::size_t readers = PM_INTDEVKEY_MGR::Instance().count();
  PM_SPEC second("alpha", PM_BINDING_SUPPORTED_ONLY);
  PM_SPEC copy(spec);
  EXPECT_EQ(readers, PM_INTDEVKEY_MGR::Instance().count());
  EXPECT_EQ(PMDevKeyReader(*spec.get_defdata()), PMDevKeyReader(*second.get_defdata()));
  EXPECT_STREQ("alpha", copy.get_pm());
  EXPECT_EQ(2, copy.get_num_friends());

  capture.clear();
  PM_SPEC la("la", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_EQ(2, la.get_num_friends());
  EXPECT_STREQ("lb", la.get_pm_friend(0));
  EXPECT_STREQ("lc", la.get_pm_friend(1));
  EXPECT_EQ("3", Key(la, "C"));
  for (const Port::Message& message : capture.messages()) {
    EXPECT_EQ(MsgKind::Debug, message.kind) << message.text;
  }
  PM_SPEC lc("lc", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_EQ(2, lc.get_num_friends());
  EXPECT_STREQ("la", lc.get_pm_friend(0));
  EXPECT_STREQ("lb", lc.get_pm_friend(1));
}

// beta is alpha's friend and also alpha's alias: once the alias is known, every load of "beta"
// is a load of alpha, whose friend is "beta" again.
TEST(SpecFriends, AFriendThatIsAnotherModulesAliasStopsTheChain) {
  Root root;
  root.Module("alpha", Definition("alpha", "beta", "ALIAS_alpha = beta\nA = 1\n"));
  root.Module("beta", Definition("beta", "alpha", "B = 2\n"));
  spinetest::Install({&root});
  PM_SPEC alpha("alpha", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ("2", Key(alpha, "B"));
  PM_SPEC beta("beta", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_STREQ("alpha", beta.get_pm());
  EXPECT_EQ("1", Key(beta, "A"));
}

// alpha's friend is written "beta"; once gamma registers "beta" as its alias, setting alpha again
// loads gamma as that friend, even though alpha's chain was walked before.
TEST(SpecFriends, AnAliasRegisteredUnderAFriendsNameAfterAWalkChangesTheNextWalk) {
  Root root;
  root.Module("alpha", Definition("alpha", "beta", "A = 1\n"));
  root.Module("beta", Definition("beta", "", "B = 2\n"));
  root.Module("gamma", Definition("gamma", "", "ALIAS_gamma = beta\nG = 3\n"));
  spinetest::Install({&root});
  {
    const PM_SPEC alpha("alpha", PM_BINDING_SUPPORTED_ONLY);
    EXPECT_EQ("2", Key(alpha, "B"));
    EXPECT_EQ("", Key(alpha, "G"));
  }
  const PM_SPEC gamma("gamma", PM_BINDING_SUPPORTED_ONLY);
  const PM_SPEC alpha("alpha", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_EQ(1, alpha.get_num_friends());
  EXPECT_STREQ("beta", alpha.get_pm_friend(0));
  EXPECT_EQ("3", Key(alpha, "G"));
}

TEST(SpecAlias, UnknownAliasesAreResolvedByOneScanThenFromTheRegistry) {
  Root root;
  root.Module("alpha", Definition("alpha", "", "ALIAS_alpha = Aleph\n"));
  root.Module("beta", Definition("beta", "", "ALIAS_beta = Bet\n"));
  root.Module("gamma", Definition("gamma"));
  spinetest::Install({&root});
  PM_SPEC spec("gamma", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_STREQ("gamma", spec.GetName().get());
  EXPECT_EQ(nullptr, spec.GetProperName("Bet", false).get());  // not scanned for
  pmtest::MessageCapture capture;
  EXPECT_EQ(1, spec.set_pm("Aleph"));
  EXPECT_TRUE(capture.messages().empty());
  EXPECT_STREQ("alpha", spec.get_pm());
  ASSERT_NE(nullptr, spec.get_defdata());
  EXPECT_STREQ("Aleph", spec.GetName().get());

  EXPECT_STREQ("beta", spec.GetProperName("Bet", false).get());  // the scan registered it
  EXPECT_EQ(nullptr, spec.GetProperName("bet", true).get());     // exact match only
  PM_SPEC byAlias("Bet", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_STREQ("beta", byAlias.get_pm());
}

TEST(SpecRegistry, UnsupportedSwitchAcceptsOnlyYesAndNo) {
  const std::vector<std::pair<const char*, Texts>> cases = {
      {"yes", {"Unsupported PMs can be used.\n"}},
      {"No", {}},
      {"yes ", {"Unrecognized value <yes > for QOR_USE_UNSUPPORTED_PMS. NO assumed.\n"}},
  };
  for (const auto& [value, traces] : cases) {
    setenv("QOR_USE_UNSUPPORTED_PMS", value, 1);
    pmtest::MessageCapture capture;
    const PM_SPECMGR registry("TEST_SPECMGR");
    EXPECT_EQ(value == std::string("yes"), registry.useunsupported()) << value;
    EXPECT_EQ(traces, capture.texts(MsgKind::Debug)) << value;
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
