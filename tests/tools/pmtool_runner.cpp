#include "pmtool_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>
#include <nlohmann/json.hpp>

#include "pmtest.h"

extern char** environ;

namespace pmtooltest {

namespace {

// Points the child's standard output at `output`; the pipe's writing end is the parent's to close.
void DirectOutput(posix_spawn_file_actions_t& actions, Output output, const std::string& outPath,
                  const int (&pipeEnds)[2]) {
  switch (output) {
    case Output::File:
      posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      break;
    case Output::Full:
      posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
      break;
    case Output::Closed:
      posix_spawn_file_actions_addclose(&actions, 1);
      break;
    case Output::ClosedPipe:
      posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
      posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
      break;
  }
}

// Waits for `child` for up to `seconds`, then kills it; its status as RunResult gives it.
int WaitAtMost(pid_t child, int seconds, const std::string& what) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  pid_t done = 0;
  while ((done = waitpid(child, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
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

RunResult Run(const std::string& program, const Args& args, Output output, int seconds) {
  const pmtest::TempDir outputs;
  const std::string outPath = outputs / "out";
  const std::string errPath = outputs / "err";
  int pipeEnds[2] = {-1, -1};
  if (output == Output::ClosedPipe) {
    // Closed before pmtool starts, so that no reader is left however fast pmtool writes.
    if (pipe(pipeEnds) != 0) ADD_FAILURE() << "cannot make a pipe";
    close(pipeEnds[0]);
    pipeEnds[0] = -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  DirectOutput(actions, output, outPath, pipeEnds);
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
  for (const int end : pipeEnds) {
    if (end >= 0) close(end);
  }
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << program;
    return result;
  }
  std::string what = program;
  for (const std::string& arg : args) what += " " + arg;
  result.status = WaitAtMost(child, seconds, what);
  if (output == Output::File) result.out = pmtest::ReadFile(outPath);
  result.err = pmtest::ReadFile(errPath);
  return result;
}

}  // namespace

RunResult RunPmtool(const Args& args, const std::string& program) {
  return Run(program, args, Output::File, 60);
}

RunResult RunPmtoolTo(const Args& args, Output output, int seconds) {
  return Run(PMTOOL_PATH, args, output, seconds);
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
