// Shared libraries: loading, the initialisation and finalisation entries, entry points.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "pmport/port_dynlib.h"
#include "pmtest.h"

namespace {

using TwiceFunction = int (*)(int);

TEST(PortDynamicLib, InitAndFiniEntriesRunOnceSymbolsResolveAndBadFilesAreNotLoaded) {
  const pmtest::TempDir dir;
  const std::string log = dir / "entries.log";  // the test library's entries write to it
  setenv("PMTEST_DYNLIB_LOG", log.c_str(), 1);
  PortDynamicLib lib(PMTEST_DYNLIB_PATH, "_init_libpmtestdyn", nullptr);
  ASSERT_TRUE(lib.isLoaded());
  EXPECT_EQ(pmtest::ReadFile(log), "init 1\n");
  auto twice = reinterpret_cast<TwiceFunction>(lib.getEntryPoint("pmtestdyn_twice"));
  ASSERT_NE(twice, nullptr);
  EXPECT_EQ(twice(21), 42);
  EXPECT_TRUE(lib.getEntryPoint("pmtestdyn_absent") == nullptr && !lib.getEntryPoint(nullptr));
  lib.unload("_fini_libpmtestdyn");
  EXPECT_FALSE(lib.isLoaded() || lib.getEntryPoint("pmtestdyn_twice"));
  lib.unload("_fini_libpmtestdyn");
  // Absent or null entry names run nothing; a missing or broken file is not loaded.
  PortDynamicLib other(PMTEST_DYNLIB_PATH, "_init_libother", nullptr);
  ASSERT_TRUE(other.isLoaded());
  other.unload(nullptr);
  // The destructor releases the library without a finalisation entry.
  EXPECT_TRUE(PortDynamicLib(PMTEST_DYNLIB_PATH, nullptr, nullptr).isLoaded());
  pmtest::WriteFile(dir / "libbroken.so", "not a shared library");
  for (const std::string& path : {dir / "libmissing.so", dir / "libbroken.so"}) {
    PortDynamicLib lib(path.c_str(), "_init_libbroken", nullptr);
    EXPECT_FALSE(lib.isLoaded() || lib.getEntryPoint("_init_libbroken")) << path;
    lib.unload("_fini_libbroken");
  }
  EXPECT_FALSE(PortDynamicLib(nullptr, nullptr, nullptr).isLoaded());
  EXPECT_EQ(pmtest::ReadFile(log), "init 1\nfini 2\n");
}

}  // namespace
