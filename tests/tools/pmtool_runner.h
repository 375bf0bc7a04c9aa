// Runs the built pmtool as a child process and collects what it printed.
#ifndef PMLIB_TESTS_PMTOOL_RUNNER_H
#define PMLIB_TESTS_PMTOOL_RUNNER_H

#include <string>
#include <vector>

namespace pmtooltest {

struct RunResult {
  int status = -1;  // the exit status; 128 + the signal number when a signal ended it
  std::string out;
  std::string err;
};

// Runs `program` (the built pmtool by default) with `args` in the current environment, standard
// input empty.
RunResult RunPmtool(const std::vector<std::string>& args, const std::string& program = PMTOOL_PATH);

// The number of lines of `text`.
std::size_t LineCount(const std::string& text);

}  // namespace pmtooltest

#endif  // PMLIB_TESTS_PMTOOL_RUNNER_H
