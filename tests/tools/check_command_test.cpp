// pmtool check: broken installations built in temporary folders, one fault each, and the
// findings (file, key, kind) and status they give; the sample installation is clean.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "pmport/ut_ifile.h"
#include "pmtest.h"
#include "pmtool_runner.h"

namespace {

using pmtooltest::ExpectRuns;
using pmtooltest::kSample;
using pmtest::SegmentHeader;
using pmtest::SegmentRecord;

using Keys = std::map<std::string, std::string>;

// A definition file: the keys in order of their names.
std::string DefinitionText(const Keys& keys) {
  std::string text = "# written by the test\n";
  for (const auto& [key, value] : keys) text += key + " = " + value + "\n";
  return text;
}

Keys Module(const std::string& name, const std::string& type, const std::string& devices,
            const std::string& format) {
  return {{"ARCH_NAME", name},        {"ARCH_FRIEND", name},       {"ARCH_TYPE", type},
          {"VENDOR", "Korvan"},       {"FAMILY", name},            {"SUPPORT_MODE", "PHYSICAL"},
          {"BASE_MODE", "FALSE"},     {"DEVICE_INTERNAL", devices}, {"DEVICE_FORMAT", format}};
}

// Writes a segmented file of empty segments named `names` under `root`.
void Segments(const pmtest::TempDir& root, const std::string& relative,
              const pmtooltest::Args& names) {
  std::vector<pmtest::Segment> segments;
  for (const std::string& name : names) segments.push_back({name, 0, ""});
  pmtest::WriteSegmentedFile(root / relative, segments);
}

// The bytes of a segmented file of empty segments named `names`.
std::string SegmentedBytes(const pmtooltest::Args& names) {
  std::vector<UT_SEGMENT> segments;
  for (const std::string& name : names) segments.push_back({name, 0, ""});
  std::string image, error;
  UT_SEGWRITER::Serialize(segments, image, error);
  return image;
}

// One change to an installation: a key of alpha's or beta's definition set or erased, or else a
// file (relative to the installation) written after the definitions.
struct Edit {
  std::string target;  // "alpha", "beta" or a file
  std::string key;
  std::optional<std::string> value;
};
const std::nullopt_t kErase = std::nullopt;

const char* const kAlpha = "alpha/data/alpha.acd";
const char* const kBeta = "beta/data/beta.acd";

// A clean installation: the FPGA module alpha with the device xcab1 (device, package and speed
// files) and the CPLD module beta with xcbe1 (package and speed files).
struct Installation {
  Installation() {
    File("alpha/data/ab1.nph", "device file\n");
    Segments(root, "alpha/data/ab1.pkg", {"tq144"});
    Segments(root, "alpha/data/ab1.spd", {"-1", "-2"});
    Segments(root, "beta/data/be1.pkg", {"pc44"});
    Segments(root, "beta/data/be1.spd", {"-6"});
  }
  void File(const std::string& relative, const std::string& content) const {
    pmtest::WriteFile(root / relative, content);
  }
  void Apply(const Edit& edit) {
    if (edit.target != "alpha" && edit.target != "beta") {
      files[edit.target] = *edit.value;
      return;
    }
    Keys& keys = edit.target == "alpha" ? alpha : beta;
    if (edit.value) {
      keys[edit.key] = *edit.value;
    } else {
      keys.erase(edit.key);
    }
  }
  // Writes the definitions, then the files, and returns the installation's path.
  std::string Written() const {
    File(kAlpha, DefinitionText(alpha));
    File(kBeta, DefinitionText(beta));
    for (const auto& [relative, content] : files) File(relative, content);
    return root.path();
  }

  pmtest::TempDir root;
  Keys alpha = Module("alpha", "FPGA", "xcab1,ab1", "#^x?c?ab[0-9]+");
  Keys beta = Module("beta", "CPLD", "xcbe1,be1", "xcbe__");
  std::map<std::string, std::string> files;
};


// One fault of an installation and the finding it must give.
struct Fault {
  const char* name;
  std::vector<Edit> edits;
  const char* file;  // relative to the installation
  const char* key;   // empty when the finding names none
  const char* kind;
};

const Fault kFaults[] = {
    {"DefinitionHoldsNoKey", {{kAlpha, "", "# no key\n"}}, kAlpha, "", "unreadable-definition"},
    {"NoArchName", {{"alpha", "ARCH_NAME", kErase}}, kAlpha, "ARCH_NAME", "missing-key"},
    {"NoArchFriend", {{"alpha", "ARCH_FRIEND", kErase}}, kAlpha, "ARCH_FRIEND", "missing-key"},
    {"ArchNameOfAnotherModule", {{"alpha", "ARCH_NAME", "beta"}}, kAlpha, "ARCH_NAME",
     "wrong-arch-name"},
    {"FriendChainLoops", {{"alpha", "ARCH_FRIEND", "beta"}, {"beta", "ARCH_FRIEND", "alpha"}},
     kBeta, "ARCH_FRIEND", "friend-loop"},
    {"FriendNotInstalled", {{"beta", "ARCH_FRIEND", "ghost"}}, kBeta, "ARCH_FRIEND",
     "missing-friend"},
    // Names that would lead out of the installation name nothing.
    {"FriendNameLeavesTheInstallation", {{"beta", "ARCH_FRIEND", "../evilmod"}}, kBeta,
     "ARCH_FRIEND", "bad-name"},
    {"DeviceNameLeavesTheInstallation", {{"beta", "DEVICE_INTERNAL", "xcbe1,be1,../../../x"}},
     kBeta, "DEVICE_INTERNAL", "bad-name"},
    {"PatternNameLeavesTheInstallation", {{"data/patternfile", "", "../evilmod=^xcev\n"}},
     "data/patternfile", "../evilmod", "bad-name"},
    {"DeviceFormatDoesNotCompile", {{"beta", "DEVICE_FORMAT", "xcbe(_"}}, kBeta, "DEVICE_FORMAT",
     "bad-format"},
    {"SpeedFormatDoesNotCompile", {{"alpha", "SPEED_FORMAT", "[0-9"}}, kAlpha, "SPEED_FORMAT",
     "bad-format"},
    {"SubfamilyFormatInheritedFromAFriend",
     {{"beta", "ARCH_FRIEND", "alpha"}, {"alpha", "SUBFAM_FORMAT", "ab([0-9]+"}}, kAlpha,
     "SUBFAM_FORMAT", "bad-format"},
    {"DeviceWithoutData", {{"beta", "DEVICE_INTERNAL", "xcbe1,be1:xcbe2,be2"}}, kBeta,
     "DEVICE_INTERNAL", "no-device-data"},
    {"DeviceWithPackagesButNoSpeedGrade",
     {{"beta", "DEVICE_INTERNAL", "xcbe1,be1:xcbe3,be3"},
      {"beta/data/be3.pkg", "", SegmentHeader(1) + SegmentRecord("pc44", 0, 38, 0)}},
     kBeta, "DEVICE_INTERNAL", "incomplete-device-data"},
    {"DeviceFileOfNoEntry", {{"alpha/data/ab9.nph", "", "x\n"}}, "alpha/data/ab9.nph",
     "DEVICE_INTERNAL", "unlisted-device-file"},
    {"MalformedSpeedFile", {{"alpha/data/ab1.spd", "", "no segments"}}, "alpha/data/ab1.spd", "",
     "bad-data-file"},
    {"EmptyPackageFile", {{"beta/data/be1.pkg", "", ""}}, "beta/data/be1.pkg", "",
     "empty-data-file"},
    {"SpeedFileWithoutGrades",
     {{"beta/data/be1.spd", "", SegmentHeader(1) + SegmentRecord("-0", 0, 36, 0)}},
     "beta/data/be1.spd", "", "empty-data-file"},
    {"PackageListedTwice",
     {{"alpha/data/ab1.pkg", "", SegmentedBytes({"tq144", "pc44", "tq144"})}},
     "alpha/data/ab1.pkg", "tq144", "duplicate-segment"},
    {"SpeedGradesDifferingInCaseOnly", {{"beta/data/be1.spd", "", SegmentedBytes({"-6a", "-6A"})}},
     "beta/data/be1.spd", "-6A", "duplicate-segment"},
    {"DisallowedSpeedOfNoDevice", {{"alpha", "DISALLOW_SPEEDS", "-2,-9"}}, kAlpha,
     "DISALLOW_SPEEDS", "bad-disallowed-speed"},
    {"AliasOfTwoModules", {{"alpha", "ALIAS_alpha", "first"}, {"beta", "ALIAS_beta", "first"}},
     kBeta, "ALIAS_beta", "alias-collision"},
    {"AliasIsAModuleName", {{"alpha", "ALIAS_alpha", "beta"}}, kAlpha, "ALIAS_alpha",
     "alias-collision"},
    {"VentryWithoutClosingParenthesis", {{"alpha", "VENTRY_route", "route(int,lib"}}, kAlpha,
     "VENTRY_route", "bad-ventry"},
    {"VentryLibraryNotInstalled", {{"beta", "VENTRY_pack", "pack,nolib"}}, kBeta, "VENTRY_pack",
     "missing-library"},
    {"PatternDoesNotCompile", {{"data/patternfile", "", "omega=^x?om[0-9]+\nalpha=ab[\n"}},
     "data/patternfile", "alpha", "bad-pattern"},
    // Modules that can never take a part name, and keys the library never reads.
    {"DevicesWithoutOwnSupportMode", {{"beta", "SUPPORT_MODE", kErase}}, kBeta, "SUPPORT_MODE",
     "missing-key"},
    {"SupportModeMisspelled", {{"beta", "SUPPORT_MODE", "PHYSICLA"}}, kBeta, "SUPPORT_MODE",
     "bad-value"},
    {"DeviceFormatKeyMisspelled", {{"beta", "DEVICE_FORMT", "xcbe__"}}, kBeta, "DEVICE_FORMT",
     "misspelled-key"},
    {"FriendKeyMisspelled", {{"beta", "ARCH_FREIND", "beta"}}, kBeta, "ARCH_FREIND",
     "misspelled-key"},
    {"FpgaDeviceWithoutDeviceFile", {{"alpha", "DEVICE_INTERNAL", "xcab1,ab1:xcab2,ab2"}, {"alpha/data/ab2.pkg", "", SegmentedBytes({"tq144"})},
     {"alpha/data/ab2.spd", "", SegmentedBytes({"-1"})}}, kAlpha, "DEVICE_INTERNAL",
     "missing-device-file"},
    {"FpgaDeviceWithOnlyADeviceFile", {{"alpha", "DEVICE_INTERNAL", "xcab1,ab1:xcab2,ab2"},
     {"alpha/data/ab2.nph", "", "x\n"}}, kAlpha, "DEVICE_INTERNAL", "incomplete-device-data"},
    {"SubfamilyListsOfDifferentLengths",
     {{"alpha", "SUBFAM_SPECS", "1,2"}, {"alpha", "SUBFAM_NAMES", "one"}}, kAlpha,
     "SUBFAM_NAMES", "bad-subfamily"},
    {"DefinitionNotNamedAfterItsFolder", {{"gamma/data/Gamma.acd", "", "ARCH_NAME = gamma\n"}},
     "gamma/data/Gamma.acd", "", "misnamed-definition"},
    {"ArchTypeMisspelled", {{"alpha", "ARCH_TYPE", "FGPA"}}, kAlpha, "ARCH_TYPE", "bad-value"},
    {"DeviceDeclaredByTwoModules", {{"beta", "DEVICE_INTERNAL", "xcbe1,be1:xcab1,be2"}}, kAlpha,
     "DEVICE_INTERNAL", "device-clash"},
    // A warning of the library while checking is a finding, not a message on standard error.
    {"LibraryWarning", {{"alpha", "FAMILY", kErase}}, kAlpha, "", "library-message"},
};

void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

class CheckFinds : public testing::TestWithParam<Fault> {};

TEST_P(CheckFinds, TheFaultWithItsFileKeyAndKind) {
  const Fault& fault = GetParam();
  Installation installation;
  for (const Edit& edit : fault.edits) installation.Apply(edit);
  const auto result =
      pmtooltest::RunPmtool({"--install", installation.Written(), "check", "--json"});
  ASSERT_EQ(1, result.status) << result.out << result.err;
  const nlohmann::json key = *fault.key ? nlohmann::json(fault.key) : nlohmann::json();
  bool found = false;
  for (const auto& finding : nlohmann::json::parse(result.out)) {
    found = found || (finding["file"] == installation.root / fault.file &&
                      finding["key"] == key && finding["kind"] == fault.kind);
  }
  EXPECT_TRUE(found) << result.out;
  EXPECT_EQ("", result.err);
}

INSTANTIATE_TEST_SUITE_P(Installation, CheckFinds, testing::ValuesIn(kFaults),
                         [](const testing::TestParamInfo<Fault>& info) { return info.param.name; });

TEST(CheckCommand, CleanInstallationAndSampleGiveStatusZero) {
  const char* const roundTrip = " part names parsed back, each to what it was made from\n";
  ExpectRuns({{{"check", "--json"}, 0, "[]\n", ""}}, Installation().Written());
  ExpectRuns({
      // xcab80e has no device file: only a configuration part of it is valid.
      {{"check"}, 1, "...xcab80e: no device file", "pmtool check: 7 modules checked, 1 problem\n"},
      {{"check", "--roundtrip"}, 0, "", std::string("pmtool check: 20") + roundTrip},
  });
  // The overlay's beta overrides the sample's: an override notice is no problem.
  const std::string overlay = kSample + "/overlay:" + kSample;
  ExpectRuns({
      {{"check"}, 1, "...xcab80e", "pmtool check: 7 modules checked, 1 problem\n"},
      {{"check", "--roundtrip"}, 0, "", std::string("pmtool check: 22") + roundTrip},
  }, overlay);
}

// The library refuses a module of an unknown type outright: the type is the one finding.
TEST(CheckCommand, UnknownArchTypeIsTheOnlyFinding) {
  Installation installation;
  installation.alpha["ARCH_TYPE"] = "FGPA";
  const std::string root = installation.Written();
  ExpectRuns({{{"check", "alpha"}, 1,
               root + "/" + kAlpha + ":  ARCH_TYPE:  \"FGPA\" is no architecture type, so the "
               "library refuses the module: write FPGA, CPLD or CONFIG\n", "..."}}, root);
}

// Modules that declare devices but that part names never reach offer no name to parse back.
TEST(CheckCommand, RoundTripOfNoNameWhileModulesHaveDevicesFails) {
  Installation installation;
  installation.alpha.erase("SUPPORT_MODE");
  installation.beta["SUPPORT_MODE"] = "PHYSICLA";
  ExpectRuns({{{"check", "--roundtrip"}, 1, "...part names never bind to alpha",
               "pmtool check: 0 part names parsed back, 2 problems\n"}},
             installation.Written());
}

// Each module on a loop, and one leading into it, meets the same loop: it is told once, from
// its smallest name, on the file that closes it.
TEST(CheckCommand, FriendLoopIsReportedOnce) {
  const pmtest::TempDir root;
  const std::map<std::string, std::string> friends = {
      {"m1", "m2"}, {"m2", "m3"}, {"m3", "m1"}, {"m4", "m2"}};
  for (const auto& [name, next] : friends) {
    Keys keys = Module(name, "CPLD", "xc" + name + "," + name, "xc" + name);
    keys["ARCH_FRIEND"] = next;
    pmtest::WriteFile(root / (name + "/data/" + name + ".acd"), DefinitionText(keys));
  }
  const auto result = pmtooltest::RunPmtool({"--install", root.path(), "check", "--json"});
  std::vector<std::string> loops;
  for (const auto& finding : nlohmann::json::parse(result.out)) {
    if (finding["kind"] != "friend-loop") continue;
    loops.push_back(finding["file"].get<std::string>() + ": " + finding["message"].get<std::string>());
  }
  EXPECT_EQ(loops, std::vector<std::string>{root / "m3/data/m3.acd" +
                                            ": the friend chain m1 -> m2 -> m3 loops back to its start"});
}

// A broken installation is not a healthy one with no module.
TEST(CheckCommand, InstallationEntryThatIsNoFolderIsAFinding) {
  const pmtest::TempDir dir;
  const std::string file = dir / "file";
  pmtest::WriteFile(file, "");
  const std::string missing = dir / "none";
  const std::string fix = "; correct it in --install";
  ExpectRuns({{{"check", "--json"}, 1,
               R"([{"file": ")" + missing + R"(", "key": null, "arch": null,
                    "kind": "bad-install-entry",
                    "message": "the installation entry does not exist)" + fix + R"("}])",
               ""},
              {{"check", "--roundtrip"}, 1,
               missing + ": the installation entry does not exist" + fix + "\n", "..."}},
             missing);
  ExpectRuns({{{"check"}, 1, file + ":    the installation entry is not a folder" + fix + "\n",
               "pmtool check: 0 modules checked, 1 problem\n"}},
             file);
  // Beside a good entry, the modules are checked as well.
  ExpectRuns({{{"check", "beta"}, 1, missing + ":    the installation entry does not exist" + fix + "\n",
               "pmtool check: 1 module checked, 1 problem\n"}},
             missing + ":" + kSample);
}

TEST(CheckCommand, NamedModulesOnlyAndPlainLinesWithFileAndKey) {
  Installation installation;
  installation.alpha["DISALLOW_SPEEDS"] = "-9";
  installation.beta.erase("ARCH_FRIEND");
  const std::string root = installation.Written();
  ExpectRuns({
      {{"check", "alpha"}, 1,
       root + "/" + kAlpha +
           ":  DISALLOW_SPEEDS:  \"-9\" is no speed grade of any device of alpha\n",
       "pmtool check: 1 module checked, 1 problem\n"},
      {{"check", "nosuch"}, 1, "...no module \"nosuch\" is installed", "..."},
      {{"check", "--nosuch"}, 2, "", "..."},
  }, root);
}

// Two architectures whose device formats both match the qb devices, both listing xcqb2: the
// first in list order takes the second's part names.
TEST(CheckCommand, RoundTripShowsPartNamesTakenByAnOverlappingFormat) {
  const pmtest::TempDir root;
  const Keys first = Module("first", "CPLD", "xcqa1,qa1:xcqb2,qb2", "#^x?c?q[a-z][0-9]+");
  pmtest::WriteFile(root / "first/data/first.acd", DefinitionText(first));
  const Keys second = Module("second", "CPLD", "xcqb2,qb2", "xcqb_");
  pmtest::WriteFile(root / "second/data/second.acd", DefinitionText(second));
  for (const std::string file : {"first/data/qa1", "first/data/qb2", "second/data/qb2"}) {
    Segments(root, file + ".pkg", {"pk1"});
    Segments(root, file + ".spd", {"-1"});
  }
  ExpectRuns({
      {{"check", "--roundtrip", "--json"}, 1,
       R"([{"file": ")" + root / "second/data/second.acd" + R"(", "key": "xcqb2pk1-1",
            "arch": "second", "kind": "roundtrip",
            "message": "made from second xcqb2 pk1 -1, binds to first xcqb2 pk1 -1"}])",
       ""},
      {{"check", "--roundtrip", "first"}, 0, "",
       "pmtool check: 2 part names parsed back, each to what it was made from\n"},
  }, root.path());
}

}  // namespace
