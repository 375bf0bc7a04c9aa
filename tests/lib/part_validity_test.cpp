// Parts: level tests and their messages, DISALLOW_SPEEDS, defaults, comparison, the lists by
// depth, the architecture list, macro lists and the dump.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "validation_fixture.h"

using Port::MsgKind;
using spinetest::Root;
using namespace validationtest;

namespace {

using Texts = std::vector<std::string>;

// A CPLD family: xcd1 has packages and speeds (one speed disallowed), xcd2 has nothing.
struct CpldInstall {
  CpldInstall() {
    root.Module("fam", Module("fam", "CPLD", "xcd1,d1:xcd2,d2", "DISALLOW_SPEEDS = -1, -5I\n"));
    DataFile(root, "fam", "d1.pkg", {"tq144", "cs49"});
    DataFile(root, "fam", "d1.spd", {"-4", "-5i", "-0"});
    root.Module("bare", Module("bare", "CPLD", "xcb1,b1"));
    root.Module("empty", Module("empty", "CPLD", ""));
    spinetest::Install({&root});
  }
  Root root;
};

std::unique_ptr<PM_PIC> FullPart(const char* speed) {
  auto part = Part("fam");
  part->set_device("xcd1");
  part->set_package("tq144");
  if (speed) part->set_speed(speed);
  return part;
}

}  // namespace

TEST(PartValidity, IsValidNamesTheFirstLevelThatFails) {
  CpldInstall install;
  pmtest::MessageCapture capture;
  auto part = Part("fam");
  part->set_device("xcd1");
  EXPECT_EQ(0, part->isvalid(0, 0));
  EXPECT_EQ(Texts{"PIC is not specified down to the package level"},
            capture.texts(MsgKind::Internal));

  capture.clear();
  part = FullPart(nullptr);
  EXPECT_EQ(1, part->isvalid(0, 0));
  EXPECT_EQ(0, part->isvalid(1, 0));
  EXPECT_EQ(Texts{"PIC is not specified down to the speed level"},
            capture.texts(MsgKind::Internal));

  capture.clear();
  part->set_device("xcd2");
  part->set_package("tq144");
  EXPECT_EQ(0, part->isvalid(0, 0));
  EXPECT_EQ((Texts{"Cannot find package tq144 in personality module fam",
                   "package \"tq144\" is not valid.\n"}),
            capture.texts(MsgKind::Internal));

  capture.clear();
  part = FullPart("-5i");
  EXPECT_EQ(0, part->isvalid(1, 1));
  EXPECT_TRUE(capture.messages().empty());
  EXPECT_EQ(0, part->isvalid(1, 0));
  EXPECT_EQ((Texts{"Cannot find speed -5i in personality module fam",
                   "speed \"-5i\" is not valid.\n"}),
            capture.texts(MsgKind::Internal));
  EXPECT_EQ(1, FullPart("-4")->isvalid(1, 0));
}

TEST(PartValidity, NameTestsSpeakOnlyWhenAskedAndNeverChangeThePart) {
  CpldInstall install;
  pmtest::MessageCapture capture;
  const auto empty = Part(nullptr);
  EXPECT_EQ(0, empty->isvaliddevicename("xcd1", 0));
  EXPECT_EQ(Texts{"Cannot find device name, because personality module is not specified\n"},
            capture.texts(MsgKind::Status));
  EXPECT_TRUE(capture.texts(MsgKind::Internal).empty());

  capture.clear();
  const auto part = Part("fam");
  EXPECT_EQ(0, part->isvalidpackagename("tq144", 0));
  EXPECT_EQ(0, part->isvalidspeedname("-4", 0));
  EXPECT_EQ((Texts{"Cannot find package name, because device is not specified\n",
                   "Cannot find speed name, because device is not specified"}),
            capture.texts(MsgKind::Status));
  EXPECT_EQ(0, part->isvaliddevicename("xcd7", 0));
  EXPECT_EQ(Texts{"Cannot find device xcd7 in personality module fam\n"},
            capture.texts(MsgKind::Internal));

  capture.clear();
  part->set_device("xcd1");
  EXPECT_EQ(0, part->isvalidpackagename("", 0));
  EXPECT_TRUE(capture.messages().empty());
  EXPECT_EQ(1, part->isvalidpackagename("CS49", 1));
  EXPECT_EQ(0, part->isvalidspeedname("-5I", 1));  // disallowed in any letter case
  EXPECT_EQ(0, part->isvalidspeedname("-1", 1));   // disallowed, and no such grade either
  EXPECT_EQ(1, part->isvalidspeedname("-4", 1));
  EXPECT_EQ(2, part->get_depth());
}

TEST(PartDefaults, FirstEntriesOfEachLevelWithTraces) {
  CpldInstall install;
  pmtest::MessageCapture capture;
  const auto part = Part("fam");
  EXPECT_TRUE(part->fill_defaults());
  EXPECT_EQ("xcd1", std::string(part->get_device()));
  EXPECT_EQ("tq144", std::string(part->get_package()));
  EXPECT_EQ("-4", std::string(part->get_speed()));  // "-1" and "-5I" are not offered
  EXPECT_EQ((Texts{"defaulting device to 'xcd1'\n", "defaulting package to 'tq144'\n",
                   "defaulting speed to '-4'\n"}),
            capture.texts(MsgKind::Debug));

  const auto speedOnly = Part("fam");
  speedOnly->set_device("xcd2");
  speedOnly->set_speed("-9");
  EXPECT_TRUE(speedOnly->fill_defaults());
  EXPECT_EQ(nullptr, speedOnly->get_package());
}

TEST(PartDefaults, EmptyListsAreFatalAndKeepTheLevelsSoFar) {
  CpldInstall install;
  pmtest::MessageCapture capture;
  EXPECT_FALSE(Part(nullptr)->fill_defaults());
  EXPECT_EQ(Texts{"fill defaults called on empty PM_PIC\n"}, capture.texts(MsgKind::Internal));

  const auto bare = Part("bare");
  EXPECT_FALSE(bare->fill_defaults());
  EXPECT_EQ(Texts{"fill_defaults: cannot find a default package\n"},
            capture.texts(MsgKind::Fatal));
  EXPECT_EQ(19, capture.of(MsgKind::Fatal).at(0).code);
  EXPECT_EQ("xcb1", std::string(bare->get_device()));
  EXPECT_EQ(2, bare->get_depth());

  capture.clear();
  const auto empty = Part("empty");
  EXPECT_FALSE(empty->fill_defaults());
  EXPECT_EQ(Texts{"fill_defaults: cannot find a default device\n"},
            capture.texts(MsgKind::Fatal));
  EXPECT_EQ(1, empty->get_depth());
}

TEST(PartLists, EachDepthListsTheNextLevel) {
  CpldInstall install;
  const auto part = Part("fam");
  part->make_list(nullptr, nullptr, 0);
  EXPECT_EQ((Texts{"xcd1", "xcd2"}), Listed(*part));
  part->set_device("xcd1");
  part->make_list(nullptr, nullptr, 0);
  EXPECT_EQ((Texts{"tq144", "cs49"}), Listed(*part));
  part->set_package("cs49");
  EXPECT_EQ(0, part->get_minspd());
  part->make_list(nullptr, nullptr, 0);
  EXPECT_EQ(Texts{"-4"}, Listed(*part));
  EXPECT_EQ(1, part->get_minspd());
  EXPECT_EQ(0, part->get_411spd());
  part->set_speed("-4");
  part->make_list(nullptr, nullptr, 0);
  EXPECT_TRUE(Listed(*part).empty());
}

TEST(PartComparison, MatchesDeviceAndEqualityFollowTheLevels) {
  CpldInstall install;
  const auto part = FullPart("-4");
  EXPECT_TRUE(part->matches_device("d1"));   // device name without "xc"
  EXPECT_TRUE(part->matches_device("xcd1"));
  EXPECT_FALSE(part->matches_device("XCD1"));
  EXPECT_FALSE(part->matches_device("xcd2"));
  EXPECT_FALSE(Part("fam")->matches_device("xcd1"));

  EXPECT_TRUE(*part == *FullPart("-4"));
  EXPECT_FALSE(*part == *FullPart("-5"));
  EXPECT_FALSE(*part == *FullPart(nullptr));  // the depths differ
  EXPECT_TRUE(*Part("fam") == *Part("fam"));
  EXPECT_FALSE(*Part("fam") == *Part("bare"));
}

TEST(ArchitectureList, PhysicalArchitecturesWithDeviceDataOnceIgnoringCase) {
  Root first;
  Root last;
  last.Module("fpga", Module("fpga", "FPGA", "xcf1,f1", "ALIAS_fpga = effy\n"));
  DeviceFile(last, "fpga", "f1");
  DataFile(last, "fpga", "f1.pkg", {"tq144"});
  last.Module("nodata", Module("nodata", "FPGA", "xcn1,n1"));
  last.Module("prom", Module("prom", "CONFIG", "xcp1,p1"));
  last.Module("basic", Module("basic", "CONFIG", "xcb1,b1", "BASE_MODE = TRUE\n"));
  last.Module("bolt", spinetest::Definition("bolt", "",
                                            "ARCH_TYPE = CPLD\nVENDOR = acme\nSUPPORT_MODE = "
                                            "PHYSICAL\nDEVICE_INTERNAL = xcq1,q1\n"));
  DataFile(last, "bolt", "q1.pkg", {"pc44"});
  last.Module("logic", spinetest::Definition("logic", "",
                                             "VENDOR = Acme\nFAMILY = logic\nSUPPORT_MODE = "
                                             "LOGICAL\nDEVICE_INTERNAL = xcl1,l1\n"));
  first.Module("prom", Module("prom", "CONFIG", "xcp1,p1"));
  spinetest::Install({&first, &last});

  pmtest::MessageCapture capture;
  const auto part = Part(nullptr);
  part->make_list(nullptr, nullptr, 0);
  // "bolt" has no FAMILY: it is listed under its vendor alone; "nodata" has no device files,
  // "logic" is logical, "prom" a configuration memory and "basic" a base architecture.
  EXPECT_EQ((Texts{"acme", "Acme:fpga"}), Listed(*part));
  EXPECT_EQ(0, part->get_depth());
  EXPECT_EQ(nullptr, part->get_pm());
  auto_array<char> proper = part->GetProperName("effy", false);
  ASSERT_TRUE(proper);
  EXPECT_EQ("fpga", std::string(proper.get()));

  part->make_list("PHYSICAL", nullptr, 1);
  EXPECT_EQ((Texts{"acme", "Acme:fpga"}), Listed(*part));
  part->make_list("LOGICAL", nullptr, 1);
  EXPECT_TRUE(Listed(*part).empty());  // a logical architecture is no installed physical one

  PMPicImp lister(nullptr, PM_BINDING_SUPPORTED_ONLY);
  lister.make_list(nullptr, nullptr, true, 1);
  EXPECT_EQ((std::vector<std::string>(lister.GetListVector(false).begin(),
                                      lister.GetListVector(false).end())),
            (Texts{"acme", "Acme:basic", "Acme:fpga", "Acme:prom"}));
  // The copy of "prom" in the first root is found there, and said to override the last one.
  const std::string override = "PMSPEC: " + first.path() + "/prom/data/prom.acd overrides " +
                               last.path() + "/prom/data/prom.acd\n";
  const Texts warnings = capture.texts(MsgKind::Warning);
  EXPECT_NE(0, std::count(warnings.begin(), warnings.end(), override));
}

TEST(MacroList, MacroFilesOfTheBaseInstallationSortedIgnoringCase) {
  Root first;
  Root last;
  last.Module("fam", Module("fam", "CPLD", "xcd1,d1"));
  last.File("fam/b.nmc", "");
  last.File("fam/A.nmc", "");
  last.File("fam/c.txt", "");
  first.File("fam/z.nmc", "");
  spinetest::Install({&first, &last});
  pmtest::MessageCapture capture;
  const auto part = Part("fam");
  part->make_macrolist();
  EXPECT_EQ((Texts{"A", "b"}), Listed(*part));

  const auto empty = Part(nullptr);
  empty->make_macrolist();
  EXPECT_TRUE(Listed(*empty).empty());
  EXPECT_EQ(Texts{"bad pm name <NULL>\n"}, capture.texts(MsgKind::Warning));
}

TEST(PartDump, PrintsEveryLineExactly) {
  Root root;
  root.Module("fam", Module("fam", "CPLD", "xcd1,d1", "RANGES = C,I\n"));
  DataFile(root, "fam", "d1.pkg", {"tq144"});
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  auto part = Part("fam");
  part->set_device("xcd1");
  part->set_package("tq144");
  part->set_speed("-4i");
  part->printme("ignored");
  EXPECT_EQ((Texts{"PM_PIC :fam\n", "   0 pm_friends\n", "   list has 0 entries: \n",
                   "   pic is officially Supported, and valid\n",
                   "   vendor:family:device:package:speed = <Acme:fam:xcd1:tq144:-4i>\n",
                   "   Databook spec = [xcd1-4itq144]\n", "   Has no minimum speed\n",
                   "   Power Temperature Range = [I]\n",
                   "   The Supported Power Temperature Ranges are:", " C", " I", "\n"}),
            capture.texts(MsgKind::Status));

  capture.clear();
  part = Part("fam");
  part->set_device("xcd1");
  part->printme(nullptr);
  const Texts lines = capture.texts(MsgKind::Status);
  ASSERT_EQ(11u, lines.size());  // no minimum-speed line without a package
  EXPECT_EQ("   vendor:family:device:package:speed = <Acme:fam:xcd1:-:->\n", lines[4]);
  EXPECT_EQ("   Power Temperature Range = [C]\n", lines[6]);
}

namespace {

// A part as parsing with error recording leaves it: a status and the rejected text of its level.
class RecordedPart : public PMPicImp {
 public:
  RecordedPart(int status, const char* rejected) : PMPicImp(nullptr, PM_BINDING_SUPPORTED_ONLY) {
    errorStatus = status;
    (status == 3 ? rejectedPackage : rejectedSpeed) = rejected;
  }
};

}  // namespace

TEST(PartStatus, RejectedTextIsHandedOutAndAnEmptyOneResetsTheErrorStatus) {
  RecordedPart package(3, "zz9");
  const char* text = "untouched";
  EXPECT_EQ(3, package.PicStatus(text));
  EXPECT_EQ("zz9", std::string(text));
  EXPECT_EQ(3, package.ErrorStatus(text));

  RecordedPart noSpeed(4, "");
  text = "untouched";
  EXPECT_EQ(4, noSpeed.PicStatus(text));
  EXPECT_EQ("untouched", std::string(text));
  EXPECT_EQ(0, noSpeed.ErrorStatus(text));
  EXPECT_EQ(0, noSpeed.PicStatus(text));
}
