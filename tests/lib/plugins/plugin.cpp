// An architecture library for the loading tests, built once per name (PMTEST_PLUGIN_NAME). Its
// entries append "<name> <entry>" lines to the file named by PMTEST_PLUGIN_LOG, so that load
// order, single loading and unloading can be observed.
#include <cstdio>
#include <cstdlib>

#define PMTEST_JOIN2(a, b) a##b
#define PMTEST_JOIN(a, b) PMTEST_JOIN2(a, b)
#define PMTEST_TEXT2(a) #a
#define PMTEST_TEXT(a) PMTEST_TEXT2(a)
#define PMTEST_NAME PMTEST_TEXT(PMTEST_PLUGIN_NAME)

namespace {

void Record(const char* entry) {
  const char* logPath = std::getenv("PMTEST_PLUGIN_LOG");
  if (!logPath) return;
  if (std::FILE* log = std::fopen(logPath, "a")) {
    std::fprintf(log, "%s %s\n", PMTEST_NAME, entry);
    std::fclose(log);
  }
}

}  // namespace

extern "C" {

void PMTEST_JOIN(_init_lib, PMTEST_PLUGIN_NAME)() { Record("init"); }
void PMTEST_JOIN(_fini_lib, PMTEST_PLUGIN_NAME)() { Record("fini"); }

// Replacement functions: each says which library it lives in.
const char* route() { return PMTEST_NAME ":route"; }
const char* place() { return PMTEST_NAME ":place"; }
}
