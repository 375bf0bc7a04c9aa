// pmtool part on the bundled sample installation: each route to an architecture, each failing
// level, configuration parts, the three-string form and the usage errors.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "pmtool_runner.h"

namespace {

using pmtooltest::OnSample;

nlohmann::json PartJson(std::vector<std::string> args) {
  args.insert(args.begin(), {"part", "--json"});
  const auto result = OnSample(args);
  return nlohmann::json::parse(result.out);
}

}  // namespace

TEST(PartCommand, ShowsEveryLevelOfAValidPart) {
  const auto result = OnSample({"part", "XCAB40E-4-PQ208"});
  EXPECT_EQ(0, result.status) << result.err;
  for (const char* line :
       {"architecture:      alpha\n", "device:            xcab40e (internal ab40e, ab40e_alt)\n",
        "package:           pq208\n", "speed:             -4\n", "error status:      0 (none)\n",
        "subfamily:         mid\n", "databook name:     xcab40e-4pq208\n",
        "speed flags:       minimum speed, 411 speed\n"}) {
    EXPECT_NE(std::string::npos, result.out.find(line)) << line << result.out;
  }
  // delta's parts match only its alternative format.
  const nlohmann::json delta = PartJson({"xcde16pc44-6"});
  EXPECT_EQ("delta", delta["arch"]);
  EXPECT_EQ("pc44", delta["package"]);
  EXPECT_EQ(true, delta["valid_to_speed"]);
}

TEST(PartCommand, NamesTheLevelThatFailsWithTheRejectedText) {
  struct Case {
    const char* part;
    int status;
    const char* rejected;
    const char* failsAt;
  };
  for (const Case& c : {Case{"xczz9tq144-3", 1, "xczz9tq144-3", "architecture"},
                        Case{"xcab50etq144-3", 2, "xcab50e", "device"},
                        Case{"xcab12ebg999-3", 3, "bg999", "package"},
                        Case{"xcab40epq208-5", 4, "-5", "speed"}}) {
    const auto result = OnSample({"part", "--json", c.part});
    EXPECT_EQ(1, result.status) << c.part;
    const nlohmann::json report = nlohmann::json::parse(result.out);
    EXPECT_EQ(c.status, report["status"]) << c.part;
    EXPECT_EQ(c.rejected, report["rejected"]) << c.part;
    EXPECT_EQ(c.failsAt, report["fails_at"]) << c.part;
  }
  const auto missing = OnSample({"part", "xcga20"});
  EXPECT_EQ(1, missing.status);
  EXPECT_NE(std::string::npos,
            missing.err.find("\"xcga20\" fails at the package level (not given)"))
      << missing.err;
}

TEST(PartCommand, AFailingLevelListsTheChoicesAndTheClosest) {
  auto result = OnSample({"part", "xcab12etq14-3"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ(
      "pmtool part: \"xcab12etq14-3\" fails at the package level\n"
      "pmtool part: the packages of alpha xcab12e: tq144, cs144\n"
      "pmtool part: did you mean tq144?\n",
      result.err);

  const nlohmann::json device = PartJson({"xcab41etq144-3"});
  EXPECT_EQ(nlohmann::json::parse(R"(["xcab12e", "xcab40e"])"), device["choices"]);
  EXPECT_EQ(nlohmann::json::parse(R"(["xcab40e"])"), device["suggestions"]);
  const nlohmann::json speed = PartJson({"xcab40epq208-5"});
  EXPECT_EQ(nlohmann::json::parse(R"(["-4"])"), speed["choices"]);
  // A level not given has its choices and nothing to be close to.
  const nlohmann::json missing = PartJson({"xcga20"});
  EXPECT_EQ(nlohmann::json::parse(R"(["ff324", "ff484"])"), missing["choices"]);
  EXPECT_EQ(nlohmann::json::array(), missing["suggestions"]);
  // No choices for an unknown architecture or a valid part.
  EXPECT_EQ(nlohmann::json::array(), PartJson({"xczz9tq144-3"})["choices"]);
  EXPECT_EQ(nlohmann::json::array(), PartJson({"xcab12etq144-3"})["choices"]);
}

TEST(PartCommand, ConfigurationPartTakesADeclaredDeviceWithoutDeviceFile) {
  EXPECT_EQ(1, OnSample({"part", "xcab80ecs144-4"}).status);
  const auto config = OnSample({"part", "--config", "xcab80ecs144-4"});
  EXPECT_EQ(0, config.status) << config.out << config.err;
}

TEST(PartCommand, ThreeStringFormWarnsAndUsageErrorsExitWith2) {
  const auto result =
      OnSample({"part", "--arch", "Acme:alpha", "--speed", "-4", "xcab12etq144-3"});
  EXPECT_EQ(0, result.status);
  EXPECT_NE(std::string::npos, result.err.find("Wrong vendor name <Acme>")) << result.err;
  EXPECT_NE(std::string::npos, result.err.find("The given speed <-4> is inconsistent"))
      << result.err;

  EXPECT_EQ(2, OnSample({"part"}).status);
  EXPECT_EQ(2, OnSample({"part", "--binding", "7", "alpha"}).status);
  EXPECT_EQ(2, OnSample({"part", "--speed", "-3", "alpha"}).status);
  EXPECT_EQ(2, OnSample({"part", "--arch", "alpha", "--config", "xcab12e"}).status);
}
