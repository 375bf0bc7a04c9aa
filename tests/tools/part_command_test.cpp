// pmtool part on the bundled sample installation: what it shows of a valid part, the level that
// fails with its choices, configuration parts, the three-string form and the usage errors. Which
// level fails is the parser's (pinned by its own tests); these pin what pmtool makes of it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "pmtest.h"
#include "pmtool_runner.h"

namespace {

using pmtooltest::ExpectRuns;
using pmtooltest::OnSample;

TEST(PartCommand, ShowsEveryLevelOfAValidPart) {
  const auto result = OnSample({"part", "XCAB40E-4-PQ208"});
  EXPECT_EQ(0, result.status) << result.err;
  for (const char* line :
       {"architecture:      alpha\n", "device:            xcab40e (internal ab40e, ab40e_alt)\n",
        "package:           pq208\n", "speed:             -4\n", "error status:      0 (none)\n",
        "subfamily:         mid\n", "databook name:     xcab40e-4pq208\n",
        "speed flags:       minimum speed, 411 speed\n"}) {
    EXPECT_TRUE(pmtooltest::Contains(result.out, line)) << line << result.out;
  }
}

TEST(PartCommand, AFailingLevelIsNamedWithItsChoicesAndTheClosest) {
  const struct {
    const char* part;
    const char* verdict;  // the fields of the JSON document that tell where the part fails
  } cases[] = {
      // delta's parts match only its alternative format.
      {"xcde16pc44-6", R"(["delta", 0, null, null, [], []])"},
      {"xczz9tq144-3", R"([null, 1, "xczz9tq144-3", "architecture", [], []])"},
      {"xcab41etq144-3",
       R"(["alpha", 2, "xcab41e", "device", ["xcab12e", "xcab40e"], ["xcab40e"]])"},
      {"xcab12ebg999-3", R"(["alpha", 3, "bg999", "package", ["tq144", "cs144"], []])"},
      {"xcab40epq208-5", R"(["alpha", 4, "-5", "speed", ["-4"], ["-4"]])"},
      // A level not given has its choices and nothing to be close to.
      {"xcga20", R"(["gamma", 4, null, "package", ["ff324", "ff484"], []])"},
  };
  for (const auto& c : cases) {
    const auto result = OnSample({"part", "--json", c.part});
    const nlohmann::json part = nlohmann::json::parse(result.out);
    EXPECT_EQ(part["status"] == 0 ? 0 : 1, result.status) << c.part;
    nlohmann::json verdict = nlohmann::json::array();
    for (const char* key : {"arch", "status", "rejected", "fails_at", "choices", "suggestions"}) {
      verdict.push_back(part[key]);
    }
    EXPECT_EQ(nlohmann::json::parse(c.verdict), verdict) << c.part;
  }
  ExpectRuns({
      {{"part", "xcab12etq14-3"}, 1, "...",
       "pmtool part: \"xcab12etq14-3\" fails at the package level\n"
       "pmtool part: the packages of alpha xcab12e: tq144, cs144\n"
       "pmtool part: did you mean tq144?\n"},
      {{"part", "xcga20"}, 1, "...", "...\"xcga20\" fails at the package level (not given)\n"},
  });
}

// A readable module beside the installation: --arch must not reach it, as info does not.
TEST(PartCommand, ArchOutsideTheInstallationIsNoArchitecture) {
  const pmtest::TempDir outer;
  pmtest::WriteFile(outer / "inst/data/common.txt", "");
  const std::string evil =
      "ARCH_NAME = evilmod\nARCH_FRIEND = evilmod\nARCH_TYPE = CPLD\nVENDOR = Evil\n"
      "FAMILY = evilfam\nSUPPORT_MODE = PHYSICAL\nBASE_MODE = FALSE\n"
      "DEVICE_INTERNAL = xcev1,ev1\nDEVICE_FORMAT = xcev_\n";
  for (const char* file : {"evilmod/data/evilmod.acd", "evilmod/evilmod.acd"}) {
    pmtest::WriteFile(outer / file, evil);
  }
  const std::string refused =
      "Unable to open definition file for Personality Module \"../evilmod\"";
  ExpectRuns({{{"part", "--arch", "../evilmod", "xcev1"}, 1, "...architecture:      (none)\n",
               "...error 33: " + refused},
              {{"info", "../evilmod"}, 1, "", "...no usable personality module"}},
             outer / "inst");
}

TEST(PartCommand, ConfigurationPartsThreeStringFormAndUsageErrors) {
  ExpectRuns({
      // A configuration part takes a declared device that has no device file; a part names
      // the missing file instead of suggesting another device.
      {{"part", "xcab80ecs144-4"}, 1, "...", "...xcab80e: no device file (.nph) under any of its "
       "names, so no FPGA part of it is valid (only a configuration part, pmtool part --config): "
       "add ab80e.nph\n"},
      {{"check-part", "--json", "alpha", "xcab80e"}, 1, "...\"suggestions\": [],\n  \"problem\"",
       "..."},
      {{"part", "--config", "xcab80ecs144-4"}, 0, "...", ""},
      {{"part", "--arch", "Acme:alpha", "--speed", "-4", "xcab12etq144-3"}, 1, "...",
       "pmtool part: warning: Wrong vendor name <Acme>\n"
       "pmtool part: warning: The given speed <-4> is inconsistent with the speed <-3> in part "
       "<xcab12etq144-3>.\n"
       "pmtool part: the part's speed -3 is not -4, the speed --speed gives\n"},
      {{"part", "--arch", "alpha", "--speed", "-3", "xcab12etq144-3"}, 0, "...", ""},
      {{"part"}, 2, "", "..."},
      {{"part", "--binding", "7", "alpha"}, 2, "", "..."},
      {{"part", "--speed", "-3", "alpha"}, 2, "", "..."},
      {{"part", "--arch", "alpha", "--config", "xcab12e"}, 2, "", "..."},
  });
}

}  // namespace
