// Parts: level tests and their messages, DISALLOW_SPEEDS, defaults, comparison, the lists by
// depth, the architecture list, macro lists and the dump.
#include <algorithm>

#include "validation_fixture.h"

using Port::MsgKind;
using spinetest::Root;
using namespace validationtest;
using namespace pmlib::msg;
using pmtest::Expand;
using pmtest::From;
using testing::ElementsAre;

namespace {

using Texts = std::vector<std::string>;

// A CPLD family: xcd1 has packages and speeds (one speed disallowed), xcd2 has nothing.
const std::vector<ModuleRow> kCpld = {
    {"fam", "CPLD", "xcd1,d1:xcd2,d2", "d1.pkg=tq144,cs49 d1.spd=-4,-5i,-0",
     "DISALLOW_SPEEDS = -1, -5I\n"},
    {"bare", "CPLD", "xcb1,b1"},
    {"empty", "CPLD", ""},
};

}  // namespace

// isvalid names the first level that fails: the messages (their names) are the only ones issued,
// and none when quiet. The name tests speak only when asked and never change the part.
TEST(PartValidity, TestsNameTheFirstLevelThatFailsAndSpeakOnlyWhenAsked) {
  const InstalledModules install(kCpld);
  // Each row: the levels, isvalid's two flags, then its answer and the messages.
  struct {
    const char *device, *package, *speed;
    int toSpeed, quiet;
    const char* expected;
  } const cases[] = {
      {"xcd1", nullptr, nullptr, 0, 0, "0 PicNotDownToPackage"},
      {"xcd1", "tq144", nullptr, 0, 0, "1 "},
      {"xcd1", "tq144", nullptr, 1, 0, "0 PicNotDownToSpeed"},
      {"xcd2", "tq144", nullptr, 0, 0, "0 CannotFindPackage InvalidPackage"},
      {"xcd1", "tq144", "-5i", 1, 1, "0 "},
      {"xcd1", "tq144", "-5i", 1, 0, "0 CannotFindSpeed InvalidSpeed"},
      {"xcd1", "tq144", "-4", 1, 0, "1 "},
  };
  for (const auto& c : cases) {
    const auto part = PartAt("fam", c.device, c.package, c.speed);
    pmtest::MessageCapture capture;
    const std::string valid = std::to_string(part->isvalid(c.toSpeed, c.quiet));
    EXPECT_EQ(c.expected, valid + " " + MessageNames(capture.messages())) << Levels(*part);
    EXPECT_EQ(capture.of(MsgKind::Internal).size(), capture.messages().size()) << Levels(*part);
  }

  pmtest::MessageCapture capture;
  EXPECT_EQ(0, Part(nullptr)->isvaliddevicename("xcd1", 0));
  const auto part = Part("fam");
  EXPECT_EQ(0, part->isvalidpackagename("tq144", 0) + part->isvalidspeedname("-4", 0));
  EXPECT_THAT(capture.of(MsgKind::Status),
              ElementsAre(From(DeviceNameNeedsModule), From(PackageNameNeedsDevice),
                          From(SpeedNameNeedsDevice)));
  EXPECT_EQ(0, part->isvaliddevicename("xcd7", 0));
  EXPECT_EQ("CannotFindDevice", MessageNames(capture.messages()));

  capture.clear();
  part->set_device("xcd1");
  // "-5I" is disallowed in any letter case; "-1" is disallowed, and no such grade either.
  EXPECT_EQ((std::vector<int>{0, 1, 0, 0, 1}),
            (std::vector<int>{part->isvalidpackagename("", 0), part->isvalidpackagename("CS49", 1),
                              part->isvalidspeedname("-5I", 1), part->isvalidspeedname("-1", 1),
                              part->isvalidspeedname("-4", 1)}));
  EXPECT_TRUE(capture.messages().empty());
  EXPECT_EQ("fam/xcd1/-/- @2", Levels(*part));
}

// Defaults are the first entries of each level's list, and an empty list is fatal. The walk
// through every level is pinned with the list cache; here: what each depth lists.
TEST(PartLists, DefaultsAreTheFirstEntriesAndEachDepthListsTheNextLevelWithTheSpeedFlags) {
  const InstalledModules install(kCpld);
  pmtest::MessageCapture capture;
  const auto defaulted = Part("fam");
  EXPECT_TRUE(defaulted->fill_defaults());
  EXPECT_EQ("fam/xcd1/tq144/-4 @4", Levels(*defaulted));  // "-1" and "-5I" are not offered
  EXPECT_EQ((Texts{"defaulting device to 'xcd1'\n", "defaulting package to 'tq144'\n",
                   "defaulting speed to '-4'\n"}),
            capture.texts(MsgKind::Debug));
  const auto speedOnly = PartAt("fam", "xcd2", nullptr, "-9");
  EXPECT_TRUE(speedOnly->fill_defaults());
  EXPECT_EQ("fam/xcd2/-/-9 @4", Levels(*speedOnly));

  // An empty list keeps the levels so far.
  EXPECT_FALSE(Part(nullptr)->fill_defaults());
  const auto bare = Part("bare");
  EXPECT_FALSE(bare->fill_defaults());
  EXPECT_EQ("bare/xcb1/-/- @2", Levels(*bare));
  const auto empty = Part("empty");
  EXPECT_FALSE(empty->fill_defaults());
  EXPECT_EQ("empty/-/-/- @1", Levels(*empty));
  EXPECT_EQ("FillDefaultsOnEmptyPic NoDefault NoDefault", MessageNames(capture.messages()));

  const auto part = PartAt("fam", "xcd1");
  EXPECT_EQ((Texts{"tq144", "cs49"}), NextLevel(*part));
  part->set_package("cs49");
  EXPECT_EQ(0, part->get_minspd());
  EXPECT_EQ(Texts{"-4"}, NextLevel(*part));  // no flag, nothing disallowed
  EXPECT_EQ("1 0", std::to_string(part->get_minspd()) + " " + std::to_string(part->get_411spd()));
  part->set_speed("-4");
  EXPECT_TRUE(NextLevel(*part).empty());
}

TEST(PartComparison, MatchesDeviceAndEqualityFollowTheLevels) {
  const InstalledModules install(kCpld);
  const auto part = PartAt("fam", "xcd1", "tq144", "-4");
  // A device name without "xc" matches; letter case counts.
  for (const auto& [name, matches] :
       {std::pair{"d1", true}, {"xcd1", true}, {"XCD1", false}, {"xcd2", false}}) {
    EXPECT_EQ(matches, part->matches_device(name)) << name;
  }
  EXPECT_FALSE(Part("fam")->matches_device("xcd1"));

  // The third pair differs in depth only.
  EXPECT_EQ((std::vector<bool>{true, false, false, true, false}),
            (std::vector<bool>{*part == *PartAt("fam", "xcd1", "tq144", "-4"),
                               *part == *PartAt("fam", "xcd1", "tq144", "-5"),
                               *part == *PartAt("fam", "xcd1", "tq144"),
                               *Part("fam") == *Part("fam"), *Part("fam") == *Part("bare")}));
}

// "bolt" has no FAMILY: it is listed under its vendor alone; "nodata" has no device files,
// "logic" is logical, "prom" a configuration memory and "basic" a base architecture. A logical
// architecture is no installed physical one. "prom", in both roots, is listed once.
TEST(ArchitectureList, PhysicalArchitecturesWithDeviceDataOnceIgnoringCase) {
  Root first;
  Root last;
  WriteModules(
      last,
      {{"fpga", "FPGA", "xcf1,f1", "f1.nph f1.pkg=tq144"},
       {"nodata", "FPGA", "xcn1,n1"},
       {"prom", "CONFIG", "xcp1,p1"},
       {"basic", "CONFIG", "xcb1,b1", "", "BASE_MODE = TRUE\n"},
       {"bolt", "", "", "q1.pkg=pc44",
        "ARCH_TYPE = CPLD\nVENDOR = acme\nSUPPORT_MODE = PHYSICAL\nDEVICE_INTERNAL = xcq1,q1\n"},
       {"logic", "", "", "",
        "VENDOR = Acme\nFAMILY = logic\nSUPPORT_MODE = LOGICAL\nDEVICE_INTERNAL = xcl1,l1\n"}});
  WriteModules(first, {{"prom", "CONFIG", "xcp1,p1"}});
  spinetest::Install({&first, &last});
  const pmtest::MessageCapture quiet;
  const auto part = Part(nullptr);
  for (const char* mode : {static_cast<const char*>(nullptr), "PHYSICAL", "LOGICAL"}) {
    part->make_list(mode, nullptr, mode != nullptr);
    EXPECT_EQ(mode && *mode == 'L' ? "" : "acme,Acme:fpga", JoinedNames(Listed(*part)))
        << (mode ? mode : "any");
  }
  EXPECT_EQ("-/-/-/- @0", Levels(*part));
  PMPicImp lister(nullptr, PM_BINDING_SUPPORTED_ONLY);
  lister.make_list(nullptr, nullptr, true, 1);
  EXPECT_EQ(
      "acme,Acme:basic,Acme:fpga,Acme:prom",
      JoinedNames(Texts(lister.GetListVector(false).begin(), lister.GetListVector(false).end())));
}

TEST(MacroList, MacroFilesOfTheBaseInstallationSortedIgnoringCase) {
  Root first;
  Root last;
  last.Module("fam", Module("fam", "CPLD", "xcd1,d1"));
  for (const char* file : {"fam/b.nmc", "fam/A.nmc", "fam/c.txt"}) last.File(file, "");
  first.File("fam/z.nmc", "");
  spinetest::Install({&first, &last});
  pmtest::MessageCapture capture;
  const auto part = Part("fam");
  part->make_macrolist();
  EXPECT_EQ((Texts{"A", "b"}), Listed(*part));

  const auto empty = Part(nullptr);
  empty->make_macrolist();
  EXPECT_TRUE(Listed(*empty).empty());
  EXPECT_EQ("BadModuleName", MessageNames(capture.messages()));
}

TEST(PartDump, PrintsEveryLine) {
  const InstalledModules install({{"fam", "CPLD", "xcd1,d1", "d1.pkg=tq144", "RANGES = C,I\n"}});
  pmtest::MessageCapture capture;
  PartAt("fam", "xcd1", "tq144", "-4i")->printme("ignored");
  EXPECT_EQ(
      (Texts{Expand(DumpSpecName, {"PM_PIC ", "fam"}), Expand(DumpFriendCount, {"0"}),
             Expand(DumpListSize, {"0"}), Expand(DumpPicStatus, {"Supported", ""}),
             Expand(DumpPicNames, {"Acme", "fam", "xcd1", "tq144", "-4i"}),
             Expand(DumpDatabook, {"xcd1-4itq144"}), Expand(DumpMinimumSpeed, {"no "}),
             Expand(DumpRange, {"I"}), DumpSupportedRanges.text, Expand(DumpSupportedRange, {"C"}),
             Expand(DumpSupportedRange, {"I"}), DumpLineEnd.text}),
      capture.texts(MsgKind::Status));

  capture.clear();
  PartAt("fam", "xcd1")->printme(nullptr);
  const Texts lines = capture.texts(MsgKind::Status);
  ASSERT_EQ(11u, lines.size());  // no minimum-speed line without a package
  EXPECT_EQ(Expand(DumpPicNames, {"Acme", "fam", "xcd1", "-", "-"}), lines[4]);
  EXPECT_EQ(Expand(DumpRange, {"C"}), lines[6]);
}
