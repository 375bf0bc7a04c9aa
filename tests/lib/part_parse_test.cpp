// Part-name parsing: device formats and speeds, the architecture search (bare names, "base", the
// pattern file, the installed architectures), error status, the three-string form and the
// part-name tests.
#include "validation_fixture.h"

using Port::MsgKind;
using namespace validationtest;

namespace {

using Texts = std::vector<std::string>;

// "fam": an FPGA family with the device template "xcab__e"; xcab12e is complete, xcab40e is
// declared but has no files.
const ModuleRow kFamily = {"fam", "FPGA", "xcab12e,ab12e:xcab40e,ab40e",
                           "ab12e.nph ab12e.pkg=tq144,cs144 ab12e.spd=-3,-4",
                           "DEVICE_FORMAT = xcab__e\n"};

// The status and rejected text of a part, then its error status where that differs: a level
// rejected without text is no error.
std::string Status(const PM_PIC& part) {
  const char* text = "";
  const int status = part.getpicstatus(text);
  const int error = part.geterrorstatus(text);
  return std::to_string(status) + ":" + text +
         (error == status ? "" : " error " + std::to_string(error));
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

// The speed may stand at the end, in the middle or be missing, in any letter case; a failing
// level is recorded with its text. A device is found only at the start of the name, never after
// a line break inside it.
TEST(PartParse, EachLevelIsFoundOrTheFirstFailingOneIsRecordedWithItsText) {
  const InstalledModules install({kFamily});
  ExpectParses({
      {"xcab12etq144-3", "fam/xcab12e/tq144/-3 @4 0:"},
      {"XCAB12E-3TQ144", "fam/xcab12e/tq144/-3 @4 0:"},
      {"xcab12e-3-tq144", "fam/xcab12e/tq144/-3 @4 0:"},
      {"ab12etq144-3", "fam/xcab12e/tq144/-3 @4 0:"},
      {"xcab12etq144", "fam/xcab12e/tq144/- @3 4: error 0"},
      {"FAM", "fam/-/-/- @1 0:"},
      {"base", "-/-/-/- @0 1:base"},
      {"ZZ99", "-/-/-/- @0 1:zz99"},
      {"xcab40etq144-3", "fam/-/-/- @1 2:xcab40e"},
      {"xcab12ebg999-3", "fam/xcab12e/-/-3 @4 3:bg999"},
      {"xcab12etq144-9", "fam/xcab12e/tq144/- @3 4:-9"},
      {"q\rXCAB12ETQ144-3", "-/-/-/- @0 1:q\rxcab12etq144-3"},
  });
  EXPECT_TRUE(PM_PIC("XCAB12E-3TQ144", 1, PM_BINDING_SUPPORTED_ONLY).IsValid());
  // Without recording nothing is kept.
  EXPECT_EQ("0:", Status(PM_PIC("xcab12ebg999-3", 0, PM_BINDING_SUPPORTED_ONLY)));

  // A level rejected without text leaves the caller's text as it was.
  const char* text = "untouched";
  EXPECT_EQ(4, PM_PIC("xcab12etq144", 1, PM_BINDING_SUPPORTED_ONLY).getpicstatus(text));
  EXPECT_STREQ("untouched", text);
}

// Two families whose formats both match "xcqq1b...": "aaa" takes the device "xcqq1", "bbb" the
// device "xcqq1b". A partial match leaves its levels and the search goes on.
TEST(PartParse, APartialMatchLetsTheSearchGoOnAndAlternativeFormatsCount) {
  // Only the alternative format names "alt"'s devices; the first one names none. "tail" has a
  // template with a trailing run of digits: "xcab40" then the package. "xcqq1bzz" matches both
  // "aaa" and "bbb" partially: the later candidate's levels and status remain.
  const InstalledModules install({
      {"aaa", "CPLD", "xcqq1,qq1", "qq1.pkg=tq144", "DEVICE_FORMAT = xcqq_\n"},
      {"bbb", "CPLD", "xcqq1b,qq1b", "qq1b.pkg=g9", "DEVICE_FORMAT = #^x?c?qq[0-9]+b\n"},
      {"alt", "CPLD", "xcmm7,mm7", "mm7.pkg=pq208",
       "DEVICE_FORMAT = #^nothing\n"
       "ALT_DEVICE_FORMAT = mm_\n"},
      {"tail", "CPLD", "xcab40,ab40", "ab40.pkg=pq208 ab40.spd=-5", "DEVICE_FORMAT = xcab__\n"},
  });
  ExpectParses({
      {"xcqq1bg9", "bbb/xcqq1b/g9/- @3 4: error 0"},
      {"mm7pq208", "alt/xcmm7/pq208/- @3 4: error 0"},
      {"xcab40pq208-5", "tail/xcab40/pq208/-5 @4 0:"},
      {"xcqq1bzz", "bbb/xcqq1b/-/- @2 3:zz"},
  });
}

// "pat" has no device format: only the pattern file leads to it. A pattern of an architecture
// that is not installed leads nowhere. The binding step after the pattern file's route says again
// what binding the architecture said the first time: the debug trace of a device without
// internal names, once per binding.
TEST(PartParse, PatternFileIsAskedFirstAndRemembersWhatTheListFound) {
  const InstalledModules install(
      {kFamily, {"pat", "CPLD", "xcpt5,pt5:xcpt7", "pt5.pkg=so8 xcpt7.pkg=so8"}});
  install.root.File("data/patternfile",
                    "# architectures and their device expressions\n"
                    "absent=^x?c?pt[0-9]+\npat=^x?c?pt[0-9]+\nno equals sign\n");
  EXPECT_EQ("pat/xcpt5/so8/- @3 4: error 0", Parse("xcpt5so8"));
  EXPECT_EQ("pat/xcpt7/so8/- @3 4: error 0", Parse("xcpt7so8"));  // builds the package list
  pmtest::MessageCapture capture;
  EXPECT_EQ("pat/xcpt7/so8/- @3 4: error 0", Parse("xcpt7so8"));
  EXPECT_EQ(Texts(2, "Device xcpt7 has NO internal names.\n"), capture.texts(MsgKind::Debug));

  // Found through the list, a part without package lacks it; the list's expression is then in
  // the pattern table, and through it a missing package is not held against the part.
  EXPECT_EQ("3:", Status(PM_PIC("xcab12e-3", 1, PM_BINDING_SUPPORTED_ONLY)).substr(0, 2));
  EXPECT_EQ("0:", Status(PM_PIC("xcab12e-3", 1, PM_BINDING_SUPPORTED_ONLY)));
}

TEST(PartParse, FormatThatDoesNotCompileIsFatalUnlessQuietAndTheSearchGoesOn) {
  const InstalledModules install(
      {kFamily, {"bad", "CPLD", "xcbd1,bd1", "bd1.pkg=so8", "DEVICE_FORMAT = #^ab[\n"}});
  pmtest::MessageCapture capture;
  Port::String arch;
  EXPECT_FALSE(Part("fam")->isvalidpartname("zz1", arch, true));
  EXPECT_TRUE(capture.messages().empty());

  EXPECT_EQ("fam/xcab12e/tq144/-3 @4 0:", Parse("xcab12etq144-3"));
  EXPECT_EQ("BadPartPattern", MessageNames(capture.messages()));
  EXPECT_TRUE(Part("fam")->isvalidpartname("xcab12e-4-cs144", arch, true));
  EXPECT_EQ("fam", arch.str());
}

// The three-string form warns about vendor, part and speed; the part-name tests change nothing.
TEST(PartParse, ThreeStringsPartNameTestsAndSetPart) {
  const InstalledModules install({kFamily});
  pmtest::MessageCapture capture;
  const PM_PIC three("acme:fam", "XCAB12E-3-TQ144", "-4");
  EXPECT_EQ("fam/xcab12e/tq144/-3 @4", Levels(three));
  PM_PIC("Other:fam", "xcab12etq144-3", "-3");
  PM_PIC("fam", "zz1", nullptr);
  EXPECT_EQ("InconsistentSpeed WrongVendor PartNotInFamily", MessageNames(capture.messages()));

  auto part = Part("fam");
  char* device = nullptr;
  char* package = nullptr;
  EXPECT_EQ(1, part->isvalidpartname("AB12ETQ144", device, package, 0));
  const auto_array<char> deviceOwner(device);
  const auto_array<char> packageOwner(package);
  EXPECT_EQ("xcab12e tq144", std::string(device) + " " + package);
  EXPECT_EQ(1, part->get_depth());  // the part itself is not changed

  EXPECT_TRUE(part->set_part("xcab12ecs144"));
  EXPECT_EQ("fam/xcab12e/cs144/- @3", Levels(*part));

  capture.clear();
  EXPECT_FALSE(part->set_part("xcab12ebg9"));
  EXPECT_EQ("CannotFindPart CannotSetPart", MessageNames(capture.messages()));
  EXPECT_EQ(0, Part(nullptr)->isvalidpartname("xcab12etq144", 1));
}

// An unsupported architecture is searched with binding 1 only; its device is bound as found.
TEST(PartParse, UnsupportedArchitectureIsSearchedWithBinding1Only) {
  const InstalledModules install(
      {{"old", "CPLD", "xcol1,ol1", "", "DEVICE_FORMAT = xcol_\n", "", true}});
  EXPECT_EQ("old/xcol1/-/- @2 3:pk8", Parse("xcol1pk8", 1, PM_BINDING_ALLOW_UNSUPPORTED));
  EXPECT_EQ(1, PM_PIC("xcol1pk8", 1, PM_BINDING_ALLOW_UNSUPPORTED).isunsupported());
  EXPECT_EQ("-/-/-/- @0 1:xcol1pk8", Parse("xcol1pk8"));
}
