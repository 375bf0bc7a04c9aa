#include "pmtool_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>

#include "pmtest.h"

extern char** environ;

namespace pmtooltest {

RunResult RunPmtool(const std::vector<std::string>& args, const std::string& program) {
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

RunResult OnSample(std::vector<std::string> args) {
  args.insert(args.begin(), {"--install", kSample});
  return RunPmtool(args);
}

}  // namespace pmtooltest
