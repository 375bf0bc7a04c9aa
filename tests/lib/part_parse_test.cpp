// Part-name parsing: device formats and speeds, the architecture search (bare names, "base", the
// pattern file, the installed architectures), error status, the three-string form and the
// part-name tests.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "validation_fixture.h"

using Port::MsgKind;
using spinetest::Root;
using namespace validationtest;

namespace {

using Texts = std::vector<std::string>;

// "fam": an FPGA family with the device template "xcab__e"; xcab12e is complete, xcab40e is
// declared but has no files.
struct FamilyInstall {
  FamilyInstall() {
    root.Module("fam", Module("fam", "FPGA", "xcab12e,ab12e:xcab40e,ab40e",
                              "DEVICE_FORMAT = xcab__e\n"));
    DeviceFile(root, "fam", "ab12e");
    DataFile(root, "fam", "ab12e.pkg", {"tq144", "cs144"});
    DataFile(root, "fam", "ab12e.spd", {"-3", "-4"});
  }
  void Install() const { spinetest::Install({&root}); }
  Root root;
};

std::string Text(const char* text) { return text ? text : "(null)"; }

// "arch/device/package/speed" of a part.
std::string Levels(const PM_PIC& part) {
  return Text(part.get_arch()) + "/" + Text(part.get_device()) + "/" + Text(part.get_package()) +
         "/" + Text(part.get_speed());
}

// The status and rejected text of a part.
std::string Status(const PM_PIC& part) {
  const char* text = "";
  const int status = part.getpicstatus(text);
  return std::to_string(status) + ":" + text;
}

}  // namespace

TEST(PartParse, SpeedAtTheEndInTheMiddleOrMissingInAnyLetterCase) {
  FamilyInstall install;
  install.Install();
  for (const char* name : {"xcab12etq144-3", "XCAB12E-3TQ144", "xcab12e-3-tq144", "ab12etq144-3"}) {
    const PM_PIC part(name, 1, PM_BINDING_SUPPORTED_ONLY);
    EXPECT_EQ("fam/xcab12e/tq144/-3", Levels(part)) << name;
    EXPECT_EQ("0:", Status(part)) << name;
    EXPECT_TRUE(part.IsValid()) << name;
  }
  const PM_PIC noSpeed("xcab12etq144", 1, PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ("fam/xcab12e/tq144/(null)", Levels(noSpeed));
  EXPECT_EQ(3, noSpeed.get_depth());
  EXPECT_EQ("4:", Status(noSpeed));
  const char* text = nullptr;
  EXPECT_EQ(0, noSpeed.geterrorstatus(text));
}

TEST(PartParse, BareArchitectureNameAndBase) {
  FamilyInstall install;
  install.Install();
  const PM_PIC arch("FAM", 1, PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ(1, arch.get_depth());
  EXPECT_EQ("fam/(null)/(null)/(null)", Levels(arch));
  EXPECT_EQ("0:", Status(arch));

  const PM_PIC base("base", 1, PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ(0, base.get_depth());
  EXPECT_EQ("1:base", Status(base));
}

TEST(PartParse, EachFailingLevelIsRecordedWithItsText) {
  FamilyInstall install;
  install.Install();
  EXPECT_EQ("1:zz99", Status(PM_PIC("ZZ99", 1, PM_BINDING_SUPPORTED_ONLY)));
  const PM_PIC badDevice("xcab40etq144-3", 1, PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ("2:xcab40e", Status(badDevice));
  EXPECT_EQ("fam/(null)/(null)/(null)", Levels(badDevice));
  const PM_PIC badPackage("xcab12ebg999-3", 1, PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ("3:bg999", Status(badPackage));
  EXPECT_EQ("fam/xcab12e/(null)/-3", Levels(badPackage));
  EXPECT_EQ("4:-9", Status(PM_PIC("xcab12etq144-9", 1, PM_BINDING_SUPPORTED_ONLY)));
  // A device is found only at the start of the name, never after a line break inside it.
  EXPECT_EQ("1:q\rxcab12etq144-3", Status(PM_PIC("q\rXCAB12ETQ144-3", 1, PM_BINDING_SUPPORTED_ONLY)));
  // Without recording nothing is kept.
  EXPECT_EQ("0:", Status(PM_PIC("xcab12ebg999-3", 0, PM_BINDING_SUPPORTED_ONLY)));
}

// Two families whose formats both match "xcqq1b...": "aaa" takes the device "xcqq1", "bbb" the
// device "xcqq1b". A partial match leaves its levels and the search goes on.
TEST(PartParse, APartialMatchLetsTheSearchGoOnAndAlternativeFormatsCount) {
  Root root;
  root.Module("aaa", Module("aaa", "CPLD", "xcqq1,qq1", "DEVICE_FORMAT = xcqq_\n"));
  DataFile(root, "aaa", "qq1.pkg", {"tq144"});
  root.Module("bbb", Module("bbb", "CPLD", "xcqq1b,qq1b", "DEVICE_FORMAT = #^x?c?qq[0-9]+b\n"));
  DataFile(root, "bbb", "qq1b.pkg", {"g9"});
  // Only the alternative format names "alt"'s devices; the first one names none.
  root.Module("alt", Module("alt", "CPLD", "xcmm7,mm7",
                            "DEVICE_FORMAT = #^nothing\nALT_DEVICE_FORMAT = mm_\n"));
  DataFile(root, "alt", "mm7.pkg", {"pq208"});
  // A template with a trailing run of digits: "xcab40" then the package.
  root.Module("tail", Module("tail", "CPLD", "xcab40,ab40", "DEVICE_FORMAT = xcab__\n"));
  DataFile(root, "tail", "ab40.pkg", {"pq208"});
  DataFile(root, "tail", "ab40.spd", {"-5"});
  spinetest::Install({&root});

  EXPECT_EQ("bbb/xcqq1b/g9/(null)", Levels(PM_PIC("xcqq1bg9", 1, PM_BINDING_SUPPORTED_ONLY)));
  EXPECT_EQ("alt/xcmm7/pq208/(null)", Levels(PM_PIC("mm7pq208", 1, PM_BINDING_SUPPORTED_ONLY)));
  EXPECT_EQ("tail/xcab40/pq208/-5", Levels(PM_PIC("xcab40pq208-5", 1, PM_BINDING_SUPPORTED_ONLY)));
  // Both match partially: the later candidate's levels and status remain.
  const PM_PIC partial("xcqq1bzz", 1, PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ("bbb/xcqq1b/(null)/(null)", Levels(partial));
  EXPECT_EQ("3:zz", Status(partial));
}

TEST(PartParse, PatternFileIsAskedFirstAndRemembersWhatTheListFound) {
  FamilyInstall install;
  // "pat" has no device format: only the pattern file leads to it. A pattern of an architecture
  // that is not installed leads nowhere.
  install.root.Module("pat", Module("pat", "CPLD", "xcpt5,pt5"));
  DataFile(install.root, "pat", "pt5.pkg", {"so8"});
  install.root.File("data/patternfile",
                    "# architectures and their device expressions\n"
                    "absent=^x?c?pt[0-9]+\npat=^x?c?pt[0-9]+\nno equals sign\n");
  install.Install();
  EXPECT_EQ("pat/xcpt5/so8/(null)", Levels(PM_PIC("xcpt5so8", 1, PM_BINDING_SUPPORTED_ONLY)));

  // Found through the list, a part without package lacks it; the list's expression is then in
  // the pattern table, and through it a missing package is not held against the part.
  EXPECT_EQ("3:", Status(PM_PIC("xcab12e-3", 1, PM_BINDING_SUPPORTED_ONLY)).substr(0, 2));
  EXPECT_EQ("0:", Status(PM_PIC("xcab12e-3", 1, PM_BINDING_SUPPORTED_ONLY)));
}

TEST(PartParse, FormatThatDoesNotCompileIsFatalUnlessQuietAndTheSearchGoesOn) {
  FamilyInstall install;
  install.root.Module("bad", Module("bad", "CPLD", "xcbd1,bd1", "DEVICE_FORMAT = #^ab[\n"));
  DataFile(install.root, "bad", "bd1.pkg", {"so8"});
  install.Install();
  pmtest::MessageCapture capture;
  Port::String arch;
  EXPECT_FALSE(Part("fam")->isvalidpartname("zz1", arch, true));
  EXPECT_TRUE(capture.messages().empty());

  EXPECT_EQ("fam/xcab12e/tq144/-3",
            Levels(PM_PIC("xcab12etq144-3", 1, PM_BINDING_SUPPORTED_ONLY)));
  ASSERT_EQ(1u, capture.of(MsgKind::Fatal).size());
  EXPECT_EQ(22, capture.of(MsgKind::Fatal)[0].code);
  EXPECT_EQ(Texts{"Bad pattern found for PM bad\n"}, capture.texts(MsgKind::Fatal));
  EXPECT_TRUE(Part("fam")->isvalidpartname("xcab12e-4-cs144", arch, true));
  EXPECT_EQ("fam", arch.str());
}

TEST(PartParse, ThreeStringsWarnAboutVendorPartAndSpeed) {
  FamilyInstall install;
  install.Install();
  pmtest::MessageCapture capture;
  const PM_PIC part("acme:fam", "XCAB12E-3-TQ144", "-4");
  EXPECT_EQ("fam/xcab12e/tq144/-3", Levels(part));
  EXPECT_EQ(Texts{"The given speed <-4> is inconsistent with the speed <-3> in part "
                  "<xcab12e-3-tq144>.\n"},
            capture.texts(MsgKind::Warning));

  capture.clear();
  PM_PIC("Other:fam", "xcab12etq144-3", "-3");
  PM_PIC("fam", "zz1", nullptr);
  EXPECT_EQ((Texts{"Wrong vendor name <Other>\n",
                   "The part <zz1> was not found in family <fam>.\n"}),
            capture.texts(MsgKind::Warning));
}

TEST(PartParse, PartNameTestsAndSetPart) {
  FamilyInstall install;
  install.Install();
  auto part = Part("fam");
  char* device = nullptr;
  char* package = nullptr;
  EXPECT_EQ(1, part->isvalidpartname("AB12ETQ144", device, package, 0));
  const auto_array<char> deviceOwner(device);
  const auto_array<char> packageOwner(package);
  EXPECT_STREQ("xcab12e", device);
  EXPECT_STREQ("tq144", package);
  EXPECT_EQ(1, part->get_depth());  // the part itself is not changed

  EXPECT_TRUE(part->set_part("xcab12ecs144"));
  EXPECT_EQ("fam/xcab12e/cs144/(null)", Levels(*part));

  pmtest::MessageCapture capture;
  EXPECT_FALSE(part->set_part("xcab12ebg9"));
  EXPECT_EQ(Texts{"Cannot find part xcab12ebg9 in personality module fam\n"},
            capture.texts(MsgKind::Warning));
  EXPECT_EQ(0, Part(nullptr)->isvalidpartname("xcab12etq144", 1));
}

// An unsupported architecture is searched with binding 1 only; its device is bound as found.
TEST(PartParse, UnsupportedArchitectureIsSearchedWithBinding1Only) {
  Root root;
  root.UnsupportedModule("old", Module("old", "CPLD", "xcol1,ol1", "DEVICE_FORMAT = xcol_\n"));
  spinetest::Install({&root});
  const PM_PIC allowed("xcol1pk8", 1, PM_BINDING_ALLOW_UNSUPPORTED);
  EXPECT_EQ("old/xcol1/(null)/(null)", Levels(allowed));
  EXPECT_EQ("3:pk8", Status(allowed));
  EXPECT_EQ(1, allowed.isunsupported());
  EXPECT_EQ("1:xcol1pk8", Status(PM_PIC("xcol1pk8", 1, PM_BINDING_SUPPORTED_ONLY)));
}
