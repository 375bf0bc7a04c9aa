// The get-or-create of the library's locked caches.
#include <gtest/gtest.h>

#include <string>

#include "pmlockedmap.h"

namespace {

using PersonalityModule::LockedMap;

// A miss makes the value; a hit makes nothing. findOrMake makes outside the lock, so another
// thread may store first: the first stored serves both. findOrMakeLocked makes under the lock.
TEST(LockedMap, FindOrMakeMakesOnlyOnAMissAndTheFirstStoredServesEveryone) {
  LockedMap<std::string, int> cache;
  int makes = 0;
  const auto make = [&makes] { return ++makes; };
  EXPECT_EQ(cache.findOrMake("a", make), 1);
  EXPECT_EQ(cache.findOrMake("a", make), 1);
  EXPECT_EQ(cache.findOrMakeLocked("b", make), 2);
  EXPECT_EQ(cache.findOrMakeLocked("b", make), 2);
  EXPECT_EQ(cache.findOrMake("c", [&cache] { return cache.insert("c", 7) ? 8 : 0; }), 7);
  EXPECT_FALSE(cache.insert("c", 9));
  EXPECT_EQ(cache.find("c"), 7);
  EXPECT_EQ(cache.find("d"), std::nullopt);
}

}  // namespace
