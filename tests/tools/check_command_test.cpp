// pmtool check: broken installations built in temporary folders, one fault each, and the
// findings (file, key, kind) and status they give; the sample installation is clean.
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "pmtest.h"
#include "pmtool_runner.h"

namespace {

using pmtooltest::Contains;
using pmtooltest::OnSample;
using pmtooltest::RunPmtool;

using Keys = std::map<std::string, std::string>;

// A definition file: the keys in order of their names; an empty value writes the key bare.
std::string DefinitionText(const Keys& keys) {
  std::string text = "# written by the test\n";
  for (const auto& [key, value] : keys) text += key + " = " + value + "\n";
  return text;
}

Keys Module(const std::string& name, const std::string& type) {
  return {{"ARCH_NAME", name},       {"ARCH_FRIEND", name},        {"ARCH_TYPE", type},
          {"VENDOR", "Korvan"},      {"FAMILY", name},             {"SUPPORT_MODE", "PHYSICAL"},
          {"BASE_MODE", "FALSE"}};
}

// A clean installation: the FPGA module alpha with the device xcab1 (device, package and speed
// files) and the CPLD module beta with xcbe1 (package and speed files).
class Installation {
 public:
  Installation() {
    alpha = Module("alpha", "FPGA");
    alpha["DEVICE_INTERNAL"] = "xcab1,ab1";
    alpha["DEVICE_FORMAT"] = "#^x?c?ab[0-9]+";
    beta = Module("beta", "CPLD");
    beta["DEVICE_INTERNAL"] = "xcbe1,be1";
    beta["DEVICE_FORMAT"] = "xcbe__";
    File("alpha/data/ab1.nph", "device file\n");
    Segments("alpha/data/ab1.pkg", {"tq144"});
    Segments("alpha/data/ab1.spd", {"-1", "-2"});
    Segments("beta/data/be1.pkg", {"pc44"});
    Segments("beta/data/be1.spd", {"-6"});
  }

  void File(const std::string& relative, const std::string& content) const {
    pmtest::WriteFile(root / relative, content);
  }
  void Segments(const std::string& relative, const std::vector<std::string>& names) const {
    std::vector<pmtest::Segment> segments;
    for (const std::string& name : names) segments.push_back({name, 0, ""});
    pmtest::WriteSegmentedFile(root / relative, segments);
  }
  // Writes the definitions and runs pmtool on the installation.
  pmtooltest::RunResult Run(std::vector<std::string> args) const {
    File("alpha/data/alpha.acd", DefinitionText(alpha));
    File("beta/data/beta.acd", DefinitionText(beta));
    args.insert(args.begin(), {"--install", root.path()});
    return RunPmtool(args);
  }

  pmtest::TempDir root;
  Keys alpha;
  Keys beta;
};

// One fault of an installation and the finding it must give.
struct Fault {
  const char* name;
  void (*apply)(Installation&);
  const char* file;  // relative to the installation
  const char* key;   // empty when the finding names none
  const char* kind;
};

const Fault kFaults[] = {
    {"DefinitionHoldsNoKey",
     [](Installation& i) { i.alpha = {}; }, "alpha/data/alpha.acd", "", "unreadable-definition"},
    {"NoArchName", [](Installation& i) { i.alpha.erase("ARCH_NAME"); }, "alpha/data/alpha.acd",
     "ARCH_NAME", "missing-key"},
    {"NoArchFriend", [](Installation& i) { i.alpha.erase("ARCH_FRIEND"); },
     "alpha/data/alpha.acd", "ARCH_FRIEND", "missing-key"},
    {"ArchNameOfAnotherModule", [](Installation& i) { i.alpha["ARCH_NAME"] = "beta"; },
     "alpha/data/alpha.acd", "ARCH_NAME", "wrong-arch-name"},
    {"FriendChainLoops",
     [](Installation& i) {
       i.alpha["ARCH_FRIEND"] = "beta";
       i.beta["ARCH_FRIEND"] = "alpha";
     },
     "beta/data/beta.acd", "ARCH_FRIEND", "friend-loop"},
    {"FriendNotInstalled", [](Installation& i) { i.beta["ARCH_FRIEND"] = "ghost"; },
     "beta/data/beta.acd", "ARCH_FRIEND", "missing-friend"},
    {"DeviceFormatDoesNotCompile", [](Installation& i) { i.beta["DEVICE_FORMAT"] = "xcbe(_"; },
     "beta/data/beta.acd", "DEVICE_FORMAT", "bad-format"},
    {"SpeedFormatDoesNotCompile", [](Installation& i) { i.alpha["SPEED_FORMAT"] = "[0-9"; },
     "alpha/data/alpha.acd", "SPEED_FORMAT", "bad-format"},
    {"SubfamilyFormatInheritedFromAFriend",
     [](Installation& i) {
       i.beta["ARCH_FRIEND"] = "alpha";
       i.alpha["SUBFAM_FORMAT"] = "ab([0-9]+";
     },
     "alpha/data/alpha.acd", "SUBFAM_FORMAT", "bad-format"},
    {"DeviceWithoutData", [](Installation& i) { i.beta["DEVICE_INTERNAL"] += ":xcbe2,be2"; },
     "beta/data/beta.acd", "DEVICE_INTERNAL", "no-device-data"},
    {"DeviceWithPackagesButNoSpeedGrade",
     [](Installation& i) {
       i.beta["DEVICE_INTERNAL"] += ":xcbe3,be3";
       i.Segments("beta/data/be3.pkg", {"pc44"});
     },
     "beta/data/beta.acd", "DEVICE_INTERNAL", "incomplete-device-data"},
    {"DeviceFileOfNoEntry", [](Installation& i) { i.File("alpha/data/ab9.nph", "x\n"); },
     "alpha/data/ab9.nph", "DEVICE_INTERNAL", "unlisted-device-file"},
    {"MalformedSpeedFile", [](Installation& i) { i.File("alpha/data/ab1.spd", "no segments"); },
     "alpha/data/ab1.spd", "", "bad-data-file"},
    {"EmptyPackageFile", [](Installation& i) { i.File("beta/data/be1.pkg", ""); },
     "beta/data/be1.pkg", "", "empty-data-file"},
    {"SpeedFileWithoutGrades", [](Installation& i) { i.Segments("beta/data/be1.spd", {"-0"}); },
     "beta/data/be1.spd", "", "empty-data-file"},
    {"DisallowedSpeedOfNoDevice", [](Installation& i) { i.alpha["DISALLOW_SPEEDS"] = "-2,-9"; },
     "alpha/data/alpha.acd", "DISALLOW_SPEEDS", "bad-disallowed-speed"},
    {"AliasOfTwoModules",
     [](Installation& i) {
       i.alpha["ALIAS_alpha"] = "first";
       i.beta["ALIAS_beta"] = "first";
     },
     "beta/data/beta.acd", "ALIAS_beta", "alias-collision"},
    {"AliasIsAModuleName", [](Installation& i) { i.alpha["ALIAS_alpha"] = "beta"; },
     "alpha/data/alpha.acd", "ALIAS_alpha", "alias-collision"},
    {"VentryWithoutClosingParenthesis",
     [](Installation& i) { i.alpha["VENTRY_route"] = "route(int,lib"; }, "alpha/data/alpha.acd",
     "VENTRY_route", "bad-ventry"},
    {"VentryLibraryNotInstalled", [](Installation& i) { i.beta["VENTRY_pack"] = "pack,nolib"; },
     "beta/data/beta.acd", "VENTRY_pack", "missing-library"},
    {"PatternDoesNotCompile",
     [](Installation& i) { i.File("data/patternfile", "omega=^x?om[0-9]+\nalpha=ab[\n"); },
     "data/patternfile", "alpha", "bad-pattern"},
    {"LibraryWarning", [](Installation& i) { i.alpha.erase("FAMILY"); }, "alpha/data/alpha.acd",
     "", "library-message"},
};

void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

class CheckFinds : public testing::TestWithParam<Fault> {};

TEST_P(CheckFinds, TheFaultWithItsFileKeyAndKind) {
  const Fault& fault = GetParam();
  Installation installation;
  fault.apply(installation);
  const auto result = installation.Run({"check", "--json"});
  ASSERT_EQ(1, result.status) << result.out << result.err;
  const auto findings = nlohmann::json::parse(result.out);
  const nlohmann::json key = *fault.key ? nlohmann::json(fault.key) : nlohmann::json();
  bool found = false;
  for (const auto& finding : findings) {
    found = found || (finding["file"] == installation.root / fault.file &&
                      finding["key"] == key && finding["kind"] == fault.kind);
  }
  EXPECT_TRUE(found) << result.out;
  EXPECT_EQ("", result.err);  // no library message escapes
}

INSTANTIATE_TEST_SUITE_P(Installation, CheckFinds, testing::ValuesIn(kFaults),
                         [](const testing::TestParamInfo<Fault>& info) { return info.param.name; });

TEST(CheckCommand, CleanInstallationAndSampleGiveStatusZero) {
  const Installation installation;
  auto result = installation.Run({"check", "--json"});
  EXPECT_EQ(0, result.status) << result.out;
  EXPECT_EQ("[]\n", result.out);

  result = OnSample({"check"});
  EXPECT_EQ(0, result.status) << result.out;
  EXPECT_EQ("", result.out);
  EXPECT_EQ("pmtool check: 7 modules checked, no problem found\n", result.err);
  result = OnSample({"check", "--roundtrip"});
  EXPECT_EQ(0, result.status) << result.out;
  EXPECT_EQ("pmtool check: 20 part names parsed back, each to what it was made from\n",
            result.err);

  // The overlay's beta overrides the sample's: an override notice is no problem.
  const std::string overlay = pmtooltest::kSample + "/overlay:" + pmtooltest::kSample;
  EXPECT_EQ(0, RunPmtool({"--install", overlay, "check"}).status);
  result = RunPmtool({"--install", overlay, "check", "--roundtrip"});
  EXPECT_EQ(0, result.status) << result.out;
  EXPECT_EQ("pmtool check: 22 part names parsed back, each to what it was made from\n",
            result.err);
}

TEST(CheckCommand, NamedModulesOnlyAndPlainLinesWithFileAndKey) {
  Installation installation;
  installation.alpha["DISALLOW_SPEEDS"] = "-9";
  installation.beta.erase("ARCH_FRIEND");
  auto result = installation.Run({"check", "alpha"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ(installation.root / "alpha/data/alpha.acd" +
                ":  DISALLOW_SPEEDS:  \"-9\" is no speed grade of any device of alpha\n",
            result.out);
  EXPECT_EQ("pmtool check: 1 module checked, 1 problem\n", result.err);

  result = installation.Run({"check", "nosuch"});
  EXPECT_EQ(1, result.status);
  EXPECT_TRUE(Contains(result.out, "no module \"nosuch\" is installed")) << result.out;
  EXPECT_EQ(2, installation.Run({"check", "--nosuch"}).status);
}

// Two architectures whose device formats both match the qb devices, both listing xcqb2: the
// first in list order takes the second's part names.
TEST(CheckCommand, RoundTripShowsPartNamesTakenByAnOverlappingFormat) {
  const pmtest::TempDir root;
  Keys first = Module("first", "CPLD");
  first["DEVICE_INTERNAL"] = "xcqa1,qa1:xcqb2,qb2";
  first["DEVICE_FORMAT"] = "#^x?c?q[a-z][0-9]+";
  Keys second = Module("second", "CPLD");
  second["DEVICE_INTERNAL"] = "xcqb2,qb2";
  second["DEVICE_FORMAT"] = "xcqb_";
  pmtest::WriteFile(root / "first/data/first.acd", DefinitionText(first));
  pmtest::WriteFile(root / "second/data/second.acd", DefinitionText(second));
  for (const char* file : {"first/data/qa1", "first/data/qb2", "second/data/qb2"}) {
    pmtest::WriteSegmentedFile(root / (std::string(file) + ".pkg"), {{"pk1", 0, ""}});
    pmtest::WriteSegmentedFile(root / (std::string(file) + ".spd"), {{"-1", 0, ""}});
  }

  auto result = RunPmtool({"--install", root.path(), "check", "--roundtrip", "--json"});
  EXPECT_EQ(1, result.status) << result.err;
  EXPECT_EQ(nlohmann::json::parse(R"([{"file": ")" + root / "second/data/second.acd" +
                                  R"(", "key": "xcqb2pk1-1", "arch": "second", "kind": "roundtrip",
            "message": "made from second xcqb2 pk1 -1, binds to first xcqb2 pk1 -1"}])"),
            nlohmann::json::parse(result.out));

  result = RunPmtool({"--install", root.path(), "check", "--roundtrip", "first"});
  EXPECT_EQ(0, result.status) << result.out;
  EXPECT_EQ("pmtool check: 2 part names parsed back, each to what it was made from\n",
            result.err);
}

}  // namespace
