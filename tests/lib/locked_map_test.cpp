// The get-or-create of the library's locked caches: a hit makes nothing, and when two threads
// miss together the first value stored serves both.
#include <gtest/gtest.h>

#include <string>

#include "pmlockedmap.h"

namespace {

using PersonalityModule::LockedMap;

TEST(LockedMap, FindOrMakeMakesOnlyOnAMissAndTheFirstStoredServesEveryone) {
  LockedMap<std::string, int> cache;
  int makes = 0;
  EXPECT_EQ(cache.findOrMake("a", [&] { return ++makes; }), 1);
  EXPECT_EQ(cache.findOrMake("a", [&] { return ++makes; }), 1);
  EXPECT_EQ(makes, 1);
  // Another thread stores its value while this one makes its own outside the lock.
  EXPECT_EQ(cache.findOrMake("b",
                             [&] {
                               EXPECT_TRUE(cache.insert("b", 7));
                               return 8;
                             }),
            7);
  EXPECT_FALSE(cache.insert("b", 9));
  EXPECT_EQ(cache.find("b"), 7);
}

TEST(LockedMap, FindOrMakeLockedMakesEachValueOnce) {
  LockedMap<std::string, std::string> cache;
  int makes = 0;
  const auto make = [&] { return std::to_string(++makes); };
  EXPECT_EQ(cache.findOrMakeLocked("a", make), "1");
  EXPECT_EQ(cache.findOrMakeLocked("a", make), "1");
  EXPECT_EQ(cache.findOrMakeLocked("b", make), "2");
}

}  // namespace
