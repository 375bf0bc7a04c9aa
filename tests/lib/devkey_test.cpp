// Key stores: field addressing, C-string result buffers, integer lookups and their messages,
// the reader cache and its key, and friend reads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "pmlib/pmdevkey.h"
#include "pmlib/pmspec.h"
#include "pmtest.h"
#include "spine_fixture.h"
#include "../../s/baspmdevkey.h"
#include "../../s/baspmspec.h"

using spinetest::Definition;
using spinetest::Root;

namespace {

// An installation with the module alpha whose definition holds `extra`.
struct AlphaInstall {
  explicit AlphaInstall(const std::string& extra) {
    root.Module("alpha", Definition("alpha", "", extra));
    spinetest::Install({&root});
  }
  Root root;
};

}  // namespace

TEST(DevKeyAddressing, CStringFieldsFollowSeparatorsAndTrimSpaces) {
  AlphaInstall install("K = a : b,c: d\nBLANK = \"   \"\nSPACES =    \nPADDED =   x y  \n");
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  PM_DEVKEY store("alpha", &spec, 0, 0, 1);
  ASSERT_TRUE(store.get_validity());

  EXPECT_STREQ("b", store.getstringbykey("K", ":", 1, ",", 0));
  EXPECT_STREQ("c", store.getstringbykey("K", ":", 1, ",", 1));
  EXPECT_EQ(nullptr, store.getstringbykey("K", ":", 1, ",", 2));  // a ":" comes first
  EXPECT_STREQ("d", store.getstringbykey("K", ":", 2, nullptr, 0));
  EXPECT_EQ(nullptr, store.getstringbykey("K", ":", 3, nullptr, 0));
  EXPECT_STREQ("x y", store.getstringbykey("PADDED", nullptr, 0, nullptr, 0));
  EXPECT_EQ(nullptr, store.getstringbykey("SPACES", nullptr, 0, nullptr, 0));
  EXPECT_EQ(nullptr, store.getstringbykey("K", nullptr, 0, ",", 1));  // sep2 without sep1
  EXPECT_EQ(nullptr, store.getstringbykey("K", ":", -1, nullptr, 0));

  EXPECT_EQ("b", store.GetStringByKey("K", ':', 1, ',', 0));
  EXPECT_EQ("c", store.GetStringByString("x:b,c", ':', 1, ',', 1));
}

TEST(DevKeyAddressing, AbsentKeysGiveEmptyNullAndZero) {
  AlphaInstall install("N = 12:34\n");
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  PM_DEVKEY store("", &spec, 0, 0, 1);

  EXPECT_EQ(nullptr, store.getstringbykey("MISSING", nullptr, 0, nullptr, 0));
  EXPECT_TRUE(store.GetStringByKey("MISSING", 0, 0, 0, 0).empty());
  EXPECT_EQ(0, store.GetInt32ByKey("MISSING", nullptr, 0, nullptr, 0));
  EXPECT_EQ(34, store.GetInt32ByKey("N", ":", 1, nullptr, 0));
  EXPECT_EQ(7, store.GetInt32ByString("5:7", ":", 1, nullptr, 0));
  EXPECT_EQ(0, store.GetInt32ByString("5:7", ":", 2, nullptr, 0));
  EXPECT_EQ((std::pair<short, short>(2, 1)), store.GetMaxIndex("N", ':', ','));
  EXPECT_EQ((std::pair<short, short>(0, 0)), store.GetMaxIndex("MISSING", ':', ','));
}

TEST(DevKeyAddressing, ArchStringIsQualifiedByArchName) {
  AlphaInstall install("DEFAULT = plain\nDEFAULT_alpha = qualified:second\n");
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  PM_DEVKEY store("alpha", &spec, 0, 0, 1);
  EXPECT_EQ("qualified", store.GetArchStringByKey("DEFAULT", ':', 0, 0, 0));
  EXPECT_EQ("second", store.GetArchStringByKey("DEFAULT", ':', 1, 0, 0));
}

TEST(DevKeyResults, SuccessiveLookupsShareABufferUnlessAResultIsPassedBack) {
  AlphaInstall install("A = first:x\nB = second\n");
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  PM_DEVKEY store("alpha", &spec, 0, 0, 1);

  const char* first = store.getstringbykey("A", nullptr, 0, nullptr, 0);
  const char* second = store.getstringbykey("B", nullptr, 0, nullptr, 0);
  EXPECT_EQ(first, second);
  EXPECT_STREQ("second", first);

  const char* whole = store.getstringbykey("A", nullptr, 0, nullptr, 0);
  const char* field = store.getstringbystring(whole, ":", 0, nullptr, 0);
  EXPECT_NE(whole, field);
  EXPECT_STREQ("first:x", whole);
  EXPECT_STREQ("first", field);

  // Four buffers rotate: passing each result back walks them all and returns to the first.
  const char* chained = store.getstringbykey("A", nullptr, 0, nullptr, 0);
  const char* start = chained;
  for (int i = 0; i < 4; ++i) chained = store.getstringbystring(chained, nullptr, 0, nullptr, 0);
  EXPECT_EQ(start, chained);
}

TEST(DevKeyMessages, FatalIntegerLookupsReportTheKeyAndTheFile) {
  AlphaInstall install("N = 5\n");
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  PM_DEVKEY store("alpha", &spec, 0, 0, 1);
  pmtest::MessageCapture capture;

  EXPECT_EQ(5, store.GetInt32ByKeyFatal("N", nullptr, 0, nullptr, 0));
  EXPECT_TRUE(capture.messages().empty());
  EXPECT_EQ(0, store.GetInt32ByKeyFatal("MISSING", nullptr, 0, nullptr, 0));
  EXPECT_EQ(0, store.GetInt32ByStringFatal("1:2", ":", 5, nullptr, 0));

  const auto fatals = capture.of(Port::MsgKind::Fatal);
  ASSERT_EQ(2u, fatals.size());
  const std::string location = store.getlocation();
  EXPECT_EQ(1, fatals[0].code);
  EXPECT_EQ("PersonalityModule", fatals[0].domain);
  EXPECT_EQ("search for key MISSING in acd file " + location +
                " encountered NULL ptr.Make sure this file is correct\n",
            fatals[0].text);
  EXPECT_EQ("search for string 1:2 in acd file " + location +
                " encountered NULL ptr.Make sure this file is correct\n",
            fatals[1].text);
}

TEST(DevKeyMessages, NullSpecificationIsReportedUnlessDecoding) {
  pmtest::MessageCapture capture;
  PM_DEVKEY quiet("alpha", static_cast<PM_SPEC*>(nullptr), 1, 0, 1);
  EXPECT_TRUE(capture.messages().empty());
  PM_DEVKEY reported("alpha", static_cast<PM_SPEC*>(nullptr), 0, 0, 1);
  EXPECT_EQ(std::vector<std::string>{"No PM_SPEC specified.\n"},
            capture.texts(Port::MsgKind::Internal));
  EXPECT_FALSE(reported.get_validity());
  EXPECT_EQ(nullptr, reported.getstringbykey("K", nullptr, 0, nullptr, 0));
}

TEST(DevKeyCache, StoresOfOneFileAndFlagsShareOneReader) {
  AlphaInstall install("K = v\n");
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  const std::size_t before = PM_INTDEVKEY_MGR::Instance().count();
  PM_DEVKEY first("alpha.acd", &spec, 0, 0, 1);
  PM_DEVKEY second("alpha", &spec, 0, 0, 1);
  EXPECT_EQ(PMDevKeyReader(first), PMDevKeyReader(second));
  EXPECT_EQ(before, PM_INTDEVKEY_MGR::Instance().count());  // the PM_SPEC opened it already

  PM_DEVKEY decoded("alpha", &spec, 1, 0, 1);
  EXPECT_NE(PMDevKeyReader(first), PMDevKeyReader(decoded));
  PM_DEVKEY uncached("alpha", &spec, 0, 0, 0);
  EXPECT_NE(PMDevKeyReader(first), PMDevKeyReader(uncached));
  EXPECT_EQ(0, uncached.usecache());
}

TEST(DevKeyCache, DisabledCacheGivesEveryStoreItsOwnReader) {
  if (!spinetest::InChildWithEnv("PM_DEVKEY_CACHE", "no")) return;
  AlphaInstall install("K = v\n");
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  const std::size_t before = PM_INTDEVKEY_MGR::Instance().count();
  PM_DEVKEY first("alpha", &spec, 0, 0, 1);
  PM_DEVKEY second("alpha", &spec, 0, 0, 1);
  EXPECT_NE(PMDevKeyReader(first), PMDevKeyReader(second));
  EXPECT_EQ("v", second.GetStringByKey("K", 0, 0, 0, 0));
  EXPECT_EQ(before + 2, PM_INTDEVKEY_MGR::Instance().count());  // still added, never hit
}

TEST(DevKeyCache, SecondManagerIsFatal) {
  EXPECT_NE(nullptr, UT_STATOBJ::Find("PM_INTDEVKEY_MGR"));
  pmtest::MessageCapture capture;
  { PM_INTDEVKEY_MGR second; }
  const auto fatals = capture.of(Port::MsgKind::Fatal);
  ASSERT_EQ(1u, fatals.size());
  EXPECT_EQ(22, fatals[0].code);
  EXPECT_EQ("Attempt to create second PM_INTDEVKEY_MGR\n", fatals[0].text);
}

TEST(DevKeyCache, KeysNameFileModulePartAndFlags) {
  const PMDevKeyFlags all{true, true, true};
  const PMDevKeyFlags none{false, false, false};
  EXPECT_EQ("libarch.acd:alpha:-:-:ttt", PMDevKeyCacheKey("libarch.acd", "alpha", "", "", all));
  EXPECT_EQ("alpha.acd:alpha:xcab12e:tq144:fff",
            PMDevKeyCacheKey("alpha.acd", "alpha", "xcab12e", "tq144", none));
  EXPECT_EQ("x.acd:-:-:-:tft", PMDevKeyCacheKey("x.acd", "", "", "", {true, false, true}));

  PMPartNames part{"xcab12e", "tq144", {"ab12e_int", "ab12e_alt"}};
  EXPECT_EQ((std::vector<std::string>{"ab12e_alt", "ab12e_alt:tq144", "ab12e_int",
                                      "ab12e_int:tq144", "xcab12e", "xcab12e:tq144"}),
            PMPartSearchKeys(part));
  EXPECT_EQ(std::vector<std::string>{"xcab12e"}, PMPartSearchKeys({"xcab12e", "", {}}));
  EXPECT_TRUE(PMPartSearchKeys({"", "", {}}).empty());
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
  EXPECT_EQ("alpha", store.GetStringByKey("ALL", 0, 0, 0, 0));
  EXPECT_EQ("alpha", store.GetStringByKey("OWN", 0, 0, 0, 0));
  EXPECT_EQ("beta", store.GetStringByKey("NEAR", 0, 0, 0, 0));
  EXPECT_EQ("gamma", store.GetStringByKey("FAR", 0, 0, 0, 0));
  EXPECT_EQ("gamma", store.GetStringByKey("FRIENDS", 0, 0, 0, 0));  // read after beta's

  // An empty name reads each module's own definition file.
  PM_DEVKEY definitions("", &spec, 0, 1, 0);
  EXPECT_EQ("alpha", definitions.GetStringByKey("ARCH_NAME", 0, 0, 0, 0));
  EXPECT_EQ("beta", definitions.GetStringByKey("ARCH_FRIEND", 0, 0, 0, 0));
  EXPECT_EQ(3u, definitions.size());
}

TEST(DevKeyFriends, WithoutAnyCopyTheStoreIsInvalid) {
  AlphaInstall install("K = v\n");
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  PM_DEVKEY store("nothing.acd", &spec, 0, 0, 1);
  EXPECT_FALSE(store.get_validity());
  EXPECT_EQ(nullptr, store.getstringbykey("K", nullptr, 0, nullptr, 0));
  EXPECT_EQ(0u, store.size());
  EXPECT_FALSE(store.begin() != store.end());
}

TEST(DevKeyDebugStream, NamedFileIsCreatedEmptyAtLoad) {
  pmtest::TempDir dir;
  const std::string path = dir / "debug.txt";
  const char* given = std::getenv("PM_DEBUG_FILE");
  if (!given) {
    pmtest::WriteFile(path, "earlier content\n");
    // The child writes through the stream; its output must replace the earlier content.
    if (!spinetest::InChildWithEnv("PM_DEBUG_FILE", path.c_str())) {
      EXPECT_EQ("#marker\n", pmtest::ReadFile(path));
    }
    return;
  }
  PMDebugStream::Instance().indented() << "marker" << std::endl;
}

TEST(DevKeyThreads, StoresOpenAndLookUpConcurrently) {
  AlphaInstall install("K = a:b,c\n");
  install.root.File("alpha/data/extra.acd", "E = 1:2\n");
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  std::vector<std::thread> threads;
  std::atomic<int> mismatches{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&spec, &mismatches] {
      for (int i = 0; i < 200; ++i) {
        PM_DEVKEY store(i % 2 ? "alpha" : "extra", &spec, 0, 0, 1);
        const char* field = i % 2 ? store.getstringbykey("K", ":", 1, ",", 1)
                                  : store.getstringbykey("E", ":", 1, nullptr, 0);
        if (!field) ++mismatches;
        if (store.GetStringByKey(i % 2 ? "K" : "E", ':', 0, 0, 0).empty()) ++mismatches;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(0, mismatches.load());
}

TEST(DevKeyPart, PartStoresKeyOnDeviceAndPackageAndPassSearchKeys) {
  AlphaInstall install("K = v\n");
  PMSpecImp spec(nullptr, "alpha", PM_BINDING_SUPPORTED_ONLY);
  const PMPartNames part{"xcab12e", "tq144", {"ab12e"}};
  PMDevKeyImp store(true);
  store.OpenForPart("", spec, part, {false, false, true});
  ASSERT_TRUE(store.valid());
  EXPECT_STREQ("alpha.acd:alpha:xcab12e:tq144:fft", store.reader->getcomparename());
  EXPECT_EQ(4, store.reader->getnsearchkeys());
  EXPECT_EQ((std::vector<std::string>{"ab12e", "ab12e:tq144", "xcab12e", "xcab12e:tq144"}),
            store.reader->getsearchkeys());

  PMDevKeyImp again(true);
  again.OpenForPart("alpha.acd", spec, part, {false, false, true});
  EXPECT_EQ(store.reader, again.reader);
  PMDevKeyImp otherPackage(true);
  otherPackage.OpenForPart("alpha", spec, {"xcab12e", "cs144", {}}, {false, false, true});
  EXPECT_NE(store.reader, otherPackage.reader);
  EXPECT_EQ(2, otherPackage.reader->getnsearchkeys());
  // Both stand for the same file: the second holds the first one's keys instead of reading it.
  EXPECT_EQ(store.reader->version(), otherPackage.reader->version());
  EXPECT_EQ(store.reader->getkeyeddata("K"), otherPackage.reader->getkeyeddata("K"));
}
