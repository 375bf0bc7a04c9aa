// A shared library whose entries can be observed: each appends its name and the value of the
// counter to the file named by PMTEST_DYNLIB_LOG.
#include <cstdio>
#include <cstdlib>

namespace {

int entryCalls = 0;

void Record(const char* entry) {
  ++entryCalls;
  const char* logPath = std::getenv("PMTEST_DYNLIB_LOG");
  if (!logPath) return;
  if (std::FILE* log = std::fopen(logPath, "a")) {
    std::fprintf(log, "%s %d\n", entry, entryCalls);
    std::fclose(log);
  }
}

}  // namespace

extern "C" {

void _init_libpmtestdyn() { Record("init"); }
void _fini_libpmtestdyn() { Record("fini"); }
int pmtestdyn_twice(int value) { return 2 * value; }
}
