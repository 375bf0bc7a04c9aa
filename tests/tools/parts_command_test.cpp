// pmtool parts, archs and check-part on the bundled sample installation.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "pmtool_runner.h"

namespace {

using pmtooltest::OnSample;

}  // namespace

TEST(PartsCommand, ListsTheNextLevelFromTheDataFiles) {
  auto result = OnSample({"parts", "alpha"});
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ("xcab12e\nxcab40e\n", result.out);
  // be10's package file lies only with the friend alpha.
  EXPECT_EQ("tq100\ncs121\n", OnSample({"parts", "beta", "XCBE10"}).out);
  EXPECT_EQ("-4\n", OnSample({"parts", "alpha", "xcab40e", "pq208"}).out);  // -5 disallowed
  EXPECT_EQ("pc44\nvq64\n", OnSample({"parts", "basic", "bs32"}).out);  // CPLD: no .nph needed

  result = OnSample({"parts", "--json", "alpha", "xcab12e"});
  EXPECT_EQ(nlohmann::json::parse(
                R"({"arch": "alpha", "device": "xcab12e", "list": "packages",
                    "names": ["tq144", "cs144"]})"),
            nlohmann::json::parse(result.out));

}

TEST(PartsCommand, AnInvalidLevelListsTheChoicesAndTheClosest) {
  auto result = OnSample({"parts", "alpha", "xcab99e"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("", result.out);
  EXPECT_EQ(
      "pmtool parts: \"xcab99e\" is no device of alpha\n"
      "pmtool parts: the devices of alpha: xcab12e, xcab40e\n"
      "pmtool parts: did you mean xcab12e or xcab40e?\n",
      result.err);

  result = OnSample({"parts", "--json", "alpha", "xcab12e", "TQ14"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ(nlohmann::json::parse(
                R"({"arch": "alpha", "device": "xcab12e", "package": "TQ14", "fails_at": "package",
                    "choices": ["tq144", "cs144"], "suggestions": ["tq144"]})"),
            nlohmann::json::parse(result.out));
  EXPECT_NE(std::string::npos, result.err.find("did you mean tq144?\n")) << result.err;

  // Nothing close: the choices alone.
  result = OnSample({"parts", "alpha", "xcab12e", "bg999"});
  EXPECT_EQ(std::string::npos, result.err.find("did you mean")) << result.err;

  result = OnSample({"parts", "alpah"});
  EXPECT_EQ(1, result.status);
  EXPECT_NE(std::string::npos,
            result.err.find("the personality modules: alpha, beta, delta, gamma, prom\n"
                            "pmtool parts: did you mean alpha?\n"))
      << result.err;
}

TEST(PartsCommand, AllListsEveryValidFullPartName) {
  const auto result = OnSample({"parts", "--all", "alpha"});
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ(
      "ab12etq144-3\nab12etq144-4\nab12ecs144-3\nab12ecs144-4\nab40epq208-4\nab40efg256-4\n",
      result.out);

  // The streamed JSON document is laid out as every other one.
  const auto json = OnSample({"parts", "--json", "--all", "alpha", "xcab40e"});
  EXPECT_EQ(
      "{\n  \"arch\": \"alpha\",\n  \"device\": \"xcab40e\",\n  \"list\": \"parts\",\n"
      "  \"names\": [\n    \"ab40epq208-4\",\n    \"ab40efg256-4\"\n  ]\n}\n",
      json.out);
  EXPECT_EQ(nlohmann::json::parse(R"({"arch": "alpha", "device": "xcab40e", "package": "fg256",
                                      "list": "parts", "names": ["ab40efg256-4"]})"),
            nlohmann::json::parse(
                OnSample({"parts", "--json", "--all", "alpha", "xcab40e", "fg256"}).out));
}

TEST(ArchsCommand, ListsPhysicalArchitecturesWithDeviceData) {
  auto result = OnSample({"archs"});
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ("Korvan:alpha\nKorvan:beta\nKorvan:delta\nKorvan:gamma\n", result.out);
  EXPECT_EQ("Korvan:alpha\nKorvan:beta\nKorvan:delta\nKorvan:gamma\nKorvan:prom\n",
            OnSample({"archs", "--config", "--base"}).out);
  EXPECT_EQ("", OnSample({"archs", "--logical"}).out);
  EXPECT_EQ(nlohmann::json::parse(
                R"({"archs": ["Korvan:alpha", "Korvan:beta", "Korvan:delta", "Korvan:gamma"]})"),
            nlohmann::json::parse(OnSample({"archs", "--physical", "--json"}).out));
  EXPECT_EQ(2, OnSample({"archs", "--logical", "--physical"}).status);
}

TEST(CheckPartCommand, NamesTheFailingLevelAndCompletesWithDefaults) {
  auto result = OnSample({"check-part", "alpha", "xcab40e", "pq208", "-5"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ(
      "pmtool check-part: \"-5\" is no speed of alpha xcab40e\n"
      "pmtool check-part: the speeds of alpha xcab40e pq208: -4\n"
      "pmtool check-part: did you mean -4?\n",
      result.err);
  EXPECT_EQ(
      "architecture:  alpha    valid\n"
      "device:        xcab40e  valid\n"
      "package:       pq208    valid\n"
      "speed:         -5       not valid\n"
      "fails at:   speed\n"
      "completed:  ab40epq208-4\n",
      result.out);

  result = OnSample({"check-part", "--json", "gamma", "ga20"});
  EXPECT_EQ(0, result.status) << result.err;
  const auto report = nlohmann::json::parse(result.out);
  EXPECT_EQ(nullptr, report["fails_at"]);
  EXPECT_EQ(nlohmann::json::array(), report["choices"]);
  EXPECT_EQ(nlohmann::json::parse(R"({"device": "xcga20", "package": "ff324", "speed": "-1",
                                      "partname": "ga20ff324-1"})"),
            report["completed"]);

  // A configuration memory without package data: valid, but nothing to complete it with.
  result = OnSample({"check-part", "prom", "xcpr01"});
  EXPECT_EQ(0, result.status);
  EXPECT_NE(std::string::npos, result.out.find("completed:  (cannot be completed)"));
  EXPECT_NE(std::string::npos, result.err.find("fill_defaults: cannot find a default package"));
}
