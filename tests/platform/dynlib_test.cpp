// Shared libraries: loading, the initialisation and finalisation entries, entry points.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "pmport/port_dynlib.h"
#include "pmtest.h"

namespace {

using TwiceFunction = int (*)(int);

// Sets PMTEST_DYNLIB_LOG to a file in a fresh directory for the test library's entries.
class EntryLog {
 public:
  EntryLog() : path_(dir_ / "entries.log") { setenv("PMTEST_DYNLIB_LOG", path_.c_str(), 1); }
  std::string content() const { return pmtest::ReadFile(path_); }

 private:
  pmtest::TempDir dir_;
  std::string path_;
};

TEST(PortDynamicLib, RunsTheInitEntryResolvesSymbolsAndUnloadRunsTheFiniEntryOnce) {
  EntryLog log;
  PortDynamicLib lib(PMTEST_DYNLIB_PATH, "_init_libpmtestdyn", nullptr);
  ASSERT_TRUE(lib.isLoaded());
  EXPECT_EQ(log.content(), "init 1\n");
  auto twice = reinterpret_cast<TwiceFunction>(lib.getEntryPoint("pmtestdyn_twice"));
  ASSERT_NE(twice, nullptr);
  EXPECT_EQ(twice(21), 42);
  EXPECT_EQ(lib.getEntryPoint("pmtestdyn_absent"), nullptr);
  EXPECT_EQ(lib.getEntryPoint(nullptr), nullptr);
  lib.unload("_fini_libpmtestdyn");
  EXPECT_FALSE(lib.isLoaded());
  EXPECT_EQ(lib.getEntryPoint("pmtestdyn_twice"), nullptr);
  lib.unload("_fini_libpmtestdyn");
  EXPECT_EQ(log.content(), "init 1\nfini 2\n");
}

// Absent or null entry names run nothing; a missing or broken file is not loaded.
TEST(PortDynamicLib, AbsentEntriesRunNothingAndMissingOrBrokenFilesAreNotLoaded) {
  EntryLog log;
  PortDynamicLib other(PMTEST_DYNLIB_PATH, "_init_libother", nullptr);
  ASSERT_TRUE(other.isLoaded());
  other.unload(nullptr);
  // The destructor releases the library without a finalisation entry.
  EXPECT_TRUE(PortDynamicLib(PMTEST_DYNLIB_PATH, nullptr, nullptr).isLoaded());
  pmtest::TempDir dir;
  pmtest::WriteFile(dir / "libbroken.so", "not a shared library");
  for (const std::string& path : {dir / "libmissing.so", dir / "libbroken.so"}) {
    PortDynamicLib lib(path.c_str(), "_init_libbroken", nullptr);
    EXPECT_FALSE(lib.isLoaded()) << path;
    EXPECT_EQ(lib.getEntryPoint("_init_libbroken"), nullptr);
    lib.unload("_fini_libbroken");
  }
  EXPECT_FALSE(PortDynamicLib(nullptr, nullptr, nullptr).isLoaded());
  EXPECT_EQ(log.content(), "");
}

}  // namespace
