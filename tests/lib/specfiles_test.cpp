// Data files, help files, executables, shared libraries and every copy of a data file: search
// order, language and version fallbacks, unchecked answers, override messages, interned results.
#include <tuple>

#include "baspmspec.h"
#include "spine_fixture.h"

using namespace spinetest;

namespace {

// gamma, beta and alpha, each the friend of the one before, in a base root under an overlay root.
struct Overlaid {
  Overlaid() {
    base.Module("gamma", Definition("gamma", "beta"));
    base.Module("beta", Definition("beta", "alpha"));
    base.Module("alpha", Definition("alpha"));
    spinetest::Install({&overlay, &base});
  }
  Root overlay;
  Root base;
};

std::string HelpDir(const std::string& pm, const std::string& language) {
  return PlatformDir(pm, "help") + language + "/";
}

}  // namespace

TEST(DataFile, FallbacksInOrderUncheckedAnswersInternedResultsAndOverridesReportedOnce) {
  const Overlaid install;
  const Root& base = install.base;
  PM_SPEC spec("beta", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_EQ(1, spec.get_num_friends());
  const auto found = [&spec](const char* name, int index = -1, char level = 1) {
    return spec.GetDatafileName(level, name, true, index).str();
  };
  EXPECT_EQ(nullptr, spec.getdatafilename(1, ".nph", 1, -1));
  // Without search the first entry is answered unchecked.
  EXPECT_EQ(install.overlay.DataFile("beta", "beta.nph"),
            spec.GetDatafileName(1, ".nph", false, -1).str());
  EXPECT_EQ(install.overlay.path() + "/data/x.txt",
            spec.GetDatafileName(0, "x.txt", false, -1).str());
  // Each copy is nearer than the ones before: the common folder, the friend's, the own folder
  // under the name as given, then under the module's name.
  for (const std::string& file :
       {base.path() + "/data/beta.nph", base.DataFile("alpha", ".nph"),
        base.DataFile("beta", ".nph"), base.DataFile("beta", "beta.nph")}) {
    pmtest::WriteFile(file, "");
    EXPECT_EQ(file, found(".nph"));
  }

  // Plain names are looked up under the same name everywhere.
  const std::string common = base.File("data/patternfile");
  EXPECT_EQ(common + common, found("patternfile") + found("patternfile", -1, 0));
  const std::string friendCopy = base.File("alpha/data/patternfile");
  EXPECT_EQ(friendCopy + friendCopy, found("patternfile") + found("patternfile", 0));
  // The own folder only (-2) looks neither at friends nor at the common folder.
  base.File("alpha/data/beta.own");
  base.File("data/beta.own");
  EXPECT_EQ("", found(".own", -2));
  EXPECT_EQ(base.DataFile("beta", "beta.acd"), found(".acd", -2));
  // A friend's folder is searched under the name given; an extension name stands for the
  // module's own name there too.
  EXPECT_EQ(base.DataFile("alpha", "alpha.acd"), found("alpha.acd", 0));
  EXPECT_EQ("", found(".acd", 0) + found("alpha.acd", 1));  // no second friend

  // The overlay's copy hides the base's, reported once; a copy in the base alone is silent.
  const std::string only = base.File("beta/data/only.txt");
  const std::string used = install.overlay.File("beta/data/beta.nph");
  pmtest::MessageCapture capture;
  char* first = spec.getdatafilename(1, ".nph", 1, -1);
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(first, spec.getdatafilename(1, "beta.nph", 1, -1));
  EXPECT_EQ(used, first);
  EXPECT_EQ(only, found("only.txt"));
  EXPECT_THAT(capture.of(MsgKind::Warning),
              ElementsAre(Overrides(used, base.DataFile("beta", "beta.nph"))));

  // An empty installation finds nothing.
  Port::KorvanPath::Set({});
  PM_SPEC none(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  EXPECT_EQ("", none.GetDatafileName(0, "patternfile", true, -1).str() +
                    none.GetDatafileName(0, "patternfile", false, -1).str());
  EXPECT_EQ(nullptr, none.getdatafilename(1, ".acd", 1, -1));
}

TEST(HelpFile, SearchesLanguageFriendsEnglishAndCommonFoldersInOrder) {
  setenv("KORVAN_LANG", "german", 1);
  const Overlaid install;
  PM_SPEC spec("gamma", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_EQ(2, spec.get_num_friends());
  pmtest::MessageCapture capture;
  // Each row writes a file (none for ""), then looks a name up by friend index and level: found
  // in that file, or not at all.
  const std::tuple<std::string, const char*, int, char, bool> rows[] = {
      {"", "topic.hlp", -1, 1, false},
      // Each copy is nearer than the ones before: the common folder, the English copy, a
      // friend's folder without platform or language, a nearer friend's, then the own language.
      {"help/topic.hlp", "topic.hlp", -1, 1, true},
      {HelpDir("gamma", "usenglish") + "topic.hlp", "topic.hlp", -1, 1, true},
      {"alpha/help/topic.hlp", "topic.hlp", -1, 1, true},
      {"beta/help/topic.hlp", "topic.hlp", -1, 1, true},
      {HelpDir("gamma", "german") + "topic.hlp", "topic.hlp", -1, 1, true},
      // An extension name is completed by the module's name; a friend's own folder by index.
      {HelpDir("gamma", "german") + "gamma.hlp", ".hlp", -1, 1, true},
      {HelpDir("beta", "german") + "only.hlp", "only.hlp", 0, 1, true},
      // Asked for friend 0 (beta) itself: its plain help folder is not a fallback then.
      {"beta/help/plain.hlp", "plain.hlp", -1, 1, true},
      {"", "plain.hlp", 0, 1, false},
      {"", "topic.hlp", 5, 1, false},
      // Level 0: the installation's own help/<platform>/<language>/ folder, no friends.
      {HelpDir("", "german") + "common.hlp", "common.hlp", -1, 0, true},
      {"", "plain.hlp", -1, 0, false}};
  for (const auto& [relative, name, index, level, found] : rows) {
    const std::string placed = relative.empty() ? "" : install.base.File(relative);
    EXPECT_EQ(found ? placed : "(null)", Text(spec.gethelpfilename(level, name, 1, index)))
        << name << " " << index;
  }
  EXPECT_TRUE(capture.messages().empty());
}

TEST(OverlaidFiles, UncheckedAnswersLieInTheLastEntryOverridesAreReportedEveryCopyListed) {
  std::string placed;  // written before it is looked up
  const Overlaid install;
  const Root& overlay = install.overlay;
  const Root& base = install.base;
  PM_SPEC spec("beta", PM_BINDING_SUPPORTED_ONLY);
  pmtest::MessageCapture capture;

  const std::string help = HelpDir("beta", "usenglish") + "topic.hlp";
  const char* unchecked = spec.gethelpfilename(1, "topic.hlp", 0, -1);
  EXPECT_EQ(base.path() + "/" + help, Text(unchecked));
  EXPECT_EQ(unchecked, spec.gethelpfilename(1, "topic.hlp", 0, -1));  // interned
  placed = overlay.File(help);
  EXPECT_EQ(placed, Text(spec.gethelpfilename(1, "topic.hlp", 1, -1)));
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
    placed = overlay.File(relative + "map.exe");
    EXPECT_EQ(placed, exec(1, "map", true));
  }
  // Level 0 looks only in the common folder, without fallbacks.
  placed = base.File(PlatformDir("", "bin") + "tool.exe");
  EXPECT_EQ(placed, exec(0, "tool", true));
  base.File(PlatformDir("alpha", "bin") + "other.exe");
  EXPECT_EQ("(null)", exec(0, "other", true));
  // The one override reported is the own folder's: none for friends or the common folder.
  const std::string own = PlatformDir("beta", "bin") + "map.exe";
  placed = overlay.File(own);
  EXPECT_EQ(placed, exec(1, "map", true));
  EXPECT_THAT(capture.of(MsgKind::Warning),
              ElementsAre(Overrides(overlay.path() + "/" + own, base.path() + "/" + own)));

  // Every copy of a data file, in search order; without a module the module's folder is the
  // common one: one copy.
  const Port::String common = base.File("data/gamma.nph");
  const Port::String gammas = base.File("gamma/data/gamma.nph");
  base.File("alpha/data/gamma.nph");
  const Port::String other = base.File("beta/data/other");
  const Port::String overlaid = overlay.File("alpha/data/gamma.nph");
  PM_SPEC gamma("gamma", PM_BINDING_SUPPORTED_ONLY);
  using Paths = std::vector<Port::String>;
  EXPECT_EQ(
      (std::vector<Paths>{{gammas, overlaid, common}, {other}, {}, {common}}),
      (std::vector<Paths>{
          *gamma.getdatafiles(".nph"), *gamma.getdatafiles("other"), *gamma.getdatafiles("nothing"),
          *PM_SPEC(nullptr, PM_BINDING_FROM_ENVIRONMENT).getdatafiles("gamma.nph")}));
}

TEST(DllFile, SearchesOwnFriendsWithTheirPrefixAndCommonFoldersSilently) {
  std::string placed;  // written before it is looked up
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
    placed = root->File(relative + "libarch.so");
    EXPECT_EQ(placed, Text(spec.getdllfilename("arch")));
  }
  EXPECT_EQ(spec.getdllfilename("arch"), spec.getdllfilename("arch"));  // interned
  EXPECT_TRUE(capture.messages().empty());

  // An unsupported module looks under its unsupported folder.
  const std::string old =
      base.File("data/unsupported/" + PlatformDir("legacy", "lib") + "libold.so");
  EXPECT_EQ(old, Text(PM_SPEC("legacy", PM_BINDING_ALLOW_UNSUPPORTED).getdllfilename("old")));
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
