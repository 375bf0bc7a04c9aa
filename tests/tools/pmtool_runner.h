// Runs the built pmtool as a child process and collects what it printed.
#ifndef PMLIB_TESTS_PMTOOL_RUNNER_H
#define PMLIB_TESTS_PMTOOL_RUNNER_H

#include <string>
#include <vector>

namespace pmtooltest {

// Where the build put the sample installation.
const std::string kSample = PMTOOL_BUILD_SAMPLE;

struct RunResult {
  int status = -1;  // the exit status; 128 + the signal number when a signal ended it
  std::string out;
  std::string err;
};

// Runs `program` (the built pmtool by default) with `args` in the current environment, standard
// input empty.
RunResult RunPmtool(const std::vector<std::string>& args, const std::string& program = PMTOOL_PATH);

// Runs pmtool on the bundled sample installation (`--install` put before `args`).
RunResult OnSample(std::vector<std::string> args);

// Whether `text` contains `fragment`.
inline bool Contains(const std::string& text, const std::string& fragment) {
  return text.find(fragment) != std::string::npos;
}

// The number of lines of `text`.
std::size_t LineCount(const std::string& text);

}  // namespace pmtooltest

#endif  // PMLIB_TESTS_PMTOOL_RUNNER_H
