// Architecture libraries: virtual entries in both forms and every malformed one, library names
// that cannot leave the installation, loading with dependencies (loops included), the messages of
// failed loads and unloading.
#include <cstdio>

#include "baspmdlm.h"
#include "pmlib/pmdlm.h"
#include "spine_fixture.h"

using namespace spinetest;
using namespace pmlib::msg;
using Names = std::vector<std::string>;

namespace {

// What a replacement function of the test libraries answers, or "(generic)" for none.
std::string Call(PM_DLM::EntryPoint entry) {
  if (!entry) return "(generic)";
  return reinterpret_cast<const char* (*)()>(entry)();
}

// Installs `root` alone with the module "arch": `ventries` in its definition, the test libraries
// `libraries` in its library folder and, for each (library, text), its dependency file. The test
// libraries' entries log to the root's plugin.log (Log), set before any library loads.
void InstallArch(const Root& root, const std::string& ventries, const Names& libraries,
                 const std::vector<std::pair<std::string, std::string>>& dependencyFiles = {}) {
  setenv("PMTEST_PLUGIN_LOG", (root.path() + "/plugin.log").c_str(), 1);
  root.Module("arch", Definition("arch", "", ventries));
  for (const std::string& name : libraries) root.Library(PlatformDir("arch", "lib"), name);
  for (const auto& [library, text] : dependencyFiles) {
    root.File("arch/data/lib" + library + ".acd", text + "\n");
  }
  spinetest::Install({&root});
}

std::string Log(const Root& root) { return pmtest::ReadFile(root.path() + "/plugin.log"); }

}  // namespace

// The platform's key wins over the plain one and both value forms resolve; a malformed or null
// entry, or none, gives the generic implementation and loads nothing.
TEST(Ventry, PlatformKeyWinsBothFormsResolveAndMalformedOnesGiveTheGenericImplementation) {
  std::string platform = std::string("VENTRY_") + Port_Env::GetPlatformPath();
  UT_STR::Upper(platform.data());
  Root root;
  InstallArch(root,
              platform + "_route = route(const char*),tpa\nVENTRY_route = place,tpb\n" + platform +
                  "_pack =\nVENTRY_pack = route(void) tpc\n"
                  "VENTRY_place = place ,tpb ; the comment is not part of the entry\n"
                  "VENTRY_paren = route(int\n"
                  "VENTRY_bare = route\n"
                  "VENTRY_nolib = route(int),\n"
                  "VENTRY_blanklib = route,  ; blanks only\n"
                  "VENTRY_comment = ; only a comment\n"
                  "VENTRY_nullsym = NULL,tpa\n"
                  "VENTRY_nulllib = route,null\n"
                  "VENTRY_nullparen = NuLl(int),tpa\n",
              {"tpa", "tpb", "tpc"});
  PM_SPEC spec("arch", PM_BINDING_SUPPORTED_ONLY);
  PM_DLM dlm(&spec);
  PM_SPEC generic(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  EXPECT_EQ(nullptr, PM_DLM(&generic).get_ventrypoint("route", nullptr));  // no definition
  for (const char* function : {"paren", "bare", "nolib", "blanklib", "comment", "nullsym",
                               "nulllib", "nullparen", "absent"}) {
    EXPECT_EQ(nullptr, dlm.get_ventrypoint(function, nullptr)) << function;
  }
  EXPECT_TRUE(PM_DLMMGR::Instance().getnames().empty()) << "nothing may have been loaded";
  pmtest::MessageCapture capture;
  EXPECT_EQ("tpa:route tpc:route tpb:place",  // the empty platform entry of pack falls back
            Call(dlm.get_ventrypoint("route", nullptr)) + " " +
                Call(dlm.get_ventrypoint("pack", nullptr)) + " " +
                Call(dlm.get_ventrypoint("place", nullptr)));
  EXPECT_EQ((Names{"tpa", "tpb", "tpc"}), PM_DLMMGR::Instance().getnames());
  EXPECT_TRUE(capture.of(MsgKind::Fatal).empty());
}

TEST(Ventry, EntriesOfAnotherFileAndStoreWithFriends) {
  Root root;
  root.Module("beta", Definition("beta", "alpha"));
  root.Module("alpha", Definition("alpha"));
  root.File("alpha/data/ventries.acd", "VENTRY_route = route,tpa\nVENTRY_place = route,tpa\n");
  root.File("beta/data/ventries.acd", "VENTRY_place = place,tpb\n");
  root.Library(PlatformDir("alpha", "lib"), "tpa");
  root.Library(PlatformDir("beta", "lib"), "tpb");
  spinetest::Install({&root});
  PM_SPEC spec("beta", PM_BINDING_SUPPORTED_ONLY);
  PM_DLM dlm(&spec);

  // route: the friend's library; place: beta's own wins; neither is in the definition.
  PM_DEVKEY store("ventries", &spec, 0, 1, 1);
  EXPECT_EQ("tpa:route tpb:place tpb:place (generic)",
            Call(dlm.get_ventrypoint("route", "ventries")) + " " +
                Call(dlm.get_ventrypoint("place", "ventries")) + " " +
                Call(dlm.get_ventrypoint("place", &store)) + " " +
                Call(dlm.get_ventrypoint("route", nullptr)));
}

// tpb's and tpc's dependencies come back to a library already being loaded (tpa, tpc itself).
TEST(LibraryLoading, DependenciesLoadDepthFirstOnlyOnceAndLoopsStopAtTheRepeatedLibrary) {
  Root root;
  InstallArch(root, "VENTRY_route = route,tpa\nVENTRY_place = place,tpa\n",
              {"tpa", "tpb", "tpc", "tpd"},
              {{"tpa", "DEPEND = tpb, tpc"}, {"tpb", "DEPEND = tpd,tpa"}, {"tpc", "DEPEND = tpc"}});
  PM_SPEC spec("arch", PM_BINDING_SUPPORTED_ONLY);
  PM_DLM dlm(&spec);
  pmtest::MessageCapture capture;
  EXPECT_EQ("tpa:route", Call(dlm.get_ventrypoint("route", nullptr)));
  EXPECT_EQ("tpd init\ntpb init\ntpc init\ntpa init\n", Log(root));
  EXPECT_TRUE(capture.of(MsgKind::Fatal).empty());

  EXPECT_EQ("tpa:place", Call(dlm.get_ventrypoint("place", nullptr)));
  EXPECT_EQ("tpd init\ntpb init\ntpc init\ntpa init\n", Log(root)) << "nothing loads twice";
  EXPECT_EQ((Names{"tpa", "tpb", "tpc", "tpd"}), PM_DLMMGR::Instance().getnames());
}

TEST(LibraryLoading, FailedLoadsAreReportedOnceAndKept) {
  Root root;
  InstallArch(root,
              "VENTRY_gone = route,nolib\n"
              "VENTRY_broken = route,broken\n"
              "VENTRY_escape = route,../../../tpa\n"
              "VENTRY_nosym = nosuch,tpa\n"
              "VENTRY_baddep = place,tpb\n",
              {"tpa", "tpb"}, {{"tpb", "# no key at all"}});
  root.File(PlatformDir("arch", "lib") + "libbroken.so", "not a shared library\n");
  // A library name cannot reach a file outside the library folders: the installation root, the
  // module folder, or the folder above the platform one.
  for (const char* dir : {"", "arch/", "arch/lib/"}) root.Library(dir, "tpa");
  PM_SPEC spec("arch", PM_BINDING_SUPPORTED_ONLY);
  PM_DLM dlm(&spec);
  pmtest::MessageCapture capture;

  for (int attempt = 0; attempt < 2; ++attempt) {
    for (const char* function : {"gone", "broken", "escape"}) {
      EXPECT_EQ(nullptr, dlm.get_ventrypoint(function, nullptr)) << function;
    }
  }
  EXPECT_EQ("", Log(root));
  EXPECT_EQ(nullptr, dlm.get_ventrypoint("nosym", nullptr));
  EXPECT_EQ("tpb:place", Call(dlm.get_ventrypoint("baddep", nullptr)));
  const std::string broken = root.path() + "/" + PlatformDir("arch", "lib") + "libbroken.so";
  EXPECT_THAT(capture.of(MsgKind::Fatal),
              ElementsAre(Says(LibraryMissing, {"nolib"}),
                          Says(LibraryOpenFailed, {broken, "an unknown reason"}),
                          Says(LibraryMissing, {".."}),
                          Says(BadDependencyFile, {root.DataFile("arch", "libtpb.acd")})));
  EXPECT_THAT(capture.of(MsgKind::Internal),
              ElementsAre(Says(MissingLibraryEntry, {"tpa", "nosuch"})));
  EXPECT_EQ((Names{"..", "broken", "nolib", "tpa", "tpb"}), PM_DLMMGR::Instance().getnames());
}

// A registry finalises the latest loaded first, whether it is destroyed or the process exits.
TEST(LibraryRegistry, LibrariesAreFinalisedLatestFirstOnDestructionAndAtExit) {
  Root root;
  InstallArch(root, "VENTRY_route = route,tpa\n", {"tpa", "tpb", "tpc"},
              {{"tpa", "DEPEND = tpb,tpc"}});
  PM_SPEC spec("arch", PM_BINDING_SUPPORTED_ONLY);
  const std::string loadAndUnload = "tpb init\ntpc init\ntpa init\ntpa fini\ntpc fini\ntpb fini\n";
  EXPECT_EQ(&PM_DLMMGR::Instance(), UT_STATOBJ::Find("PM_DLMMGR"));
  {
    PM_DLMMGR registry("PMTEST_DLMMGR");
    const boost::shared_ptr<PM_LIBENT> entry = registry.getlibent("tpa", &spec);
    ASSERT_TRUE(entry && entry->isloaded());
    EXPECT_EQ(entry, registry.getlibent("tpa", &spec));
    EXPECT_EQ(entry, registry.findlibent("tpa"));
    EXPECT_EQ(nullptr, registry.findlibent("TPA")) << "names are case-sensitive";
  }
  EXPECT_EQ(loadAndUnload, Log(root));

  std::fflush(nullptr);  // the child must not write the parent's pending output again
  ASSERT_TRUE(pmtest::FinishesInTime([&spec]() -> bool {
    PM_DLM dlm(&spec);
    // Leaving by exit runs the library's unload.
    std::exit(Call(dlm.get_ventrypoint("route", nullptr)) == "tpa:route" ? 0 : 3);
  }));
  EXPECT_EQ(loadAndUnload + loadAndUnload, Log(root));
}
