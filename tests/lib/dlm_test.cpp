// Architecture libraries: virtual entries in both forms and every malformed one, library names
// that cannot leave the installation, loading with dependencies (loops included), the messages of
// failed loads, unloading, and concurrent resolution.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "pmlib/pmdevkey.h"
#include "pmlib/pmdlm.h"
#include "pmlib/pmspec.h"
#include "pmport/port_env.h"
#include "pmtest.h"
#include "spine_fixture.h"
#include "../../s/baspmdlm.h"

using Port::MsgKind;
using spinetest::Definition;
using spinetest::Root;

namespace {

const std::string kPluginDir = PMTEST_PLUGIN_DIR;

std::string Platform() { return Port_Env::GetPlatformPath(); }

std::string UpperPlatform() {
  std::string platform = Platform();
  UT_STR::Upper(platform.data());
  return platform;
}

// "<module>/lib/<platform>/", the folder where getdllfilename looks first.
std::string LibDir(const std::string& module) { return module + "/lib/" + Platform() + "/"; }

// Copies the test library lib<name>.so into the folder `relativeDir` of `root`.
void PlaceLibrary(const Root& root, const std::string& relativeDir, const std::string& name) {
  const std::string dir = root.path() + "/" + relativeDir;
  pmtest::MakeDirs(dir);
  std::filesystem::copy_file(kPluginDir + "/lib" + name + ".so", dir + "lib" + name + ".so",
                             std::filesystem::copy_options::overwrite_existing);
}

// What a replacement function of the test libraries answers, or "(generic)" for none.
std::string Call(PM_DLM::EntryPoint entry) {
  if (!entry) return "(generic)";
  return reinterpret_cast<const char* (*)()>(entry)();
}

// The log the test libraries' entries write, set up before any library loads.
class PluginLog {
 public:
  PluginLog() { setenv("PMTEST_PLUGIN_LOG", (dir_ / "log").c_str(), 1); }
  std::string text() const { return pmtest::ReadFile(dir_ / "log"); }

 private:
  pmtest::TempDir dir_;
};

// The module "arch" with `ventries` in its definition and the test libraries `libraries` in its
// library folder.
void ArchModule(const Root& root, const std::string& ventries,
                const std::vector<std::string>& libraries) {
  root.Module("arch", Definition("arch", "", ventries));
  for (const std::string& name : libraries) PlaceLibrary(root, LibDir("arch"), name);
}

bool HasText(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

}  // namespace

TEST(Ventry, PlatformKeyWinsAndBothValueFormsResolve) {
  Root root;
  ArchModule(root,
             "VENTRY_" + UpperPlatform() + "_route = route(const char*),tpa\n"
             "VENTRY_route = place,tpb\n"
             "VENTRY_" + UpperPlatform() + "_pack =\n"
             "VENTRY_pack = route(void) tpc\n"
             "VENTRY_place = place ,tpb ; the comment is not part of the entry\n",
             {"tpa", "tpb", "tpc"});
  spinetest::Install({&root});
  PM_SPEC spec("arch", PM_BINDING_SUPPORTED_ONLY);
  PM_DLM dlm(&spec);
  pmtest::MessageCapture capture;

  EXPECT_EQ("tpa:route", Call(dlm.get_ventrypoint("route", nullptr)));
  EXPECT_EQ("tpc:route", Call(dlm.get_ventrypoint("pack", nullptr)));  // empty platform entry
  EXPECT_EQ("tpb:place", Call(dlm.get_ventrypoint("place", nullptr)));
  EXPECT_EQ((std::vector<std::string>{"tpa", "tpb", "tpc"}), PM_DLMMGR::Instance().getnames());
  EXPECT_TRUE(HasText(capture.texts(MsgKind::Debug),
                      "now Creating Personality Module library entry <tpa>\n"));
  EXPECT_TRUE(HasText(capture.texts(MsgKind::Debug), "Load successful\n"));
  EXPECT_TRUE(capture.of(MsgKind::Fatal).empty());
}

TEST(Ventry, MalformedAndNullEntriesGiveTheGenericImplementation) {
  Root root;
  ArchModule(root,
             "VENTRY_paren = route(int\n"
             "VENTRY_bare = route\n"
             "VENTRY_nolib = route(int),\n"
             "VENTRY_blanklib = route,  ; blanks only\n"
             "VENTRY_comment = ; only a comment\n"
             "VENTRY_nullsym = NULL,tpa\n"
             "VENTRY_nulllib = route,null\n"
             "VENTRY_nullparen = NuLl(int),tpa\n",
             {"tpa"});
  spinetest::Install({&root});
  PM_SPEC spec("arch", PM_BINDING_SUPPORTED_ONLY);
  PM_DLM dlm(&spec);
  pmtest::MessageCapture capture;

  const std::vector<std::pair<const char*, std::string>> cases = {
      {"paren", "Malformed ventry <route(int> for function <paren> (no closing paren in function "
                "symbol), using base class.\n"},
      {"bare", "Malformed ventry <route> for function <bare> (no comma separated library entry), "
               "using base class.\n"},
      {"nolib", "Malformed ventry <route(int),> for function <nolib> (no comma separated library "
                "entry), using base class.\n"},
      {"blanklib", "Malformed ventry <route,> for function <blanklib> (no comma separated library "
                   "entry), using base class.\n"},
      {"comment", "Malformed ventry for function <comment>, using base class.\n"},
      {"nullsym", "Ventry set to NULL for function <nullsym>, using base class.\n"},
      {"nulllib", "Ventry set to NULL for function <nulllib>, using base class.\n"},
      {"nullparen", "Ventry set to NULL for function <nullparen>, using base class.\n"},
      {"absent", "Ventry not found for function <absent>, using base class.\n"},
  };
  for (const auto& [function, trace] : cases) {
    capture.clear();
    EXPECT_EQ(nullptr, dlm.get_ventrypoint(function, nullptr)) << function;
    EXPECT_EQ(std::vector<std::string>{trace}, capture.texts(MsgKind::Debug)) << function;
  }
  EXPECT_TRUE(PM_DLMMGR::Instance().getnames().empty()) << "nothing may have been loaded";
}

TEST(Ventry, ValueFormsSplitIntoSymbolAndLibraryName) {
  const auto parts = [](const std::string& field) {
    const PMVentry ventry = PMParseVentryField(field);
    return ventry.status == PMVentryStatus::Found ? ventry.symbol + "|" + ventry.library
                                                  : "(unusable)";
  };
  EXPECT_EQ("myroute|archlib", parts("myroute(int),archlib"));
  EXPECT_EQ("myroute|archlib", parts("myroute(int, char*)/archlib"));  // any one separator
  EXPECT_EQ("fn|lib2", parts("fn ,lib2"));
  EXPECT_EQ("fn| lib2", parts("fn, lib2"));  // leading blanks belong to the name
  EXPECT_EQ("fn|lib2", parts("fn,lib2 x"));
  // A name ends where a character a library name cannot hold appears: never a path.
  EXPECT_EQ("fn|..", parts("fn,../../escape"));
  EXPECT_EQ("fn|lib", parts("fn,lib/../../escape"));
  EXPECT_EQ("(unusable)", parts("fn,/tmp/escape"));
  EXPECT_EQ("(unusable)", parts("fn(int)"));
  EXPECT_EQ(std::string("VENTRY_") + UpperPlatform() + "_fn", PMVentryPlatformKey("fn"));
}

TEST(Ventry, LibraryNameCannotReachAFileOutsideTheLibraryFolders) {
  Root root;
  PluginLog log;
  ArchModule(root, "VENTRY_escape = route,../../../tpa\n", {});
  PlaceLibrary(root, "", "tpa");                // the installation root
  PlaceLibrary(root, "arch/", "tpa");           // the module folder
  PlaceLibrary(root, "arch/lib/", "tpa");       // above the platform folder
  spinetest::Install({&root});
  PM_SPEC spec("arch", PM_BINDING_SUPPORTED_ONLY);
  PM_DLM dlm(&spec);
  pmtest::MessageCapture capture;

  EXPECT_EQ(nullptr, dlm.get_ventrypoint("escape", nullptr));
  EXPECT_EQ(std::vector<std::string>{"dll library <..> does not exist.\n"},
            capture.texts(MsgKind::Fatal));
  EXPECT_EQ("", log.text());
}

TEST(Ventry, SpecificationWithoutDefinitionIsNotSearched) {
  Root root;
  spinetest::Install({&root});
  PM_SPEC spec(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  PM_DLM dlm(&spec);
  pmtest::MessageCapture capture;
  EXPECT_EQ(nullptr, dlm.get_ventrypoint("route", nullptr));
  EXPECT_EQ(std::vector<std::string>{
                "Generic pm not searched for ventry <route>, using base class.\n"},
            capture.texts(MsgKind::Debug));
}

TEST(Ventry, EntriesOfAnotherFileAndStoreWithFriends) {
  Root root;
  root.Module("beta", Definition("beta", "alpha"));
  root.Module("alpha", Definition("alpha"));
  root.File("alpha/data/ventries.acd", "VENTRY_route = route,tpa\nVENTRY_place = route,tpa\n");
  root.File("beta/data/ventries.acd", "VENTRY_place = place,tpb\n");
  PlaceLibrary(root, LibDir("alpha"), "tpa");
  PlaceLibrary(root, LibDir("beta"), "tpb");
  spinetest::Install({&root});
  PM_SPEC spec("beta", PM_BINDING_SUPPORTED_ONLY);
  PM_DLM dlm(&spec);

  EXPECT_EQ("tpa:route", Call(dlm.get_ventrypoint("route", "ventries")));  // the friend's library
  EXPECT_EQ("tpb:place", Call(dlm.get_ventrypoint("place", "ventries")));  // beta's own wins
  PM_DEVKEY store("ventries", &spec, 0, 1, 1);
  EXPECT_EQ("tpb:place", Call(dlm.get_ventrypoint("place", &store)));
  EXPECT_EQ(nullptr, dlm.get_ventrypoint("route", nullptr));  // not in the definition
}

TEST(LibraryLoading, DependenciesLoadDepthFirstAndOnlyOnce) {
  Root root;
  PluginLog log;
  ArchModule(root, "VENTRY_route = route,tpa\nVENTRY_place = place,tpa\n",
             {"tpa", "tpb", "tpc", "tpd"});
  root.File("arch/data/libtpa.acd", "DEPEND = tpb, tpc\n");
  root.File("arch/data/libtpb.acd", "DEPEND = tpd\n");
  spinetest::Install({&root});
  PM_SPEC spec("arch", PM_BINDING_SUPPORTED_ONLY);
  PM_DLM dlm(&spec);
  pmtest::MessageCapture capture;

  EXPECT_EQ("tpa:route", Call(dlm.get_ventrypoint("route", nullptr)));
  EXPECT_EQ("tpd init\ntpb init\ntpc init\ntpa init\n", log.text());
  const std::vector<std::string> traces = capture.texts(MsgKind::Debug);
  EXPECT_TRUE(HasText(traces, "dlibname = <tpb>\n"));
  EXPECT_TRUE(HasText(traces, "dlibname = <tpd>\n"));
  EXPECT_TRUE(HasText(traces, "dlibname = <tpc>\n"));

  EXPECT_EQ("tpa:place", Call(dlm.get_ventrypoint("place", nullptr)));
  EXPECT_EQ("tpd init\ntpb init\ntpc init\ntpa init\n", log.text()) << "nothing loads twice";
  EXPECT_EQ((std::vector<std::string>{"tpa", "tpb", "tpc", "tpd"}),
            PM_DLMMGR::Instance().getnames());
}

TEST(LibraryLoading, DependencyLoopsStopAtTheRepeatedLibrary) {
  Root root;
  PluginLog log;
  ArchModule(root, "VENTRY_route = route,tpa\n", {"tpa", "tpb", "tpc"});
  root.File("arch/data/libtpa.acd", "DEPEND = tpb\n");
  root.File("arch/data/libtpb.acd", "DEPEND = tpa,tpc\n");
  root.File("arch/data/libtpc.acd", "DEPEND = tpc\n");
  spinetest::Install({&root});
  PM_SPEC spec("arch", PM_BINDING_SUPPORTED_ONLY);
  PM_DLM dlm(&spec);
  pmtest::MessageCapture capture;

  EXPECT_EQ("tpa:route", Call(dlm.get_ventrypoint("route", nullptr)));
  EXPECT_EQ("tpc init\ntpb init\ntpa init\n", log.text());
  EXPECT_TRUE(HasText(capture.texts(MsgKind::Debug),
                      "Library dependencies come back to <tpa>; they stop there.\n"));
  EXPECT_TRUE(capture.of(MsgKind::Fatal).empty());
}

TEST(LibraryLoading, FailedLoadsAreReportedOnceAndKept) {
  Root root;
  ArchModule(root,
             "VENTRY_gone = route,nolib\n"
             "VENTRY_broken = route,broken\n"
             "VENTRY_nosym = nosuch,tpa\n"
             "VENTRY_baddep = place,tpb\n",
             {"tpa", "tpb"});
  root.File(LibDir("arch") + "libbroken.so", "not a shared library\n");
  root.File("arch/data/libtpb.acd", "# no key at all\n");
  spinetest::Install({&root});
  PM_SPEC spec("arch", PM_BINDING_SUPPORTED_ONLY);
  PM_DLM dlm(&spec);
  pmtest::MessageCapture capture;

  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(nullptr, dlm.get_ventrypoint("gone", nullptr));
    EXPECT_EQ(nullptr, dlm.get_ventrypoint("broken", nullptr));
  }
  const std::vector<Port::Message> fatals = capture.of(MsgKind::Fatal);
  ASSERT_EQ(2u, fatals.size());
  EXPECT_EQ(92, fatals[0].code);
  EXPECT_EQ("dll library <nolib> does not exist.\n", fatals[0].text);
  EXPECT_EQ(91, fatals[1].code);
  EXPECT_EQ("dll open of library <" + root.path() + "/" + LibDir("arch") +
                "libbroken.so> failed due to an unknown reason.\n",
            fatals[1].text);
  EXPECT_EQ("PersonalityModule", fatals[1].domain);

  capture.clear();
  EXPECT_EQ(nullptr, dlm.get_ventrypoint("nosym", nullptr));
  EXPECT_EQ(std::vector<std::string>{"Dynamic lib <tpa> does not contain entry for function "
                                     "<nosuch>\n"},
            capture.texts(MsgKind::Internal));

  capture.clear();
  EXPECT_EQ("tpb:place", Call(dlm.get_ventrypoint("baddep", nullptr)));
  ASSERT_EQ(1u, capture.of(MsgKind::Fatal).size());
  EXPECT_EQ(33, capture.of(MsgKind::Fatal)[0].code);
  EXPECT_EQ("bad load of library dependency file \"" + root.DataFile("arch", "libtpb.acd") +
                "\"\n",
            capture.of(MsgKind::Fatal)[0].text);
  EXPECT_EQ((std::vector<std::string>{"broken", "nolib", "tpa", "tpb"}),
            PM_DLMMGR::Instance().getnames());
}

TEST(LibraryRegistry, DestructionFinalisesTheLatestLoadedFirst) {
  Root root;
  PluginLog log;
  ArchModule(root, "", {"tpa", "tpb", "tpc"});
  root.File("arch/data/libtpa.acd", "DEPEND = tpb,tpc\n");
  spinetest::Install({&root});
  PM_SPEC spec("arch", PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ(&PM_DLMMGR::Instance(), UT_STATOBJ::Find("PM_DLMMGR"));
  {
    PM_DLMMGR registry("PMTEST_DLMMGR");
    const boost::shared_ptr<PM_LIBENT> entry = registry.getlibent("tpa", &spec);
    ASSERT_TRUE(entry);
    EXPECT_STREQ("tpa", entry->getname());
    EXPECT_TRUE(entry->isloaded());
    EXPECT_EQ(entry, registry.getlibent("tpa", &spec));
    EXPECT_EQ(entry, registry.findlibent("tpa"));
    EXPECT_EQ(nullptr, registry.findlibent("TPA")) << "names are case-sensitive";
  }
  EXPECT_EQ("tpb init\ntpc init\ntpa init\ntpa fini\ntpc fini\ntpb fini\n", log.text());
}

TEST(LibraryRegistry, LibrariesStillLoadedAreFinalisedAtExit) {
  Root root;
  PluginLog log;
  ArchModule(root, "VENTRY_route = route,tpa\n", {"tpa", "tpb"});
  root.File("arch/data/libtpa.acd", "DEPEND = tpb\n");
  spinetest::Install({&root});
  std::fflush(nullptr);  // the child must not write the parent's pending output again
  const pid_t child = fork();
  if (child == 0) {
    PM_SPEC spec("arch", PM_BINDING_SUPPORTED_ONLY);
    PM_DLM dlm(&spec);
    const bool resolved = Call(dlm.get_ventrypoint("route", nullptr)) == "tpa:route";
    std::exit(resolved ? 0 : 3);  // runs the library's unload
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ("tpb init\ntpa init\ntpa fini\ntpb fini\n", log.text());
}

TEST(LibraryRegistry, ConcurrentRequestsShareOneEntryPerLibrary) {
  Root root;
  ArchModule(root,
             "VENTRY_a = route,tpa\nVENTRY_b = place,tpb\nVENTRY_c = route,tpc\n"
             "VENTRY_d = place,tpd\n",
             {"tpa", "tpb", "tpc", "tpd"});
  root.File("arch/data/libtpa.acd", "DEPEND = tpb\n");
  root.File("arch/data/libtpc.acd", "DEPEND = tpd,tpb\n");
  spinetest::Install({&root});
  PM_SPEC spec("arch", PM_BINDING_SUPPORTED_ONLY);

  const std::vector<std::pair<const char*, std::string>> expected = {
      {"a", "tpa:route"}, {"b", "tpb:place"}, {"c", "tpc:route"}, {"d", "tpd:place"}};
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      PM_DLM dlm(&spec);
      for (std::size_t i = 0; i < 40; ++i) {
        // Half the threads start on the same library, the others spread over all of them.
        const auto& [function, answer] = expected[(t % 2 == 0 ? i : i + t) % expected.size()];
        if (Call(dlm.get_ventrypoint(function, nullptr)) != answer) ++mismatches;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(0, mismatches.load());
  EXPECT_EQ((std::vector<std::string>{"tpa", "tpb", "tpc", "tpd"}),
            PM_DLMMGR::Instance().getnames());
  const boost::shared_ptr<PM_LIBENT> first = PM_DLMMGR::Instance().findlibent("tpb");
  EXPECT_EQ(first, PM_DLMMGR::Instance().getlibent("tpb", &spec));
}
