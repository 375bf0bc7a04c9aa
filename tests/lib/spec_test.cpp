// Specifications: name resolution, location with override and missing-definition messages,
// loading with the friend chain, aliases, validity and the printed dump.
#include <tuple>
#include <type_traits>

#include "baspmdevkey.h"
#include "spine_fixture.h"

using namespace spinetest;
using namespace pmlib::msg;

namespace {

std::string Key(const PM_SPEC& spec, const char* key) { return Values(*spec.get_defdata(), {key}); }

// "<pm> <friend>...", nearest friend first.
std::string Chain(const PM_SPEC& spec) {
  std::string text = spec.get_pm();
  for (int i = 0; i < spec.get_num_friends(); ++i) text += std::string(" ") + spec.get_pm_friend(i);
  return text;
}

// A const handle reaches its implementation read-only (checked in a member function's body, where
// the class is complete).
struct ImplementationAccess : PM_SPEC {
  static void ConstHandleGivesConstImplementation() {
    static_assert(
        std::is_same_v<decltype(std::declval<const ImplementationAccess&>().implementation()),
                       const PMSpecImp&>);
  }
};

}  // namespace

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
  EXPECT_EQ("alpha AB", std::string(spec.get_pm()) + " " + spec.get_pmprefix());
  EXPECT_EQ((std::vector<int>{1, 1, 1, 0}),
            (std::vector<int>{spec.get_depth(), spec.isvalid(0, 0), spec.isvalidpmname("ALPHA", 0),
                              spec.isvalidpmname("nosuch", 0)}));
  PM_SPEC marked("beta", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_NE(nullptr, marked.get_defdata());
  EXPECT_EQ(base.DataFile("alpha", "alpha.acd") + base.DataFile("beta", "beta.acd"),
            std::string(spec.get_defdata()->getlocation()) + marked.get_defdata()->getlocation());
  EXPECT_TRUE(capture.messages().empty());

  PM_SPEC overridden("gamma", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ("overlay ", Key(overridden, "WHERE"));
  EXPECT_THAT(capture.of(MsgKind::Warning),
              ElementsAre(Overrides(overlay.DataFile("gamma", "gamma.acd"),
                                    base.DataFile("gamma", "gamma.acd"))));
  EXPECT_EQ("Port", capture.messages().at(0).domain);
}

// Readers are cached by name for the life of the process, so each binding asks for its own module.
// The registry lists the unsupported modules of every entry, once each, from when it is filled.
TEST(SpecUnsupported, RefusedWithoutTheBindingFoundWithItAndListedOnceTheRegistryIsFilled) {
  Root first;
  Root second;
  first.UnsupportedModule("old", Definition("old"));
  second.UnsupportedModule("old", Definition("old"));
  second.UnsupportedModule("older", Definition("older", "", "K = older\n"));
  second.File("data/unsupported/notamodule/readme", "");
  spinetest::Install({&first, &second});
  EXPECT_FALSE(pm_specmgr.isunsupported_pm("old"));
  pmtest::MessageCapture capture;
  PM_SPEC refused("old", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_THAT(capture.messages(), ElementsAre(Says(CannotOpenDefinitionFile, {"old"}),
                                              Says(CannotLoadModuleDefinition, {"old"})));
  EXPECT_TRUE(refused.isunsupported() == 0 && refused.get_defdata() == nullptr);

  capture.clear();
  PM_SPEC allowed("older", PM_BINDING_ALLOW_UNSUPPORTED);
  EXPECT_TRUE(capture.messages().empty());
  EXPECT_EQ("1 older ", std::to_string(allowed.isunsupported()) + " " + Key(allowed, "K"));
  EXPECT_EQ(second.path() + "/data/unsupported/older/data/older.acd",
            allowed.GetDatafileName(1, ".acd", true, -2).str());

  pm_specmgr.InitUnsuppPMsOnce();
  for (const char* name : {"notamodule", "OLD"}) EXPECT_FALSE(pm_specmgr.isunsupported_pm(name));
  EXPECT_EQ((std::vector<Port::String>{"Korvan:old", "Korvan:older"}),
            pm_specmgr.unsupportedlist());
  EXPECT_TRUE(pm_specmgr.isunsupported_pm("older"));
}

TEST(SpecUnsupported, EnvironmentBindingFollowsTheRegistry) {
  if (!spinetest::InChildWithEnv("QOR_USE_UNSUPPORTED_PMS", "yes")) return;
  Root root;
  root.UnsupportedModule("old", Definition("old"));
  spinetest::Install({&root});
  EXPECT_EQ(1, PM_SPEC("old", PM_BINDING_FROM_ENVIRONMENT).isunsupported());
}

TEST(SpecReports, NoModuleMissingModulesAndBrokenDefinitionsReportOnlyWhatIsAskedAndLeaveNoStore) {
  Root root;
  root.Module("empty", "");
  root.Module("noname", "ARCH_FRIEND = noname\n");
  root.Module("other", Definition("another"));
  root.Module("nofriend", "ARCH_NAME = nofriend\n");
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  PM_SPEC spec(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  EXPECT_EQ(nullptr, spec.get_pm());
  EXPECT_EQ(0, spec.isvalid(1, 0) + spec.isvalid(0, 0));
  spec.printme(nullptr);
  EXPECT_THAT(capture.messages(),  // the quiet test said nothing
              ElementsAre(From(SpecNotDownToModule), Says(DumpSpecName, {"PM_SPEC", "<Null>"}),
                          Says(DumpFriendCount, {"0"}), Says(DumpListSize, {"0"})));

  // "base" loads nothing and is never reported.
  capture.clear();
  PM_SPEC base("base", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ(0, base.get_depth() + base.set_pm("base") + base.set_pm(nullptr));
  PM_SPEC missing("Nosuch", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_THAT(capture.messages(),
              ElementsAre(From(NullModule), Says(CannotOpenDefinitionFile, {"Nosuch"}),
                          Says(CannotLoadModuleDefinition, {"nosuch"})));
  EXPECT_EQ("PersonalityModule", capture.messages()[1].domain);
  EXPECT_TRUE(missing.get_defdata() == nullptr && missing.isvalid(1, 0) == 0);

  const std::tuple<const char*, Port::MsgEntry, Texts> cases[] = {
      {"empty", CannotLoadDefinitionFile, {"empty.acd"}},
      {"noname", DefinitionWithoutName, {"noname.acd"}},
      {"other", DefinitionOfOtherModule, {"other.acd", "other", "another"}},
      {"nofriend", DefinitionWithoutArchitecture, {"nofriend.acd"}}};
  for (const auto& [pm, entry, arguments] : cases) {
    capture.clear();
    PM_SPEC broken(pm, PM_BINDING_SUPPORTED_ONLY);
    EXPECT_THAT(capture.messages(), ElementsAre(Says(entry, arguments))) << pm;
    EXPECT_TRUE(broken.get_defdata() == nullptr && broken.isvalid(1, 0) == 0) << pm;
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
  EXPECT_EQ("alpha beta gamma (null)", Chain(spec) + " " + Text(spec.get_pm_friend(2)));
  EXPECT_EQ("alpha beta gamma alpha ",
            Values(*spec.get_defdata(), {"BOTH", "MIDDLE", "FAR", "ARCH_NAME"}));
  spec.printme("chain");
  EXPECT_THAT(capture.messages(),  // the walk itself said nothing
              ElementsAre(Says(DumpSpecName, {"chain", "alpha"}), Says(DumpFriendCount, {"2"}),
                          Says(DumpFriend, {"0", "beta"}), Says(DumpFriend, {"1", "gamma"}),
                          Says(DumpListSize, {"0"})));

  // A second specification, or a copy, reads no file again.
  const std::size_t readers = PM_INTDEVKEY_MGR::Instance().count();
  PM_SPEC second("alpha", PM_BINDING_SUPPORTED_ONLY);
  PM_SPEC copy(spec);
  EXPECT_EQ(readers, PM_INTDEVKEY_MGR::Instance().count());
  EXPECT_EQ(PMDevKeyReader(*spec.get_defdata()), PMDevKeyReader(*second.get_defdata()));
  EXPECT_EQ(Chain(spec), Chain(copy));

  capture.clear();
  PM_SPEC la("la", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ("la lb lc: 3 ", Chain(la) + ": " + Key(la, "C"));
  for (const Port::Message& message : capture.messages()) EXPECT_EQ(MsgKind::Debug, message.kind);
  EXPECT_EQ("lc la lb", Chain(PM_SPEC("lc", PM_BINDING_SUPPORTED_ONLY)));
}

// Once a module registers an alias under a friend's name, every later load of that friend is a
// load of the aliased module: beta is alpha's friend and alias; gamma takes delta's name.
TEST(SpecFriends, AnAliasUnderAFriendsNameReplacesThatFriendFromTheNextWalkOn) {
  Root root;
  root.Module("alpha", Definition("alpha", "beta", "ALIAS_alpha = beta\nA = 1\n"));
  root.Module("beta", Definition("beta", "alpha", "B = 2\n"));
  root.Module("omega", Definition("omega", "delta", "O = 1\n"));
  root.Module("delta", Definition("delta", "", "D = 2\n"));
  root.Module("gamma", Definition("gamma", "", "ALIAS_gamma = delta\nG = 3\n"));
  spinetest::Install({&root});
  EXPECT_EQ("2 ", Key(PM_SPEC("alpha", PM_BINDING_SUPPORTED_ONLY), "B"));
  const PM_SPEC beta("beta", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ("alpha: 1 ", std::string(beta.get_pm()) + ": " + Key(beta, "A"));
  EXPECT_EQ("2  ", Values(*PM_SPEC("omega", PM_BINDING_SUPPORTED_ONLY).get_defdata(), {"D", "G"}));
  const PM_SPEC gamma("gamma", PM_BINDING_SUPPORTED_ONLY);
  const PM_SPEC omega("omega", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ("omega delta: 3 ", Chain(omega) + ": " + Key(omega, "G"));
}

TEST(SpecAlias, UnknownAliasesAreResolvedByOneScanThenFromTheRegistry) {
  Root root;
  root.Module("alpha", Definition("alpha", "", "ALIAS_alpha = Aleph\n"));
  root.Module("beta", Definition("beta", "", "ALIAS_beta = Bet\n"));
  root.Module("gamma", Definition("gamma"));
  spinetest::Install({&root});
  PM_SPEC spec("gamma", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ(nullptr, spec.GetProperName("Bet", false).get());  // not scanned for
  pmtest::MessageCapture capture;
  EXPECT_EQ(1, spec.set_pm("Aleph"));
  EXPECT_TRUE(capture.messages().empty());
  ASSERT_NE(nullptr, spec.get_defdata());
  // The scan registered Bet; an exact match only is asked for bet.
  EXPECT_EQ("alpha Aleph beta (null)", std::string(spec.get_pm()) + " " + spec.GetName().get() +
                                           " " + spec.GetProperName("Bet", false).get() + " " +
                                           Text(spec.GetProperName("bet", true).get()));
  EXPECT_STREQ("beta", PM_SPEC("Bet", PM_BINDING_SUPPORTED_ONLY).get_pm());
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
