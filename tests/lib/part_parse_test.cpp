// Part-name parsing: device formats and speeds, the architecture search (bare names, "base", the
// pattern file, the installed architectures), error status, the three-string form and the
// part-name tests.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
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
    root.Module("fam",
                Module("fam", "FPGA", "xcab12e,ab12e:xcab40e,ab40e", "DEVICE_FORMAT = xcab__e\n"));
    DeviceFile(root, "fam", "ab12e");
    DataFile(root, "fam", "ab12e.pkg", {"tq144", "cs144"});
    DataFile(root, "fam", "ab12e.spd", {"-3", "-4"});
  }
  void Install() const { spinetest::Install({&root}); }
  Root root;
};

// The status and rejected text of a part.
std::string Status(const PM_PIC& part) {
  const char* text = "";
  const int status = part.getpicstatus(text);
  return std::to_string(status) + ":" + text;
}

// "arch/device/package/speed @depth status:text" of the part parsed from `name`.
std::string Parse(const char* name, unsigned char record = 1,
                  PM_PARTNAME_BINDING binding = PM_BINDING_SUPPORTED_ONLY) {
  const PM_PIC part(name, record, binding);
  return Levels(part) + " " + Status(part);
}

using ParseCases = std::vector<std::pair<const char*, const char*>>;

void ExpectParses(const ParseCases& cases) {
  for (const auto& [name, parsed] : cases) EXPECT_EQ(parsed, Parse(name)) << name;
}

}  // namespace

TEST(PartParse, SpeedAtTheEndInTheMiddleOrMissingInAnyLetterCaseAndBareNames) {
  FamilyInstall install;
  install.Install();
  ExpectParses({
      {"xcab12etq144-3", "fam/xcab12e/tq144/-3 @4 0:"},
      {"XCAB12E-3TQ144", "fam/xcab12e/tq144/-3 @4 0:"},
      {"xcab12e-3-tq144", "fam/xcab12e/tq144/-3 @4 0:"},
      {"ab12etq144-3", "fam/xcab12e/tq144/-3 @4 0:"},
      {"xcab12etq144", "fam/xcab12e/tq144/- @3 4:"},
      {"FAM", "fam/-/-/- @1 0:"},
      {"base", "-/-/-/- @0 1:base"},
  });
  EXPECT_TRUE(PM_PIC("XCAB12E-3TQ144", 1, PM_BINDING_SUPPORTED_ONLY).IsValid());
}

TEST(PartParse, EachFailingLevelIsRecordedWithItsText) {
  FamilyInstall install;
  install.Install();
  ExpectParses({
      {"ZZ99", "-/-/-/- @0 1:zz99"},
      {"xcab40etq144-3", "fam/-/-/- @1 2:xcab40e"},
      {"xcab12ebg999-3", "fam/xcab12e/-/-3 @4 3:bg999"},
      {"xcab12etq144-9", "fam/xcab12e/tq144/- @3 4:-9"},
      // A device is found only at the start of the name, never after a line break inside it.
      {"q\rXCAB12ETQ144-3", "-/-/-/- @0 1:q\rxcab12etq144-3"},
  });
  // Without recording nothing is kept.
  EXPECT_EQ("0:", Status(PM_PIC("xcab12ebg999-3", 0, PM_BINDING_SUPPORTED_ONLY)));

  // The error status keeps a rejected text; a level rejected without text is no error.
  const char* text = "";
  const PM_PIC badPackage("xcab12ebg999-3", 1, PM_BINDING_SUPPORTED_ONLY);
  EXPECT_EQ(3, badPackage.geterrorstatus(text));  // the text is the part's: it must outlive it
  EXPECT_STREQ("bg999", text);
  const PM_PIC noSpeed("xcab12etq144", 1, PM_BINDING_SUPPORTED_ONLY);
  text = "untouched";
  EXPECT_EQ(4, noSpeed.getpicstatus(text));
  EXPECT_EQ(0, noSpeed.geterrorstatus(text));
  EXPECT_EQ(0, noSpeed.getpicstatus(text));
  EXPECT_STREQ("untouched", text);
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
  ExpectParses({
      {"xcqq1bg9", "bbb/xcqq1b/g9/- @3 4:"},
      {"mm7pq208", "alt/xcmm7/pq208/- @3 4:"},
      {"xcab40pq208-5", "tail/xcab40/pq208/-5 @4 0:"},
      // Both match partially: the later candidate's levels and status remain.
      {"xcqq1bzz", "bbb/xcqq1b/-/- @2 3:zz"},
  });
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
  EXPECT_EQ("pat/xcpt5/so8/- @3 4:", Parse("xcpt5so8"));

  // Found through the list, a part without package lacks it; the list's expression is then in
  // the pattern table, and through it a missing package is not held against the part.
  EXPECT_EQ("3:", Status(PM_PIC("xcab12e-3", 1, PM_BINDING_SUPPORTED_ONLY)).substr(0, 2));
  EXPECT_EQ("0:", Status(PM_PIC("xcab12e-3", 1, PM_BINDING_SUPPORTED_ONLY)));
}

// The binding step after the pattern file's route says again what binding the architecture said
// the first time: here the debug trace of a device without internal names, once per binding.
TEST(PartParse, BindingAfterThePatternFileSaysWhatTheRouteSaid) {
  FamilyInstall install;
  install.root.Module("pat", Module("pat", "CPLD", "xcpt5,pt5:xcpt7"));
  DataFile(install.root, "pat", "xcpt7.pkg", {"so8"});
  install.root.File("data/patternfile", "pat=^x?c?pt[0-9]+\n");
  install.Install();
  EXPECT_EQ("pat/xcpt7/so8/- @3 4:", Parse("xcpt7so8"));  // builds the package list
  pmtest::MessageCapture capture;
  EXPECT_EQ("pat/xcpt7/so8/- @3 4:", Parse("xcpt7so8"));
  EXPECT_EQ(Texts(2, "Device xcpt7 has NO internal names.\n"), capture.texts(MsgKind::Debug));
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

  EXPECT_EQ("fam/xcab12e/tq144/-3 @4 0:", Parse("xcab12etq144-3"));
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
  EXPECT_EQ("fam/xcab12e/tq144/-3 @4", Levels(part));
  PM_PIC("Other:fam", "xcab12etq144-3", "-3");
  PM_PIC("fam", "zz1", nullptr);
  EXPECT_EQ(
      (Texts{"The given speed <-4> is inconsistent with the speed <-3> in part "
             "<xcab12e-3-tq144>.\n",
             "Wrong vendor name <Other>\n", "The part <zz1> was not found in family <fam>.\n"}),
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
  EXPECT_EQ("fam/xcab12e/cs144/- @3", Levels(*part));

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
  EXPECT_EQ("old/xcol1/-/- @2 3:pk8", Parse("xcol1pk8", 1, PM_BINDING_ALLOW_UNSUPPORTED));
  EXPECT_EQ(1, PM_PIC("xcol1pk8", 1, PM_BINDING_ALLOW_UNSUPPORTED).isunsupported());
  EXPECT_EQ("-/-/-/- @0 1:xcol1pk8", Parse("xcol1pk8"));
}
