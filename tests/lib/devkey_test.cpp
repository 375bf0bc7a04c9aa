// Key stores: field addressing, C-string result buffers, integer lookups and their messages,
// the reader cache and its key, and friend reads.
#include <tuple>

#include "baspmdevkey.h"
#include "baspmspec.h"
#include "spine_fixture.h"

using namespace spinetest;
using namespace pmlib::msg;

namespace {

// An installation with the module alpha whose definition holds `extra`, its specification and a
// cached store of its definition file.
struct AlphaInstall {
  explicit AlphaInstall(const std::string& extra) : installed(Write(root, extra)) {}
  static bool Write(const Root& root, const std::string& extra) {
    root.Module("alpha", Definition("alpha", "", extra));
    spinetest::Install({&root});
    return true;
  }
  Root root;
  // Members are made in this order: the files are in place before the PM_SPEC opens them.
  const bool installed;
  PM_SPEC spec{"alpha", PM_BINDING_SUPPORTED_ONLY};
  PM_DEVKEY store{"alpha", &spec, 0, 0, 1};
};

}  // namespace

// The splitting itself is the reader's; a store answers null for an empty field or a bad address,
// its C-string results share a buffer unless a result is passed back, and a fatal lookup that
// finds nothing is reported.
TEST(DevKeyLookups, BadAddressesAreNullResultsShareBuffersAndFatalOnesReportWhatTheyMiss) {
  AlphaInstall install(
      "K = a : b,c: d\nSPACES =    \nN = 12:34\n"
      "DEFAULT = plain\nDEFAULT_alpha = qualified:second\nA = first:x\nB = second\n");
  PM_DEVKEY& store = install.store;
  ASSERT_TRUE(store.get_validity());
  EXPECT_STREQ("c", store.getstringbykey("K", ":", 1, ",", 1));
  // Past the last field, blanks only, sep2 without sep1, a negative index, an absent key.
  EXPECT_EQ((std::vector<const char*>(5, nullptr)),
            (std::vector<const char*>{store.getstringbykey("K", ":", 3, nullptr, 0),
                                      store.getstringbykey("SPACES", nullptr, 0, nullptr, 0),
                                      store.getstringbykey("K", nullptr, 0, ",", 1),
                                      store.getstringbykey("K", ":", -1, nullptr, 0),
                                      store.getstringbykey("MISSING", nullptr, 0, nullptr, 0)}));
  // The architecture's own key comes before the plain one.
  EXPECT_EQ("qualified second", store.GetArchStringByKey("DEFAULT", ':', 0, 0, 0).str() + " " +
                                    store.GetArchStringByKey("DEFAULT", ':', 1, 0, 0).str());
  EXPECT_EQ((std::vector<int>{0, 34, 7, 0}),
            (std::vector<int>{store.GetInt32ByKey("MISSING", nullptr, 0, nullptr, 0),
                              store.GetInt32ByKey("N", ":", 1, nullptr, 0),
                              store.GetInt32ByString("5:7", ":", 1, nullptr, 0),
                              store.GetInt32ByString("5:7", ":", 2, nullptr, 0)}));
  EXPECT_EQ((std::pair<short, short>(2, 1)), store.GetMaxIndex("N", ':', ','));

  const char* first = store.getstringbykey("A", nullptr, 0, nullptr, 0);
  EXPECT_EQ(first, store.getstringbykey("B", nullptr, 0, nullptr, 0));
  const char* whole = store.getstringbykey("A", nullptr, 0, nullptr, 0);
  EXPECT_EQ("first:x first",
            std::string(whole) + " " + store.getstringbystring(whole, ":", 0, 0, 0));
  // Four buffers rotate: passing each result back walks them all and returns to the first.
  const char* chained = whole;
  for (int i = 0; i < 4; ++i) chained = store.getstringbystring(chained, nullptr, 0, nullptr, 0);
  EXPECT_EQ(whole, chained);

  // Fatal lookups report what they do not find, null specifications and a second manager too.
  pmtest::MessageCapture capture;
  EXPECT_EQ(34, store.GetInt32ByKeyFatal("N", ":", 1, nullptr, 0));
  EXPECT_EQ(0, store.GetInt32ByKeyFatal("MISSING", nullptr, 0, nullptr, 0));
  EXPECT_EQ(0, store.GetInt32ByStringFatal("1:2", ":", 5, nullptr, 0));
  const std::string location = store.getlocation();
  EXPECT_THAT(capture.messages(), ElementsAre(Says(KeySearchFailed, {"MISSING", location}),
                                              Says(StringSearchFailed, {"1:2", location})));

  // Unless decoding.
  capture.clear();
  PM_DEVKEY quiet("alpha", static_cast<PM_SPEC*>(nullptr), 1, 0, 1);
  PM_DEVKEY reported("alpha", static_cast<PM_SPEC*>(nullptr), 0, 0, 1);
  EXPECT_THAT(capture.messages(), ElementsAre(From(NoSpec)));
  EXPECT_FALSE(reported.get_validity() || reported.getstringbykey("K", nullptr, 0, nullptr, 0));

  capture.clear();
  { PM_INTDEVKEY_MGR second; }
  EXPECT_THAT(capture.messages(), ElementsAre(From(SecondDevKeyManager)));
}

TEST(DevKeyCache, DisabledCacheGivesEveryStoreItsOwnReader) {
  if (!spinetest::InChildWithEnv("PM_DEVKEY_CACHE", "no")) return;
  AlphaInstall install("K = v\n");
  const std::size_t before = PM_INTDEVKEY_MGR::Instance().count();
  PM_DEVKEY second("alpha", &install.spec, 0, 0, 1);
  EXPECT_NE(PMDevKeyReader(install.store), PMDevKeyReader(second));
  EXPECT_EQ("v", second.GetStringByKey("K", 0, 0, 0, 0));
  EXPECT_EQ(before + 1, PM_INTDEVKEY_MGR::Instance().count());  // still added, never hit
}

TEST(DevKeyFriends, FriendFilesAreReadNearestFirstAndTheOwnCopyLast) {
  Root root;
  root.Module("alpha", Definition("alpha", "beta"));
  root.Module("beta", Definition("beta", "gamma"));
  root.Module("gamma", Definition("gamma"));
  root.File("alpha/data/libarch.acd", "OWN = alpha\nALL = alpha\n");
  root.File("beta/data/libarch.acd", "NEAR = beta\nALL = beta\nFRIENDS = beta\n");
  root.File("gamma/data/libarch.acd", "FAR = gamma\nALL = gamma\nFRIENDS = gamma\n");
  spinetest::Install({&root});
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  ASSERT_EQ(2, spec.get_num_friends());

  PM_DEVKEY store("libarch", &spec, 1, 1, 1);
  ASSERT_TRUE(store.get_validity());
  EXPECT_STREQ("libarch.acd:alpha:-:-:ttt", PMDevKeyReader(store)->getcomparename());
  // FRIENDS: gamma's is read after beta's.
  EXPECT_EQ("alpha alpha beta gamma gamma ",
            Values(store, {"ALL", "OWN", "NEAR", "FAR", "FRIENDS"}));
  // An empty name reads each module's own definition file.
  PM_DEVKEY definitions("", &spec, 0, 1, 0);
  EXPECT_EQ("alpha beta 3",
            Values(definitions, {"ARCH_NAME", "ARCH_FRIEND"}) + std::to_string(definitions.size()));
}

// Stores of one file and flags share one reader; a part's store keys on its device and package
// and shares the file's keys.
TEST(DevKeyCache, StoresOfOneFileAndFlagsShareOneReaderAndPartStoresTheFilesKeys) {
  AlphaInstall install("K = v\n");
  PM_SPEC& spec = install.spec;
  const std::size_t before = PM_INTDEVKEY_MGR::Instance().count();
  PM_DEVKEY same("alpha.acd", &spec, 0, 0, 1);
  EXPECT_EQ(PMDevKeyReader(install.store), PMDevKeyReader(same));
  EXPECT_EQ(before, PM_INTDEVKEY_MGR::Instance().count());
  EXPECT_NE(PMDevKeyReader(same), PMDevKeyReader(PM_DEVKEY("alpha", &spec, 1, 0, 1)));  // decoded
  EXPECT_NE(PMDevKeyReader(same), PMDevKeyReader(PM_DEVKEY("alpha", &spec, 0, 0, 0)));  // uncached
  // Without any copy of the file the store is invalid.
  PM_DEVKEY nothing("nothing.acd", &spec, 0, 0, 1);
  EXPECT_FALSE(nothing.get_validity() || nothing.getstringbykey("K", nullptr, 0, nullptr, 0));
  EXPECT_TRUE(nothing.size() == 0 && !(nothing.begin() != nothing.end()));

  PMSpecImp imp(nullptr, "alpha", PM_BINDING_SUPPORTED_ONLY);
  const PMPartNames part{"xcab12e", "tq144", {"ab12e"}};
  PMDevKeyImp store(true);
  store.OpenForPart("", imp, part, {false, false, true});
  ASSERT_TRUE(store.valid());
  EXPECT_EQ("alpha.acd:alpha:xcab12e:tq144:fft 4",
            std::string(store.reader->getcomparename()) + " " +
                std::to_string(store.reader->getnsearchkeys()));
  EXPECT_EQ((Texts{"ab12e_alt", "ab12e_alt:tq144", "ab12e_int", "ab12e_int:tq144", "xcab12e",
                   "xcab12e:tq144"}),
            PMPartSearchKeys({"xcab12e", "tq144", {"ab12e_int", "ab12e_alt"}}));
  PMDevKeyImp again(true);
  again.OpenForPart("alpha.acd", imp, part, {false, false, true});
  EXPECT_EQ(store.reader, again.reader);
  PMDevKeyImp otherPackage(true);
  otherPackage.OpenForPart("alpha", imp, {"xcab12e", "cs144", {}}, {false, false, true});
  EXPECT_NE(store.reader, otherPackage.reader);
  EXPECT_EQ(2, otherPackage.reader->getnsearchkeys());
  // Both stand for the same file: the second holds the first one's keys instead of reading it.
  EXPECT_EQ(store.reader->getkeyeddata("K"), otherPackage.reader->getkeyeddata("K"));
}

TEST(DevKeyDebugStream, NamedFileIsCreatedEmptyAtLoad) {
  pmtest::TempDir dir;
  const std::string path = dir / "debug.txt";
  if (!std::getenv("PM_DEBUG_FILE")) {
    pmtest::WriteFile(path, "earlier content\n");
    // The child writes through the stream; its output must replace the earlier content.
    if (!spinetest::InChildWithEnv("PM_DEBUG_FILE", path.c_str())) {
      EXPECT_EQ("#marker\n", pmtest::ReadFile(path));
    }
    return;
  }
  PMDebugStream::Instance().indented() << "marker" << std::endl;
}
