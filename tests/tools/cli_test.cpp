// pmtool's command line: help texts, usage errors, the version and the installation in use.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "command.h"
#include "pmtest.h"
#include "pmtool_runner.h"

namespace {

using pmtooltest::Args;
using pmtooltest::Contains;
using pmtooltest::ExpectRuns;
using pmtooltest::RunPmtool;

// Every subcommand of pmtool's command table: the family, then the command's name if it has one.
std::vector<Args> TableCommands() {
  std::vector<Args> commands;
  for (const pmtool::Family* family : pmtool::Families()) {
    for (const pmtool::Command& command : family->commands) {
      commands.push_back({family->name});
      if (*command.name) commands.back().push_back(command.name);
    }
  }
  return commands;
}

// "pmtool" and `words`, joined by spaces.
std::string Joined(const Args& words) {
  std::string text = "pmtool";
  for (const std::string& word : words) text += " " + word;
  return text;
}

// `words` with `first` before them and `last` after them, each unless empty.
Args With(const std::string& first, Args words, const std::string& last = "") {
  if (!first.empty()) words.insert(words.begin(), first);
  if (!last.empty()) words.push_back(last);
  return words;
}

TEST(PmtoolHelp, EveryCommandHasHelpWithUsageExamplesAndExitStatus) {
  for (const Args& command : TableCommands()) {
    const auto help = RunPmtool(With("", command, "--help"));
    EXPECT_EQ(help.status, 0) << Joined(command);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("Usage: " + Joined(command) + " ", 0), 0u) << help.out;
    EXPECT_TRUE(Contains(help.out, "Examples:\n  " + Joined(command))) << help.out;
    EXPECT_TRUE(Contains(help.out, "Exit status:\n  0  ")) << help.out;
    EXPECT_TRUE(Contains(help.out, "  2  the command line is wrong\n")) << help.out;
    // The same text through the help command and the global option.
    EXPECT_EQ(RunPmtool(With("help", command)).out, help.out);
    EXPECT_EQ(RunPmtool(With("--help", command)).out, help.out);
  }
}

TEST(PmtoolHelp, OverviewListsEveryCommandAndFamiliesListTheirOwn) {
  const auto overview = RunPmtool({"help"});
  EXPECT_EQ(overview.status, 0);
  EXPECT_EQ(RunPmtool({"--help"}).out, overview.out);
  for (const Args& command : TableCommands()) {
    EXPECT_TRUE(Contains(overview.out, "\n  " + Joined(command).substr(7) + " ")) << overview.out;
  }
  const auto family = RunPmtool({"seg", "--help"});
  EXPECT_EQ(family.status, 0);
  EXPECT_TRUE(Contains(family.out, "pmtool seg write FILE NAME[:TYPE]...")) << family.out;
  EXPECT_FALSE(Contains(family.out, "acd get"));
  EXPECT_EQ(RunPmtool({"help", "seg"}).out, family.out);
}

TEST(PmtoolHelp, HelpIsACommandWithItsOwnHelp) {
  const auto help = RunPmtool({"help", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: pmtool help [COMMAND [SUBCOMMAND]]\n", 0), 0u) << help.out;
  EXPECT_EQ(RunPmtool({"help", "help"}).out, help.out);
  EXPECT_EQ(RunPmtool({"--help", "help"}).out, help.out);
}

// Global options stand before or after the command; a --json before it is the command's.
TEST(PmtoolUsage, GlobalOptionsGoBeforeOrAfterTheCommand) {
  const auto after = RunPmtool({"archs", "--install", PMTOOL_BUILD_SAMPLE, "--json"});
  EXPECT_EQ(after.status, 0) << after.err;
  EXPECT_EQ(after.out.rfind("{\n  \"archs\": [", 0), 0u) << after.out;
  EXPECT_EQ(RunPmtool({"--json", "archs"}).out, after.out);
  EXPECT_EQ(RunPmtool({"--json", "seg", "write", "x.spd", "a"}).status, 2);
  // After "--", --install is an argument.
  EXPECT_EQ(RunPmtool({"acd", "get", "--", "--install", "K"}).status, 1);
}

TEST(PmtoolUsage, MissingCommandsGiveStatus2WithTheirHelpOnStandardError) {
  const auto nothing = RunPmtool({});
  EXPECT_EQ(nothing.status, 2);
  EXPECT_EQ(nothing.out, "");
  EXPECT_EQ(nothing.err, RunPmtool({"help"}).out);
  const auto family = RunPmtool({"acd"});
  EXPECT_EQ(family.status, 2);
  EXPECT_EQ(family.err, RunPmtool({"acd", "--help"}).out);
}

TEST(PmtoolUsage, UnknownCommandsOptionsAndArgumentCountsGiveStatus2NamingTheProblem) {
  ExpectRuns({
      {{"frobnicate", "x"}, 2, "",
       "pmtool: unknown command \"frobnicate\"\nRun 'pmtool --help' for usage.\n"},
      {{"archz"}, 2, "", "...pmtool: unknown command \"archz\"; did you mean \"archs\"?\n"},
      {{"acd", "gett"}, 2, "", "...unknown command \"gett\" in pmtool acd; did you mean \"get\"?"},
      {{"seg", "dump", "--brief", "x.spd"}, 2, "",
       "pmtool seg dump: unknown option \"--brief\"\n"
       "Run 'pmtool seg dump --help' for usage.\n"},
      // seg write has no --json
      {{"seg", "write", "x.spd", "--json", "a"}, 2, "", "..."},
      {{"--bogus", "seg", "dump", "x"}, 2, "", "..."},
      {{"--install"}, 2, "", "..."},
      {{"acd", "get", "file.acd"}, 2, "",
       "...missing arguments; usage: pmtool acd get [OPTIONS] FILE KEY"},
      {{"acd", "get", "f", "K", "0", "1", "2"}, 2, "", "...too many arguments"},
  });
}

// The second line of --version: "installation: DIRS (SOURCE)".
std::string InstallationLine(const Args& args, const std::string& program = PMTOOL_PATH) {
  const auto version = RunPmtool(args, program);
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_EQ(version.out.rfind("pmtool ", 0), 0u);
  const std::size_t start = version.out.find('\n') + 1;
  return version.out.substr(start, version.out.size() - start - 1);
}

TEST(PmtoolInstallation, WithoutKorvanPathTheBuildTreeSampleIsUsed) {
  const std::string bundled =
      std::string("installation: ") + PMTOOL_BUILD_SAMPLE + " (bundled sample)";
  unsetenv("KORVAN_PATH");
  EXPECT_EQ(InstallationLine({"--version"}), bundled);
  setenv("KORVAN_PATH", "", 1);
  EXPECT_EQ(InstallationLine({"--version"}), bundled);
  // Nothing but separators names no folder either.
  setenv("KORVAN_PATH", "::", 1);
  EXPECT_EQ(InstallationLine({"--version"}), bundled);
}

// An --install that names no folder is a mistake on the command line; an entry that is no
// folder is warned about by every command but check, which reports it as a finding.
TEST(PmtoolInstallation, EmptyInstallOptionIsAUsageErrorAndEntriesThatAreNoFolderAreWarned) {
  const pmtest::TempDir dir;
  pmtest::WriteFile(dir / "file", "");
  const std::string usage = "pmtool: --install \"\" names no installation folder\n"
                            "Run 'pmtool --help' for usage.\n";
  ExpectRuns({
      {{"--install", "", "modules"}, 2, "", usage},
      {{"--install", ":", "check"}, 2, "", "pmtool: --install \":\" names no installation folder\n"
                                           "Run 'pmtool --help' for usage.\n"},
  });
  const std::string missing = dir / "none";
  ExpectRuns({{{"archs"}, 0, "...Korvan:alpha\n",
               "pmtool archs: warning: " + missing +
                   ": the installation entry does not exist; correct it in --install\n"
                   "pmtool archs: warning: " + dir / "file" +
                   ": the installation entry is not a folder; correct it in --install\n"}},
             missing + ":" + dir / "file" + ":" + pmtooltest::kSample);
  setenv("KORVAN_PATH", missing.c_str(), 1);
  const auto modules = RunPmtool({"modules"});
  EXPECT_EQ(modules.status, 0);
  EXPECT_EQ(modules.err, "pmtool modules: warning: " + missing +
                             ": the installation entry does not exist; correct it in KORVAN_PATH\n");
}

TEST(PmtoolInstallation, KorvanPathAndInstallOptionChooseTheList) {
  setenv("KORVAN_PATH", "/site/over/::/base/", 1);
  EXPECT_EQ(InstallationLine({"--version"}), "installation: /site/over:/base (KORVAN_PATH)");
  EXPECT_EQ(InstallationLine({"--install", "/mine/", "--version"}),
            "installation: /mine (--install)");
  // Each --install appends its entries, in order.
  EXPECT_EQ(InstallationLine({"--install", "/a:/b", "-install", "/c", "--version"}),
            "installation: /a:/b:/c (--install)");
}

TEST(PmtoolInstallation, AnInstalledPmtoolUsesTheSampleBesideIt) {
  unsetenv("KORVAN_PATH");
  const pmtest::TempDir prefix;
  pmtest::MakeDirs(prefix / "bin");
  pmtest::MakeDirs(prefix / "share/pmlib/sample");
  const std::string copy = prefix / "bin/pmtool";
  std::filesystem::copy_file(PMTOOL_PATH, copy);
  const std::string sample =
      std::filesystem::canonical(prefix.path()).string() + "/share/pmlib/sample";
  EXPECT_EQ(InstallationLine({"--version"}, copy), "installation: " + sample + " (bundled sample)");
}

}  // namespace
