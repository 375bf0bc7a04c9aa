// Every command of pmtool's table tried with arguments it cannot make sense of: missing and
// surplus arguments, unknown architectures, malformed files and odd names. Whatever it is given,
// pmtool must end with status 0, 1 or 2 (never a signal), and say why on standard error when
// the status is not 0.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "command.h"
#include "pmtest.h"
#include "pmtool_runner.h"

namespace {

using pmtooltest::Args;
using pmtooltest::kSample;

struct TableCommand {
  Args words;  // "seg", "write"
  const pmtool::Command* command;
};

std::vector<TableCommand> TableCommands() {
  std::vector<TableCommand> commands;
  for (const pmtool::Family* family : pmtool::Families()) {
    for (const pmtool::Command& command : family->commands) {
      Args words = {family->name};
      if (*command.name) words.push_back(command.name);
      commands.push_back({words, &command});
    }
  }
  return commands;
}

// Files no command can read as what it expects, made in the test's own folder.
Args MalformedFiles(const pmtest::TempDir& dir) {
  const char garbage[] = "\x01\x02 not = a \\\n\xff\xfe definition\0\0";
  pmtest::WriteFile(dir / "garbage", std::string(garbage, sizeof garbage - 1));
  pmtest::WriteFile(dir / "empty", "");
  pmtest::WriteFile(dir / "comments.acd", "# only a comment\n\n   \n");
  pmtest::WriteFile(dir / "truncated.spd", pmtest::SegmentHeader(3) + "\x05");
  pmtest::WriteFile(dir / "huge-count.pkg", pmtest::SegmentHeader(4000000000u));
  pmtest::WriteFile(dir / "long-line.acd", "KEY = " + std::string(200000, 'v') + "\\\n");
  return {dir / "garbage",
          dir / "empty",
          dir / "comments.acd",
          dir / "truncated.spd",
          dir / "huge-count.pkg",
          dir / "long-line.acd",
          dir.path()};
}

// Names that are no architecture, device, key or file of anything.
Args OddNames() {
  return {"",
          "nosuch",
          std::string(5000, 'x'),
          std::string(70000, 'y'),
          "\xc3\xa9t\xc3\xa9\xe2\x82\xac",  // UTF-8
          "\xff\xfe\x80",                   // not UTF-8
          "-",
          "-x",
          "--",
          "-4",
          "%s%s%n%d",
          "../../../../etc/passwd",
          "a:b:c",
          ",,:",
          "*?[",
          "line\nbreak",
          " "};
}

// The command's words on the sample installation and `options`, then `positionals`: after "--"
// when `guarded`, so that every one is an argument, else as they come.
Args Line(const TableCommand& entry, const Args& options, const Args& positionals,
          bool guarded = true) {
  Args line = {"--install", kSample};
  line.insert(line.end(), entry.words.begin(), entry.words.end());
  line.insert(line.end(), options.begin(), options.end());
  if (guarded) line.push_back("--");
  line.insert(line.end(), positionals.begin(), positionals.end());
  return line;
}

void ExpectCleanEnd(const Args& args) {
  std::string shown = "pmtool";
  for (const std::string& arg : args) shown += " [" + arg.substr(0, 40) + "]";
  const pmtooltest::RunResult result = pmtooltest::RunPmtool(args);
  EXPECT_TRUE(result.status == 0 || result.status == 1 || result.status == 2)
      << shown << " ended with " << result.status << "\n"
      << result.err.substr(0, 2000);
  if (result.status != 0) {
    EXPECT_FALSE(result.err.empty()) << shown << " said nothing";
  }
}

class BadInput : public testing::TestWithParam<TableCommand> {
 protected:
  // seg write creates its files in the working folder.
  void SetUp() override { ASSERT_EQ(0, chdir(work_.path().c_str())); }

  pmtest::TempDir work_;
};

TEST_P(BadInput, WrongArgumentCountsAreUsageErrors) {
  const TableCommand& entry = GetParam();
  std::vector<std::size_t> wrongCounts;
  if (entry.command->minPositionals > 0) wrongCounts.push_back(entry.command->minPositionals - 1);
  if (entry.command->maxPositionals != pmtool::kUnbounded) {
    wrongCounts.push_back(entry.command->maxPositionals + 1);
  }
  for (const std::size_t count : wrongCounts) {
    const auto result = pmtooltest::RunPmtool(Line(entry, {}, Args(count, "alpha")));
    EXPECT_EQ(2, result.status) << count << " arguments";
    EXPECT_NE("", result.err);
  }
}

TEST_P(BadInput, OddNamesAndMalformedFilesEndCleanly) {
  const TableCommand& entry = GetParam();
  const std::size_t count = std::max<std::size_t>(entry.command->minPositionals, 1);
  Args odd = OddNames();
  const Args files = MalformedFiles(work_);
  odd.insert(odd.end(), files.begin(), files.end());
  for (const std::string& name : odd) {
    // Every argument odd; then a real architecture first and the rest odd.
    Args positionals(count, name);
    ExpectCleanEnd(Line(entry, {}, positionals));
    if (count > 1) {
      positionals.front() = "alpha";
      ExpectCleanEnd(Line(entry, {}, positionals));
    }
    // Without "--", a name starting with "-" is taken for an option.
    if (!name.empty() && name[0] == '-') ExpectCleanEnd(Line(entry, {}, Args(count, name), false));
  }
}

TEST_P(BadInput, OddOptionValuesEndCleanly) {
  const TableCommand& entry = GetParam();
  const Args positionals(entry.command->minPositionals, "alpha");
  for (const pmtool::OptionDoc& option : entry.command->options) {
    if (!option.value) continue;
    for (const std::string& value : {std::string(""), std::string("-1"), std::string(5000, '9'),
                                     std::string("nosuch"), std::string("\xff")}) {
      ExpectCleanEnd(Line(entry, {std::string("--") + option.name, value}, positionals));
    }
  }
}

// Test names show the command's words: "seg_write", "check_part".
std::string TestName(const testing::TestParamInfo<TableCommand>& info) {
  std::string name = info.param.words.front();
  if (info.param.words.size() > 1) name += "_" + info.param.words.back();
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, BadInput, testing::ValuesIn(TableCommands()), TestName);

TEST(BadInputGlobal, OddInstallationsAndHelpWordsEndCleanly) {
  const pmtest::TempDir work;
  ASSERT_EQ(0, chdir(work.path().c_str()));
  for (const std::string& name : OddNames()) {
    ExpectCleanEnd({"--install", name, "parts", "alpha"});
    ExpectCleanEnd({"--install", kSample, "--help", name});
    ExpectCleanEnd({"--install", kSample, "help", name});
    ExpectCleanEnd({"--install", kSample, name});
  }
}

// The overview lists every command of the table, so that the transcripts' walk over the
// overview (cli.t) reaches them all.
TEST(CommandTable, OverviewListsEveryCommand) {
  const std::string overview = pmtooltest::RunPmtool({"help"}).out;
  for (const TableCommand& entry : TableCommands()) {
    std::string words = entry.words.front();
    if (entry.words.size() > 1) words += " " + entry.words.back();
    EXPECT_NE(overview.find("\n  " + words + " "), std::string::npos) << words;
  }
}

}  // namespace
