#include "pmtool_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "pmtest.h"

extern char** environ;

namespace pmtooltest {

RunResult RunPmtool(const Args& args, const std::string& program) {
  const pmtest::TempDir outputs;
  const std::string outPath = outputs / "out";
  const std::string errPath = outputs / "err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

  std::vector<std::string> words = {program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);

  RunResult result;
  pid_t child = 0;
  const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << program;
    return result;
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) {
    ADD_FAILURE() << "cannot wait for " << program;
    return result;
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = pmtest::ReadFile(outPath);
  result.err = pmtest::ReadFile(errPath);
  return result;
}

std::size_t LineCount(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

RunResult OnSample(Args args) {
  args.insert(args.begin(), {"--install", kSample});
  return RunPmtool(args);
}

namespace {

const std::string kPartial = "...";

void ExpectStream(const char* stream, const std::string& expected, const std::string& actual,
                  bool json) {
  if (expected.compare(0, kPartial.size(), kPartial) == 0) {
    EXPECT_TRUE(Contains(actual, expected.substr(kPartial.size())))
        << stream << " lacks " << expected << "\n" << actual;
  } else if (json && !expected.empty()) {
    EXPECT_EQ(nlohmann::json::parse(expected), nlohmann::json::parse(actual, nullptr, false))
        << stream;
  } else {
    EXPECT_EQ(expected, actual) << stream;
  }
}

}  // namespace

void ExpectResult(const Expected& expected, const RunResult& result) {
  std::string shown = "pmtool";
  for (const std::string& arg : expected.args) shown += " " + arg;
  SCOPED_TRACE(shown);
  EXPECT_EQ(expected.status, result.status) << result.err;
  const bool json = std::count(expected.args.begin(), expected.args.end(), "--json") > 0;
  ExpectStream("standard output", expected.out, result.out, json);
  ExpectStream("standard error", expected.err, result.err, false);
}

void ExpectRuns(const std::vector<Expected>& cases, const std::string& install) {
  for (const Expected& expected : cases) {
    Args args = {"--install", install};
    args.insert(args.end(), expected.args.begin(), expected.args.end());
    ExpectResult(expected, RunPmtool(args));
  }
}

}  // namespace pmtooltest
