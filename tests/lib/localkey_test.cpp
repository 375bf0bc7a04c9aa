// The local-key overlay: local keys answer first, prefixes select qualified file keys.
#include <gtest/gtest.h>

#include "pmlib/pmdevkey.h"
#include "pmlib/pmspec.h"
#include "spine_fixture.h"

using spinetest::Definition;
using spinetest::Root;

namespace {

struct OverlayInstall {
  OverlayInstall() {
    root.Module("alpha", Definition("alpha", "", "K = 9:8,7\nk = lower\nSPEED = 3\n"
                                                 "FAST_SPEED = 4\nFAST_LOW_SPEED = 5\n"
                                                 "LOW_SPEED = 6\n"));
    spinetest::Install({&root});
  }
  Root root;
};

}  // namespace

TEST(LocalKeys, LocalValuesAnswerBeforeTheFileAndCanBeRemoved) {
  OverlayInstall install;
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  PersonalityModule::DevKey keys("alpha", &spec, 0, false, false, true);

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
  EXPECT_EQ("9:8,7", keys.GetStringByKey("K", 0, 0, 0, 0));
}

TEST(LocalKeys, LocalKeysAreCaseSensitiveAndAbsentKeysGiveNothing) {
  OverlayInstall install;
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  PersonalityModule::DevKey keys("alpha", &spec, 0, false, false, true);
  keys.addlocalkey("k", "local");
  EXPECT_EQ("9:8,7", keys.GetStringByKey("K", 0, 0, 0, 0));
  EXPECT_EQ("local", keys.GetStringByKey("k", 0, 0, 0, 0));
  EXPECT_TRUE(keys.GetStringByKey("ABSENT", 0, 0, 0, 0).empty());
  EXPECT_EQ(0, keys.GetInt32ByKey("ABSENT", nullptr, 0, nullptr, 0));
}

TEST(LocalKeys, PrefixesTryTheFullSetFirstThenSmallerSubsets) {
  OverlayInstall install;
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  PersonalityModule::DevKey keys("alpha", &spec, 3, false, false, true);
  EXPECT_EQ(3, keys.GetInt32ByKey("SPEED", nullptr, 0, nullptr, 0));

  keys.setkeyprefix(0, "FAST");
  keys.setkeyprefix(2, "LOW");
  keys.setkeyprefix(7, "IGNORED");  // outside the slots
  EXPECT_EQ(5, keys.GetInt32ByKey("SPEED", nullptr, 0, nullptr, 0));
  keys.setkeyprefix(0, "");
  EXPECT_EQ(6, keys.GetInt32ByKey("SPEED", nullptr, 0, nullptr, 0));
  keys.setkeyprefix(2, "NONE");
  EXPECT_EQ(3, keys.GetInt32ByKey("SPEED", nullptr, 0, nullptr, 0));
  keys.setkeyprefix(0, "FAST");  // FAST_NONE_ and NONE_ miss, FAST_ answers
  EXPECT_EQ(4, keys.GetInt32ByKey("SPEED", nullptr, 0, nullptr, 0));
}

TEST(LocalKeys, WithoutSpecificationNothingIsCreated) {
  pmtest::MessageCapture capture;
  PersonalityModule::DevKey keys("alpha", static_cast<PM_SPEC*>(nullptr), 2, false, false, true);
  keys.addlocalkey("K", "1");
  EXPECT_TRUE(keys.GetStringByKey("K", 0, 0, 0, 0).empty());
  EXPECT_FALSE(keys.get_validity());
  EXPECT_TRUE(capture.messages().empty());
}
