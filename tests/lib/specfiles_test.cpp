// Help files, executables, shared libraries and every copy of a data file: search order,
// language and version fallbacks, unchecked answers, override messages and interned results.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pmlib/pmspec.h"
#include "pmport/port_env.h"
#include "pmtest.h"
#include "spine_fixture.h"
#include "../../s/baspmspec.h"

using Port::MsgKind;
using spinetest::Definition;
using spinetest::Root;

namespace {

std::string OverrideText(const std::string& used, const std::string& inLast) {
  return "PMSPEC: " + used + " overrides " + inLast + "\n";
}

std::string Platform() { return Port_Env::GetPlatformPath(); }

// "<pm>/help/<platform>/<language>/" for a module, "help/<platform>/<language>/" for none.
std::string HelpDir(const std::string& pm, const std::string& language) {
  return (pm.empty() ? "" : pm + "/") + "help/" + Platform() + "/" + language + "/";
}

std::string BinDir(const std::string& pm) {
  return (pm.empty() ? "" : pm + "/") + "bin/" + Platform() + "/";
}

std::string LibDir(const std::string& module) {
  return (module.empty() ? "" : module + "/") + "lib/" + Platform() + "/";
}

std::string Text(const char* path) { return path ? path : "(null)"; }

}  // namespace

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

  const auto help = [&spec](const char* name) { return Text(spec.gethelpfilename(1, name, 1, -1)); };
  EXPECT_EQ("(null)", help("topic.hlp"));
  root.File("help/topic.hlp", "common");
  EXPECT_EQ(root.path() + "/help/topic.hlp", help("topic.hlp"));
  root.File(HelpDir("gamma", "usenglish") + "topic.hlp", "english");
  EXPECT_EQ(root.path() + "/" + HelpDir("gamma", "usenglish") + "topic.hlp", help("topic.hlp"));
  root.File("alpha/help/topic.hlp", "friend, no platform or language folder");
  EXPECT_EQ(root.path() + "/alpha/help/topic.hlp", help("topic.hlp"));
  root.File("beta/help/topic.hlp", "nearer friend");
  EXPECT_EQ(root.path() + "/beta/help/topic.hlp", help("topic.hlp"));
  root.File(HelpDir("gamma", "german") + "topic.hlp", "own language");
  EXPECT_EQ(root.path() + "/" + HelpDir("gamma", "german") + "topic.hlp", help("topic.hlp"));

  // An extension name is completed by the module's name; a friend's own folder by index.
  root.File(HelpDir("gamma", "german") + "gamma.hlp", "");
  EXPECT_EQ(root.path() + "/" + HelpDir("gamma", "german") + "gamma.hlp", help(".hlp"));
  root.File(HelpDir("beta", "german") + "only.hlp", "");
  EXPECT_EQ(root.path() + "/" + HelpDir("beta", "german") + "only.hlp",
            Text(spec.gethelpfilename(1, "only.hlp", 1, 0)));
  EXPECT_TRUE(capture.messages().empty());
}

TEST(HelpFile, FriendOfTheAskedIndexIsSkippedAndLevelZeroUsesTheCommonFolders) {
  Root root;
  root.Module("beta", Definition("beta", "alpha"));
  root.Module("alpha", Definition("alpha"));
  root.File("alpha/help/topic.hlp", "");
  root.File(HelpDir("", "usenglish") + "topic.hlp", "");
  spinetest::Install({&root});
  PM_SPEC spec("beta", PM_BINDING_SUPPORTED_ONLY);

  EXPECT_EQ(root.path() + "/alpha/help/topic.hlp", Text(spec.gethelpfilename(1, "topic.hlp", 1, -1)));
  // Asked for friend 0 (alpha) itself: its plain help folder is not a fallback then.
  EXPECT_EQ("(null)", Text(spec.gethelpfilename(1, "topic.hlp", 1, 0)));
  // Level 0: the installation's own help/<platform>/<language>/ folder, no friends.
  EXPECT_EQ(root.path() + "/" + HelpDir("", "usenglish") + "topic.hlp",
            Text(spec.gethelpfilename(0, "topic.hlp", 1, -1)));
  EXPECT_EQ("(null)", Text(spec.gethelpfilename(1, "topic.hlp", 1, 5)));
}

TEST(HelpFile, UncheckedAnswerLiesInTheLastEntryAndOverridesAreReported) {
  Root overlay;
  Root base;
  base.Module("alpha", Definition("alpha"));
  const std::string relative = HelpDir("alpha", "usenglish") + "topic.hlp";
  spinetest::Install({&overlay, &base});
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  pmtest::MessageCapture capture;

  const char* unchecked = spec.gethelpfilename(1, "topic.hlp", 0, -1);
  EXPECT_EQ(base.path() + "/" + relative, Text(unchecked));
  EXPECT_EQ(unchecked, spec.gethelpfilename(1, "topic.hlp", 0, -1));  // interned

  overlay.File(relative, "");
  EXPECT_EQ(overlay.path() + "/" + relative, Text(spec.gethelpfilename(1, "topic.hlp", 1, -1)));
  EXPECT_EQ(std::vector<std::string>{OverrideText(overlay.path() + "/" + relative,
                                                  base.path() + "/" + relative)},
            capture.texts(MsgKind::Warning));
}

TEST(ExecFile, AppendsExeAndSearchesOwnFriendsAndCommonFolders) {
  Root overlay;
  Root base;
  base.Module("beta", Definition("beta", "alpha"));
  base.Module("alpha", Definition("alpha"));
  spinetest::Install({&overlay, &base});
  PM_SPEC spec("beta", PM_BINDING_SUPPORTED_ONLY);
  pmtest::MessageCapture capture;

  EXPECT_EQ(base.path() + "/" + BinDir("beta") + "map.exe", Text(spec.getexecfilename(1, "map", 0)));
  EXPECT_EQ("(null)", Text(spec.getexecfilename(1, "map", 1)));
  overlay.File(BinDir("") + "map.exe", "");
  EXPECT_EQ(overlay.path() + "/" + BinDir("") + "map.exe", Text(spec.getexecfilename(1, "map", 1)));
  overlay.File(BinDir("alpha") + "map.exe", "");
  EXPECT_EQ(overlay.path() + "/" + BinDir("alpha") + "map.exe",
            Text(spec.getexecfilename(1, "map", 1)));
  EXPECT_TRUE(capture.messages().empty()) << "no override message for friends or the common folder";

  // Level 0 looks only in the common folder, without fallbacks.
  base.File(BinDir("") + "tool.exe", "");
  EXPECT_EQ(base.path() + "/" + BinDir("") + "tool.exe", Text(spec.getexecfilename(0, "tool", 1)));
  base.File(BinDir("alpha") + "other.exe", "");
  EXPECT_EQ("(null)", Text(spec.getexecfilename(0, "other", 1)));

  overlay.File(BinDir("beta") + "map.exe", "");
  EXPECT_EQ(overlay.path() + "/" + BinDir("beta") + "map.exe", Text(spec.getexecfilename(1, "map", 1)));
  EXPECT_EQ(std::vector<std::string>{OverrideText(overlay.path() + "/" + BinDir("beta") + "map.exe",
                                                  base.path() + "/" + BinDir("beta") + "map.exe")},
            capture.texts(MsgKind::Warning));
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
  base.File(LibDir("") + "libarch.so", "");
  EXPECT_EQ(base.path() + "/" + LibDir("") + "libarch.so", Text(spec.getdllfilename("arch")));
  base.File("data/unsupported/" + LibDir("legacy") + "libarch.so", "");
  EXPECT_EQ(base.path() + "/data/unsupported/" + LibDir("legacy") + "libarch.so",
            Text(spec.getdllfilename("arch")));
  overlay.File(LibDir("beta") + "libarch.so", "");
  const char* own = spec.getdllfilename("arch");
  EXPECT_EQ(overlay.path() + "/" + LibDir("beta") + "libarch.so", Text(own));
  EXPECT_EQ(own, spec.getdllfilename("arch"));
  EXPECT_TRUE(capture.messages().empty());
}

TEST(DllFile, UnsupportedModuleLooksUnderItsUnsupportedFolder) {
  Root root;
  root.UnsupportedModule("legacy", Definition("legacy"));
  root.File("data/unsupported/" + LibDir("legacy") + "libold.so", "");
  spinetest::Install({&root});
  PM_SPEC spec("legacy", PM_BINDING_ALLOW_UNSUPPORTED);
  ASSERT_EQ(1, spec.isunsupported());
  EXPECT_EQ(root.path() + "/data/unsupported/" + LibDir("legacy") + "libold.so",
            Text(spec.getdllfilename("old")));
}

TEST(VersionedFile, PicksTheHighestMajorMinorAndNeedsBoth) {
  pmtest::TempDir dir;
  const auto resolve = [&dir](const std::string& pattern) {
    Port::String path = dir / pattern;
    return ResolveVersionedFile(path) ? path.str().substr(dir.path().length() + 1) : "(none)";
  };
  pmtest::WriteFile(dir / "a/libx.so.1.2", "");
  pmtest::WriteFile(dir / "a/libx.so.1.10", "");  // listed first, picked
  EXPECT_EQ("a/libx.so.1.10", resolve("a/libx.so.*"));
  pmtest::WriteFile(dir / "b/libx.so.1.1", "");
  pmtest::WriteFile(dir / "b/libx.so.1.2", "");  // listed last, picked
  EXPECT_EQ("b/libx.so.1.2", resolve("b/libx.so.*"));
  pmtest::WriteFile(dir / "c/libx.so.7", "");  // no minor
  EXPECT_EQ("(none)", resolve("c/libx.so.*"));
  pmtest::WriteFile(dir / "d/libx.so.2.1.4", "");  // further parts after the minor
  EXPECT_EQ("d/libx.so.2.1.4", resolve("d/libx.so.*"));
  EXPECT_EQ("(none)", resolve("nosuch/libx.so.*"));
  // Without "*" only existence counts.
  EXPECT_EQ("c/libx.so.7", resolve("c/libx.so.7"));
  EXPECT_EQ("(none)", resolve("c/libx.so"));
}

TEST(DataFiles, ListsEveryExistingCopyInSearchOrder) {
  Root overlay;
  Root base;
  base.Module("gamma", Definition("gamma", "beta"));
  base.Module("beta", Definition("beta", "alpha"));
  base.Module("alpha", Definition("alpha"));
  base.File("data/gamma.nph", "");
  base.File("gamma/data/gamma.nph", "");
  base.File("alpha/data/gamma.nph", "");
  overlay.File("alpha/data/gamma.nph", "");
  base.File("beta/data/other", "");
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
