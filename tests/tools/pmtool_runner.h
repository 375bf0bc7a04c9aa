// Runs the built pmtool as a child process and collects what it printed.
#ifndef PMLIB_TESTS_PMTOOL_RUNNER_H
#define PMLIB_TESTS_PMTOOL_RUNNER_H

#include <string>
#include <vector>

namespace pmtooltest {

using Args = std::vector<std::string>;

// Where the build put the sample installation.
const std::string kSample = PMTOOL_BUILD_SAMPLE;

struct RunResult {
  int status = -1;  // the exit status; 128 + the signal number when a signal ended it
  std::string out;
  std::string err;
};

// Runs the built pmtool with `args` in the current environment, standard input empty. A run
// still going after a minute is killed and fails the test.
RunResult RunPmtool(const Args& args);

}  // namespace pmtooltest

#endif  // PMLIB_TESTS_PMTOOL_RUNNER_H
