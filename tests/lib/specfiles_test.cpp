// Data files, help files, executables, shared libraries and every copy of a data file: search
// order, language and version fallbacks, unchecked answers, override messages, interned results.
#include <cstdlib>
#include <utility>

#include "baspmspec.h"
#include "pmport/port_env.h"
#include "spine_fixture.h"

using namespace spinetest;

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

// "[<pm>/]<kind>/<platform>/", the module's (or with no module the installation's) folder.
std::string PlatformDir(const std::string& pm, const std::string& kind) {
  return (pm.empty() ? "" : pm + "/") + kind + "/" + Port_Env::GetPlatformPath() + "/";
}

std::string HelpDir(const std::string& pm, const std::string& language) {
  return PlatformDir(pm, "help") + language + "/";
}

std::string Text(const char* path) { return path ? path : "(null)"; }

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
  EXPECT_THAT(capture.of(MsgKind::Warning),
              ElementsAre(Overrides(install.overlay.DataFile("alpha", "alpha.nph"),
                                    install.base.DataFile("alpha", "alpha.nph"))));

  // An empty installation finds nothing.
  Port::KorvanPath::Set({});
  PM_SPEC none(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  EXPECT_TRUE(none.GetDatafileName(0, "patternfile", true, -1).empty());
  EXPECT_TRUE(none.GetDatafileName(0, "patternfile", false, -1).empty());
  EXPECT_EQ(nullptr, none.getdatafilename(1, ".acd", 1, -1));
}

TEST(HelpFile, SearchesLanguageFriendsEnglishAndCommonFoldersInOrder) {
  setenv("KORVAN_LANG", "german", 1);
  Root root;
  root.Module("gamma", Definition("gamma", "beta"));
  root.Module("beta", Definition("beta", "alpha"));
  root.Module("alpha", Definition("alpha"));
  spinetest::Install({&root});
  PM_SPEC spec("gamma", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_EQ(2, spec.get_num_friends());
  pmtest::MessageCapture capture;
  const auto help = [&spec](const char* name, int index = -1, char level = 1) {
    return Text(spec.gethelpfilename(level, name, 1, index));
  };
  const auto at = [&root](const std::string& relative) { return root.path() + "/" + relative; };

  EXPECT_EQ("(null)", help("topic.hlp"));
  // Each copy is nearer than the ones before: the common folder, the English copy, a friend's
  // folder without platform or language, a nearer friend's, then the module's own language.
  for (const std::string& relative :
       {std::string("help/topic.hlp"), HelpDir("gamma", "usenglish") + "topic.hlp",
        std::string("alpha/help/topic.hlp"), std::string("beta/help/topic.hlp"),
        HelpDir("gamma", "german") + "topic.hlp"}) {
    root.File(relative, "");
    EXPECT_EQ(at(relative), help("topic.hlp"));
  }
  // An extension name is completed by the module's name; a friend's own folder by index.
  root.File(HelpDir("gamma", "german") + "gamma.hlp", "");
  EXPECT_EQ(at(HelpDir("gamma", "german") + "gamma.hlp"), help(".hlp"));
  root.File(HelpDir("beta", "german") + "only.hlp", "");
  EXPECT_EQ(at(HelpDir("beta", "german") + "only.hlp"), help("only.hlp", 0));
  // Asked for friend 0 (beta) itself: its plain help folder is not a fallback then.
  root.File("beta/help/plain.hlp", "");
  EXPECT_EQ(at("beta/help/plain.hlp"), help("plain.hlp"));
  EXPECT_EQ("(null)", help("plain.hlp", 0));
  EXPECT_EQ("(null)", help("topic.hlp", 5));
  // Level 0: the installation's own help/<platform>/<language>/ folder, no friends.
  root.File(HelpDir("", "german") + "common.hlp", "");
  EXPECT_EQ(at(HelpDir("", "german") + "common.hlp"), help("common.hlp", -1, 0));
  EXPECT_EQ("(null)", help("plain.hlp", -1, 0));
  EXPECT_TRUE(capture.messages().empty());
}

TEST(OverlaidFiles, UncheckedAnswersLieInTheLastEntryAndOverridesAreReported) {
  Root overlay;
  Root base;
  base.Module("beta", Definition("beta", "alpha"));
  base.Module("alpha", Definition("alpha"));
  spinetest::Install({&overlay, &base});
  PM_SPEC spec("beta", PM_BINDING_SUPPORTED_ONLY);
  pmtest::MessageCapture capture;

  const std::string help = HelpDir("beta", "usenglish") + "topic.hlp";
  const char* unchecked = spec.gethelpfilename(1, "topic.hlp", 0, -1);
  EXPECT_EQ(base.path() + "/" + help, Text(unchecked));
  EXPECT_EQ(unchecked, spec.gethelpfilename(1, "topic.hlp", 0, -1));  // interned
  overlay.File(help, "");
  EXPECT_EQ(overlay.path() + "/" + help, Text(spec.gethelpfilename(1, "topic.hlp", 1, -1)));
  EXPECT_THAT(capture.of(MsgKind::Warning),
              ElementsAre(Overrides(overlay.path() + "/" + help, base.path() + "/" + help)));

  // Executables: ".exe" appended; the own folder, the friends' and the common one.
  capture.clear();
  const auto exec = [&spec](char level, const char* name, bool search) {
    return Text(spec.getexecfilename(level, name, search));
  };
  EXPECT_EQ(base.path() + "/" + PlatformDir("beta", "bin") + "map.exe", exec(1, "map", false));
  EXPECT_EQ("(null)", exec(1, "map", true));
  for (const std::string& relative : {PlatformDir("", "bin"), PlatformDir("alpha", "bin")}) {
    overlay.File(relative + "map.exe", "");
    EXPECT_EQ(overlay.path() + "/" + relative + "map.exe", exec(1, "map", true));
  }
  EXPECT_TRUE(capture.messages().empty()) << "no override message for friends or the common folder";
  // Level 0 looks only in the common folder, without fallbacks.
  base.File(PlatformDir("", "bin") + "tool.exe", "");
  EXPECT_EQ(base.path() + "/" + PlatformDir("", "bin") + "tool.exe", exec(0, "tool", true));
  base.File(PlatformDir("alpha", "bin") + "other.exe", "");
  EXPECT_EQ("(null)", exec(0, "other", true));
  const std::string own = PlatformDir("beta", "bin") + "map.exe";
  overlay.File(own, "");
  EXPECT_EQ(overlay.path() + "/" + own, exec(1, "map", true));
  EXPECT_THAT(capture.of(MsgKind::Warning),
              ElementsAre(Overrides(overlay.path() + "/" + own, base.path() + "/" + own)));
}

TEST(DllFile, SearchesOwnFriendsWithTheirPrefixAndCommonFoldersSilently) {
  Root overlay;
  Root base;
  base.Module("beta", Definition("beta", "legacy"));
  base.UnsupportedModule("legacy", Definition("legacy"));
  spinetest::Install({&overlay, &base});
  pm_specmgr.InitUnsuppPMsOnce();
  PM_SPEC spec("beta", PM_BINDING_ALLOW_UNSUPPORTED);
  ASSERT_EQ(1, spec.get_num_friends());
  pmtest::MessageCapture capture;

  EXPECT_EQ("(null)", Text(spec.getdllfilename("arch")));
  // Each copy is nearer than the ones before: the common folder, the friend's, the own one.
  for (const auto& [root, relative] : std::vector<std::pair<const Root*, std::string>>{
           {&base, PlatformDir("", "lib")},
           {&base, "data/unsupported/" + PlatformDir("legacy", "lib")},
           {&overlay, PlatformDir("beta", "lib")}}) {
    root->File(relative + "libarch.so", "");
    EXPECT_EQ(root->path() + "/" + relative + "libarch.so", Text(spec.getdllfilename("arch")));
  }
  EXPECT_EQ(spec.getdllfilename("arch"), spec.getdllfilename("arch"));  // interned
  EXPECT_TRUE(capture.messages().empty());

  // An unsupported module looks under its unsupported folder.
  const std::string old = "data/unsupported/" + PlatformDir("legacy", "lib") + "libold.so";
  base.File(old, "");
  PM_SPEC legacy("legacy", PM_BINDING_ALLOW_UNSUPPORTED);
  ASSERT_EQ(1, legacy.isunsupported());
  EXPECT_EQ(base.path() + "/" + old, Text(legacy.getdllfilename("old")));
}

TEST(VersionedFile, PicksTheHighestMajorMinorAndNeedsBoth) {
  pmtest::TempDir dir;
  for (const char* file : {"a/libx.so.1.2", "a/libx.so.1.10", "b/libx.so.1.1", "b/libx.so.1.2",
                           "c/libx.so.7", "d/libx.so.2.1.4"}) {
    pmtest::WriteFile(dir / file, "");
  }
  const std::vector<std::pair<const char*, const char*>> cases = {
      // The highest by number, whether a directory listing gives it first or last.
      {"a/libx.so.*", "a/libx.so.1.10"},
      {"b/libx.so.*", "b/libx.so.1.2"},
      {"c/libx.so.*", "(none)"},           // no minor
      {"d/libx.so.*", "d/libx.so.2.1.4"},  // further parts after the minor
      {"nosuch/libx.so.*", "(none)"},
      // Without "*" only existence counts.
      {"c/libx.so.7", "c/libx.so.7"},
      {"c/libx.so", "(none)"},
  };
  for (const auto& [pattern, expected] : cases) {
    Port::String path = dir / pattern;
    const bool resolved = ResolveVersionedFile(path);
    EXPECT_EQ(expected, resolved ? path.str().substr(dir.path().length() + 1) : "(none)")
        << pattern;
  }
}

TEST(DataFiles, ListsEveryExistingCopyInSearchOrder) {
  Root overlay;
  Root base;
  base.Module("gamma", Definition("gamma", "beta"));
  base.Module("beta", Definition("beta", "alpha"));
  base.Module("alpha", Definition("alpha"));
  for (const char* file :
       {"data/gamma.nph", "gamma/data/gamma.nph", "alpha/data/gamma.nph", "beta/data/other"}) {
    base.File(file, "");
  }
  overlay.File("alpha/data/gamma.nph", "");
  spinetest::Install({&overlay, &base});
  PM_SPEC spec("gamma", PM_BINDING_SUPPORTED_ONLY);

  const std::vector<Port::String> expected = {base.DataFile("gamma", "gamma.nph"),
                                              overlay.DataFile("alpha", "gamma.nph"),
                                              base.path() + "/data/gamma.nph"};
  EXPECT_EQ(expected, *spec.getdatafiles(".nph"));
  EXPECT_EQ(std::vector<Port::String>{base.DataFile("beta", "other")}, *spec.getdatafiles("other"));
  EXPECT_TRUE(spec.getdatafiles("nothing")->empty());
  // Without a module the module's folder is the common one: one copy.
  PM_SPEC empty(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  EXPECT_EQ(std::vector<Port::String>{base.path() + "/data/gamma.nph"},
            *empty.getdatafiles("gamma.nph"));
}
