// The local-key overlay: local keys answer first, prefixes select qualified file keys.
#include <tuple>

#include "spine_fixture.h"

using namespace spinetest;

// A store of alpha's definition with `slots` key prefixes and the local-key overlay.
PersonalityModule::DevKey Store(PM_SPEC* spec, short slots) {
  return PersonalityModule::DevKey("alpha", spec, slots, false, false, true);
}

// Prefixes try the full set first, then smaller subsets.
TEST(LocalKeys, LocalValuesAnswerBeforeTheFileCaseSensitivelyAndPrefixesSelectFileKeys) {
  Root root;
  root.Module("alpha", Definition("alpha", "",
                                  "K = 9:8,7\nk = lower\nSPEED = 3\nFAST_SPEED = 4\n"
                                  "FAST_LOW_SPEED = 5\nLOW_SPEED = 6\n"));
  spinetest::Install({&root});
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  PersonalityModule::DevKey keys = Store(&spec, 0);

  EXPECT_EQ("8", keys.GetStringByKey("K", ':', 1, ',', 0));
  keys.addlocalkey("K", "1:2,3");
  EXPECT_EQ("3", keys.GetStringByKey("K", ':', 1, ',', 1));
  EXPECT_EQ(2, keys.GetInt32ByKey("K", ":", 1, ",", 0));
  // The store's own lookup sees the file only.
  const PM_DEVKEY& fileOnly = keys;
  EXPECT_EQ("9:8,7", fileOnly.GetStringByKey("K", 0, 0, 0, 0));
  keys.addlocalkey("K", "4");
  EXPECT_EQ(4, keys.GetInt32ByKey("K", nullptr, 0, nullptr, 0));
  keys.dellocalkey("K");
  keys.dellocalkey("K");
  keys.addlocalkey("k", "local");
  EXPECT_EQ("9:8,7 local  ", Values(keys, {"K", "k", "ABSENT"}));
  EXPECT_EQ(0, keys.GetInt32ByKey("ABSENT", nullptr, 0, nullptr, 0));

  // Without a specification nothing is created, and nothing is said.
  pmtest::MessageCapture capture;
  PersonalityModule::DevKey none = Store(nullptr, 2);
  none.addlocalkey("K", "1");
  EXPECT_FALSE(none.get_validity() || !none.GetStringByKey("K", 0, 0, 0, 0).empty());
  EXPECT_TRUE(capture.messages().empty());

  PersonalityModule::DevKey prefixed = Store(&spec, 3);
  EXPECT_EQ(3, prefixed.GetInt32ByKey("SPEED", nullptr, 0, nullptr, 0));
  prefixed.setkeyprefix(7, "IGNORED");  // outside the slots
  // Each row sets one slot, keeping the others: FAST_LOW_, then LOW_, then (FAST_NONE_ and NONE_
  // missing) the plain key, then FAST_.
  const std::vector<std::tuple<int, const char*, int>> steps = {
      {0, "FAST", 4}, {2, "LOW", 5}, {0, "", 6}, {2, "NONE", 3}, {0, "FAST", 4}};
  for (const auto& [slot, prefix, speed] : steps) {
    prefixed.setkeyprefix(slot, prefix);
    EXPECT_EQ(speed, prefixed.GetInt32ByKey("SPEED", nullptr, 0, nullptr, 0)) << slot << prefix;
  }
}
