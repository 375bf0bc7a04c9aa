// pmtool device, parts, archs and check-part on the bundled sample installation. Which names are
// valid is the library's (pinned by its own tests); these pin what pmtool prints and its status.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "pmtest.h"
#include "pmtool_runner.h"

namespace {

using pmtooltest::ExpectRuns;
using pmtooltest::OnSample;
using pmtooltest::RunPmtool;

TEST(DeviceCommand, ShowsKnownUnknownAndInheritedDevices) {
  unsetenv("PM_TEST_DEVICES");
  ExpectRuns({
      {{"device", "alpha", "AB40E_ALT"}, 0,
       "name:             AB40E_ALT\n"
       "device:           xcab40e\n"
       "internal names:   ab40e ab40e_alt\n"
       "subfamily:        mid\n"
       "specifier:        40\n"
       "ranges:           C I\n"
       "device of alpha:  yes\n",
       ""},
      // The choices are the devices a part can take, as parts lists them: xcab80e, declared
      // without a device file, is not among them.
      {{"device", "--json", "alpha", "xcab99e"}, 1,
       R"({"arch": "alpha", "name": "xcab99e", "device": null, "internal_names": [],
           "subfamily_specifier": null, "subfamily": null, "ranges": ["C", "I"], "known": false,
           "choices": ["xcab12e", "xcab40e"], "suggestions": ["xcab12e", "xcab40e"]})",
       "..."},
      {{"device", "alpha", "XCAB8E"}, 1, "...device of alpha:  no\n",
       "pmtool device: \"XCAB8E\" is no device of alpha\n"
       "pmtool device: the devices of alpha: xcab12e, xcab40e\n"
       "pmtool device: did you mean xcab12e or xcab40e?\n"},
      // bravo is beta's alias; beta takes its ranges from alpha, its friend.
      {{"device", "bravo", "be10"}, 0, "...device of beta:  yes\n", ""},
      {{"device", "nosuch", "xcab12e"}, 1, "", "...no usable personality module \"nosuch\""},
      {{"device", "alpha"}, 2, "", "..."},
      {{"device", "alpha", "a", "b"}, 2, "", "..."},
  });
}

TEST(DeviceCommand, TestDevicesOnlyWhenSwitchedOn) {
  setenv("PM_TEST_DEVICES", "", 1);
  ExpectRuns({
      {{"device", "alpha", "ab99e_t"}, 0, "...device:           xcab99e\n", ""},
      {{"device", "alpha", "xcab98e"}, 1, "...", "...the devices of alpha: xcab12e, xcab40e\n"},
  });
}

TEST(PartsCommand, ListsTheNextLevelOrTheChoicesAndTheClosest) {
  ExpectRuns({
      {{"parts", "alpha"}, 0, "xcab12e\nxcab40e\n", ""},
      {{"parts", "--json", "alpha", "xcab12e"}, 0,
       R"({"arch": "alpha", "device": "xcab12e", "list": "packages", "names": ["tq144", "cs144"]})",
       ""},
      {{"parts", "alpha", "xcab99e"}, 1, "",
       "pmtool parts: \"xcab99e\" is no device of alpha\n"
       "pmtool parts: the devices of alpha: xcab12e, xcab40e\n"
       "pmtool parts: did you mean xcab12e or xcab40e?\n"},
      {{"parts", "--json", "alpha", "xcab12e", "TQ14"}, 1,
       R"({"arch": "alpha", "device": "xcab12e", "package": "TQ14", "fails_at": "package",
           "choices": ["tq144", "cs144"], "suggestions": ["tq144"]})",
       "...did you mean tq144?\n"},
      {{"parts", "alpah"}, 1, "",
       "...the personality modules: alpha, beta, delta, gamma, prom\n"
       "pmtool parts: did you mean alpha?\n"},
  });
}

TEST(PartsCommand, AllListsEveryValidFullPartName) {
  ExpectRuns({
      {{"parts", "--all", "alpha"}, 0,
       "ab12etq144-3\nab12etq144-4\nab12ecs144-3\nab12ecs144-4\nab40epq208-4\nab40efg256-4\n", ""},
      {{"parts", "--json", "--all", "alpha", "xcab40e", "fg256"}, 0,
       R"({"arch": "alpha", "device": "xcab40e", "package": "fg256", "list": "parts",
           "names": ["ab40efg256-4"]})",
       ""},
  });
  // The streamed JSON document is laid out as every other one.
  EXPECT_EQ(
      "{\n  \"arch\": \"alpha\",\n  \"device\": \"xcab40e\",\n  \"list\": \"parts\",\n"
      "  \"names\": [\n    \"ab40epq208-4\",\n    \"ab40efg256-4\"\n  ]\n}\n",
      OnSample({"parts", "--json", "--all", "alpha", "xcab40e"}).out);
}

// A mistyped friend made the library repeat the same two messages for every part listed.
TEST(PartsCommand, RepeatedLibraryMessagesAreShownOnce) {
  const pmtest::TempDir install;
  std::filesystem::copy(pmtooltest::kSample, install.path(), std::filesystem::copy_options::recursive);
  const std::string definition = install / "gamma/data/gamma.acd";
  std::string text = pmtest::ReadFile(definition);
  text.replace(text.find("= beta"), 6, "= betta");
  pmtest::WriteFile(definition, text);
  const auto run = RunPmtool({"--install", install.path(), "parts", "--all", "gamma"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
}

TEST(ArchsCommand, ListsPhysicalArchitecturesWithDeviceData) {
  const std::string physical = "Korvan:alpha\nKorvan:beta\nKorvan:delta\nKorvan:gamma\n";
  ExpectRuns({
      {{"archs"}, 0, physical, ""},
      {{"archs", "--config", "--base"}, 0, physical + "Korvan:prom\n", ""},
      {{"archs", "--physical", "--json"}, 0,
       R"({"archs": ["Korvan:alpha", "Korvan:beta", "Korvan:delta", "Korvan:gamma"]})", ""},
      {{"archs", "--logical", "--physical"}, 2, "", "..."},
  });
}

TEST(CheckPartCommand, NamesTheFailingLevelAndCompletesWithDefaults) {
  ExpectRuns({
      {{"check-part", "alpha", "xcab40e", "pq208", "-5"}, 1,
       "architecture:  alpha    valid\n"
       "device:        xcab40e  valid\n"
       "package:       pq208    valid\n"
       "speed:         -5       not valid\n"
       "fails at:   speed\n"
       "completed:  ab40epq208-4\n",
       "pmtool check-part: \"-5\" is no speed of alpha xcab40e\n"
       "pmtool check-part: the speeds of alpha xcab40e pq208: -4\n"
       "pmtool check-part: did you mean -4?\n"},
      {{"check-part", "--json", "gamma", "ga20"}, 0,
       R"({"arch": "gamma", "levels": [{"level": "architecture", "name": "gamma", "valid": true},
                                       {"level": "device", "name": "ga20", "valid": true}],
           "fails_at": null, "choices": [], "suggestions": [],
           "completed": {"device": "xcga20", "package": "ff324", "speed": "-1",
                         "partname": "ga20ff324-1"}})",
       ""},
      // A configuration memory without package data: valid, but nothing to complete it with.
      {{"check-part", "prom", "xcpr01"}, 1,
       "...completed:  (cannot be completed: no package to choose)\n",
       "pmtool check-part: the part cannot be completed: no package to choose\n"},
  });
}

}  // namespace
