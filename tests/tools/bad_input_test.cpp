// Every command of pmtool's table tried with arguments it cannot make sense of: missing and
// surplus arguments, unknown architectures, malformed files and odd names. Whatever it is given,
// pmtool must end with status 0, 1 or 2 (never a signal, never a hang), and say why on standard
// error when the status is not 0.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "command.h"
#include "pmtest.h"

extern char** environ;

namespace {

using Args = std::vector<std::string>;

const std::string kSample = PMTOOL_BUILD_SAMPLE;

struct RunResult {
  int status = -1;  // the exit status; 128 + the signal number when a signal ended it
  std::string err;
};

// Runs the built pmtool with `args`, standard input empty, standard output discarded. A run still
// going after a minute is stopped by timeout(1), whose status 124 fails the test.
RunResult RunPmtool(const Args& args) {
  const pmtest::TempDir outputs;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, (outputs / "2").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  Args words = {"timeout", "--kill-after=5", "60", PMTOOL_PATH};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  int status = 0;
  const int spawned = posix_spawnp(&child, "timeout", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0 || waitpid(child, &status, 0) != child) {
    ADD_FAILURE() << "cannot run " << PMTOOL_PATH;
    return {};
  }
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
          pmtest::ReadFile(outputs / "2")};
}

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

// Files no command can read as what it expects, made in `dir`, and `dir` itself.
Args MalformedFiles(const pmtest::TempDir& dir) {
  const char garbage[] = "\x01\x02 not = a \\\n\xff\xfe definition\0\0";
  const std::pair<std::string, std::string> files[] = {
      {"garbage", std::string(garbage, sizeof garbage - 1)},
      {"empty", ""},
      {"comments.acd", "# only a comment\n\n   \n"},
      {"truncated.spd", pmtest::SegmentHeader(3) + "\x05"},
      {"huge-count.pkg", pmtest::SegmentHeader(4000000000u)},
      {"long-line.acd", "KEY = " + std::string(200000, 'v') + "\\\n"}};
  Args paths = {dir.path()};
  for (const auto& [name, content] : files) {
    pmtest::WriteFile(dir / name, content);
    paths.push_back(dir / name);
  }
  return paths;
}

// Names that are no architecture, device, key or file of anything: long ones, UTF-8 and bytes
// that are not, option-like ones, format directives, paths, separators, wildcards, blanks.
Args OddNames() {
  Args names = {
      "",   "nosuch",   "\xc3\xa9t\xc3\xa9\xe2\x82\xac", "\xff\xfe\x80", "-",   "-x",  "--",
      "-4", "%s%s%n%d", "../../../../etc/passwd",        "a:b:c",        ",,:", "*?[", " "};
  names.insert(names.end(), {std::string(5000, 'x'), std::string(70000, 'y'), "line\nbreak"});
  return names;
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

// Runs pmtool with `args` and checks it ends with one of `statuses`, saying why unless with 0.
void ExpectCleanEnd(const Args& args, const std::vector<int>& statuses = {0, 1, 2}) {
  std::string shown = "pmtool";
  for (const std::string& arg : args) shown += " [" + arg.substr(0, 40) + "]";
  const RunResult result = RunPmtool(args);
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), result.status), statuses.end())
      << shown << " ended with " << result.status << "\n"
      << result.err.substr(0, 2000);
  EXPECT_TRUE(result.status == 0 || !result.err.empty()) << shown << " said nothing";
}

// Goes to a folder deep enough in `work` that the odd names climbing out ("../../../../etc/passwd")
// stay inside it: seg write writes where it is told to, and the tests run as root.
void EnterDeepFolder(const pmtest::TempDir& work) {
  pmtest::MakeDirs(work / "1/2/3/4");
  ASSERT_EQ(0, chdir((work / "1/2/3/4").c_str()));
}

class BadInput : public testing::TestWithParam<TableCommand> {};

TEST_P(BadInput, OddNamesMalformedFilesAndOddOptionValuesEndCleanly) {
  const pmtest::TempDir work;
  EnterDeepFolder(work);
  const TableCommand& entry = GetParam();
  const std::size_t count = std::max<std::size_t>(entry.command->minPositionals, 1);
  Args odd = OddNames();
  const Args files = MalformedFiles(work);
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
  const Args alphas(entry.command->minPositionals, "alpha");
  for (const pmtool::OptionDoc& option : entry.command->options) {
    if (!option.value) continue;
    for (const std::string& value : Args{"", "-1", "nosuch", "\xff", std::string(5000, '9')}) {
      ExpectCleanEnd(Line(entry, {std::string("--") + option.name, value}, alphas));
    }
  }
}

// Test names show the command's words: "seg_write", "check_part".
std::string TestName(const testing::TestParamInfo<TableCommand>& info) {
  std::string name;
  for (const std::string& word : info.param.words) name += (name.empty() ? "" : "_") + word;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, BadInput, testing::ValuesIn(TableCommands()), TestName);

TEST(BadInputGlobal, OddInstallationsAndHelpWordsEndCleanly) {
  const pmtest::TempDir work;
  EnterDeepFolder(work);
  for (const std::string& name : OddNames()) {
    ExpectCleanEnd({"--install", name, "parts", "alpha"});
    ExpectCleanEnd({"--install", kSample, "--help", name});
    ExpectCleanEnd({"--install", kSample, "help", name});
    ExpectCleanEnd({"--install", kSample, name});
  }
}

}  // namespace
