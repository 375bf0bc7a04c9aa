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

using pmtooltest::RunPmtool;

// Every subcommand of pmtool's command table: the family, then the command's name if it has one.
std::vector<std::vector<std::string>> TableCommands() {
  std::vector<std::vector<std::string>> commands;
  for (const pmtool::Family* family : pmtool::Families()) {
    for (const pmtool::Command& command : family->commands) {
      commands.push_back({family->name});
      if (*command.name) commands.back().push_back(command.name);
    }
  }
  return commands;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string text = "pmtool";
  for (const std::string& word : words) text += " " + word;
  return text;
}

std::vector<std::string> With(std::vector<std::string> words, const std::string& last) {
  words.push_back(last);
  return words;
}

TEST(PmtoolHelp, EveryCommandHasHelpWithUsageExamplesAndExitStatus) {
  for (const auto& command : TableCommands()) {
    const auto help = RunPmtool(With(command, "--help"));
    EXPECT_EQ(help.status, 0) << Joined(command);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("Usage: " + Joined(command) + " ", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("Examples:\n  " + Joined(command)), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("Exit status:\n  0  "), std::string::npos);
    EXPECT_NE(help.out.find("  2  the command line is wrong\n"), std::string::npos);

    // The same text through the help command and the global option.
    std::vector<std::string> viaHelp = {"help"};
    viaHelp.insert(viaHelp.end(), command.begin(), command.end());
    EXPECT_EQ(RunPmtool(viaHelp).out, help.out);
    std::vector<std::string> global = {"--help"};
    global.insert(global.end(), command.begin(), command.end());
    EXPECT_EQ(RunPmtool(global).out, help.out);
  }
}

TEST(PmtoolHelp, OverviewListsEveryCommandAndFamiliesListTheirOwn) {
  const auto overview = RunPmtool({"help"});
  EXPECT_EQ(overview.status, 0);
  EXPECT_EQ(RunPmtool({"--help"}).out, overview.out);
  for (const auto& command : TableCommands()) {
    const std::string words = Joined(command).substr(std::string("pmtool ").size());
    EXPECT_NE(overview.out.find("\n  " + words + " "), std::string::npos) << words;
  }

  const auto family = RunPmtool({"seg", "--help"});
  EXPECT_EQ(family.status, 0);
  EXPECT_NE(family.out.find("pmtool seg write FILE NAME[:TYPE]..."), std::string::npos);
  EXPECT_EQ(family.out.find("acd get"), std::string::npos);
  EXPECT_EQ(RunPmtool({"help", "seg"}).out, family.out);
}

TEST(PmtoolUsage, MissingOrUnknownCommandsGiveStatus2WithHelpOnStderr) {
  const auto nothing = RunPmtool({});
  EXPECT_EQ(nothing.status, 2);
  EXPECT_EQ(nothing.out, "");
  EXPECT_EQ(nothing.err, RunPmtool({"help"}).out);

  const auto family = RunPmtool({"acd"});
  EXPECT_EQ(family.status, 2);
  EXPECT_EQ(family.err, RunPmtool({"acd", "--help"}).out);

  const auto unknown = RunPmtool({"frobnicate", "x"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err, "pmtool: no command \"frobnicate\"\nRun 'pmtool --help' for usage.\n");
  const auto unknownSub = RunPmtool({"acd", "put"});
  EXPECT_EQ(unknownSub.status, 2);
  EXPECT_NE(unknownSub.err.find("no command \"put\" in pmtool acd"), std::string::npos);
}

TEST(PmtoolUsage, BadOptionsAndArgumentCountsGiveStatus2NamingTheProblem) {
  const auto unknown = RunPmtool({"seg", "dump", "--verbose", "x.spd"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.out, "");
  EXPECT_NE(unknown.err.find("pmtool seg dump: "), std::string::npos);
  EXPECT_NE(unknown.err.find("\"--verbose\""), std::string::npos);
  EXPECT_NE(unknown.err.find("Run 'pmtool seg dump --help' for usage."), std::string::npos);

  EXPECT_EQ(RunPmtool({"seg", "write", "x.spd", "--json", "a"}).status, 2);  // write has no --json
  EXPECT_EQ(RunPmtool({"--bogus", "seg", "dump", "x"}).status, 2);
  EXPECT_EQ(RunPmtool({"--install"}).status, 2);

  const auto missing = RunPmtool({"acd", "get", "file.acd"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("missing arguments; usage: pmtool acd get [OPTIONS] FILE KEY"),
            std::string::npos)
      << missing.err;
  const auto tooMany = RunPmtool({"acd", "get", "f", "K", "0", "1", "2"});
  EXPECT_EQ(tooMany.status, 2);
  EXPECT_NE(tooMany.err.find("too many arguments"), std::string::npos);
}

// The second line of --version: "installation: DIRS (SOURCE)".
std::string InstallationLine(const std::vector<std::string>& args) {
  const auto version = RunPmtool(args);
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_EQ(version.out.rfind("pmtool ", 0), 0u);
  const std::size_t start = version.out.find('\n') + 1;
  return version.out.substr(start, version.out.size() - start - 1);
}

TEST(PmtoolInstallation, WithoutKorvanPathTheBuildTreeSampleIsUsed) {
  unsetenv("KORVAN_PATH");
  EXPECT_EQ(InstallationLine({"--version"}),
            std::string("installation: ") + PMTOOL_BUILD_SAMPLE + " (bundled sample)");
  setenv("KORVAN_PATH", "", 1);
  EXPECT_EQ(InstallationLine({"--version"}),
            std::string("installation: ") + PMTOOL_BUILD_SAMPLE + " (bundled sample)");
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
  EXPECT_EQ(InstallationLine({"--version"}).find(sample), std::string::npos);
  const auto version = RunPmtool({"--version"}, copy);
  EXPECT_NE(version.out.find("installation: " + sample + " (bundled sample)"), std::string::npos)
      << version.out << version.err;
}

}  // namespace
