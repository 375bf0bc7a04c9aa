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

// Runs `program` (the built pmtool by default) with `args` in the current environment, standard
// input empty. A run still going after a minute is killed and fails the test.
RunResult RunPmtool(const Args& args, const std::string& program = PMTOOL_PATH);

// Where a run's standard output goes: a file (read back into `out`), the full device, nowhere
// (closed), or a pipe whose reading end is closed before pmtool writes.
enum class Output { File, Full, Closed, ClosedPipe };
// Runs pmtool with standard output sent to `output`; a run still going after `seconds` is killed
// (status 128 + SIGKILL) and fails the test.
RunResult RunPmtoolTo(const Args& args, Output output, int seconds = 60);

// Runs pmtool on the bundled sample installation (`--install` put before `args`).
RunResult OnSample(Args args);

// One run of pmtool and what it must give. Standard output and error are compared whole, except
// that a text starting with "..." needs only to occur in the stream. The output of a run with
// "--json", unless expected empty, is compared as a parsed document, so that its layout does not
// matter.
struct Expected {
  Args args;
  int status;
  std::string out;
  std::string err;
};

// Checks one finished run against `expected`, naming its arguments on failure.
void ExpectResult(const Expected& expected, const RunResult& result);
// Runs each case on the installation `install` and checks it.
void ExpectRuns(const std::vector<Expected>& cases, const std::string& install = kSample);

// Whether `text` contains `fragment`.
inline bool Contains(const std::string& text, const std::string& fragment) {
  return text.find(fragment) != std::string::npos;
}

// The number of lines of `text`.
std::size_t LineCount(const std::string& text);

}  // namespace pmtooltest

#endif  // PMLIB_TESTS_PMTOOL_RUNNER_H
