// Shared libraries: loading, the initialisation and finalisation entries, entry points.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "pmport/port_dynlib.h"
#include "pmtest.h"

namespace {

using RouteFunction = const char* (*)();

TEST(PortDynamicLib, InitAndFiniEntriesRunOnceSymbolsResolveAndBadFilesAreNotLoaded) {
  const pmtest::TempDir dir;
  const std::string log = dir / "entries.log";  // the test library's entries write to it
  setenv("PMTEST_PLUGIN_LOG", log.c_str(), 1);
  PortDynamicLib lib(PMTEST_DYNLIB_PATH, "_init_libtpa", nullptr);
  ASSERT_TRUE(lib.isLoaded());
  EXPECT_EQ(pmtest::ReadFile(log), "tpa init\n");
  const auto route = reinterpret_cast<RouteFunction>(lib.getEntryPoint("route"));
  ASSERT_NE(route, nullptr);
  EXPECT_STREQ(route(), "tpa:route");
  EXPECT_TRUE(lib.getEntryPoint("absent") == nullptr && !lib.getEntryPoint(nullptr));
  lib.unload("_fini_libtpa");
  EXPECT_FALSE(lib.isLoaded() || lib.getEntryPoint("route"));
  lib.unload("_fini_libtpa");
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
  EXPECT_EQ(pmtest::ReadFile(log), "tpa init\ntpa fini\n");
}

}  // namespace
