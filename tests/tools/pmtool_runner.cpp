#include "pmtool_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "pmtest.h"

extern char** environ;

namespace pmtooltest {

namespace {

// Waits for `child` for up to `seconds`, then kills it; its status as RunResult gives it.
int WaitAtMost(pid_t child, int seconds, const std::string& what) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  pid_t done = 0;
  while ((done = waitpid(child, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (done == 0) {
    ADD_FAILURE() << what << " did not finish within " << seconds << " s";
    kill(child, SIGKILL);
    done = waitpid(child, &status, 0);
  }
  if (done != child) {
    ADD_FAILURE() << "cannot wait for " << what;
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

RunResult RunPmtool(const Args& args) {
  const std::string program = PMTOOL_PATH;
  const pmtest::TempDir outputs;
  const std::string outPath = outputs / "out";
  const std::string errPath = outputs / "err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);

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
  std::string what = program;
  for (const std::string& arg : args) what += " " + arg;
  result.status = WaitAtMost(child, 60, what);
  result.out = pmtest::ReadFile(outPath);
  result.err = pmtest::ReadFile(errPath);
  return result;
}

}  // namespace pmtooltest
