// pmtool device on the bundled sample installation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "pmtool_runner.h"

namespace {

using pmtooltest::OnSample;

nlohmann::json DeviceJson(const std::string& arch, const std::string& name) {
  const auto result = OnSample({"device", "--json", arch, name});
  return nlohmann::json::parse(result.out);
}

}  // namespace

TEST(DeviceCommand, ShowsTheDeviceOfAnInternalName) {
  unsetenv("PM_TEST_DEVICES");
  const auto result = OnSample({"device", "alpha", "AB40E_ALT"});
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ("name:             AB40E_ALT\n"
            "device:           xcab40e\n"
            "internal names:   ab40e ab40e_alt\n"
            "subfamily:        mid\n"
            "specifier:        40\n"
            "ranges:           C I\n"
            "device of alpha:  yes\n",
            result.out);
  EXPECT_EQ("", result.err);
}

TEST(DeviceCommand, JsonOfDevicesKnownUnknownAndInherited) {
  unsetenv("PM_TEST_DEVICES");
  EXPECT_EQ(nlohmann::json::parse(R"({"arch": "alpha", "name": "xcab80e", "device": "xcab80e",
      "internal_names": ["ab80e", "ab80e_es", "ab80e_rev2"], "subfamily_specifier": "80",
      "subfamily": "max", "ranges": ["C", "I"], "known": true, "choices": [], "suggestions": []})"),
            DeviceJson("alpha", "xcab80e"));

  const auto unknown = OnSample({"device", "--json", "alpha", "xcab99e"});
  EXPECT_EQ(1, unknown.status);
  EXPECT_EQ(nlohmann::json::parse(R"({"arch": "alpha", "name": "xcab99e", "device": null,
      "internal_names": [], "subfamily_specifier": null, "subfamily": null,
      "ranges": ["C", "I"], "known": false, "choices": ["xcab12e", "xcab40e", "xcab80e"],
      "suggestions": ["xcab12e", "xcab40e", "xcab80e"]})"),
            nlohmann::json::parse(unknown.out));
  // Every declared device is a choice, with or without data files.
  EXPECT_NE(std::string::npos,
            OnSample({"device", "alpha", "XCAB8E"}).err.find("did you mean xcab80e?\n"));

  // beta takes its ranges from alpha, its friend; its own device has no subfamily.
  const nlohmann::json beta = DeviceJson("bravo", "be10");
  EXPECT_EQ("beta", beta["arch"]);
  EXPECT_EQ("xcbe10", beta["device"]);
  EXPECT_EQ(nlohmann::json::parse(R"(["C", "I"])"), beta["ranges"]);
  EXPECT_TRUE(beta["subfamily"].is_null());
}

TEST(DeviceCommand, TestDevicesOnlyWhenSwitchedOn) {
  setenv("PM_TEST_DEVICES", "", 1);
  const nlohmann::json known = DeviceJson("alpha", "ab99e_t");
  EXPECT_EQ("xcab99e", known["device"]);
  EXPECT_EQ(nlohmann::json::parse(R"(["ab99e_t"])"), known["internal_names"]);
  EXPECT_EQ(nlohmann::json::parse(R"(["xcab12e", "xcab40e", "xcab80e", "xcab99e"])"),
            DeviceJson("alpha", "xcab98e")["choices"]);
}

TEST(DeviceCommand, ProblemsAndUsage) {
  const auto unknown = OnSample({"device", "alpha", "nosuch"});
  EXPECT_EQ(1, unknown.status);
  EXPECT_NE(std::string::npos, unknown.err.find("\"nosuch\" is no device of alpha")) << unknown.err;
  const auto missing = OnSample({"device", "nosuch", "xcab12e"});
  EXPECT_EQ(1, missing.status);
  EXPECT_NE(std::string::npos, missing.err.find("no usable personality module \"nosuch\""))
      << missing.err;
  EXPECT_EQ(2, OnSample({"device", "alpha"}).status);
  EXPECT_EQ(2, OnSample({"device", "alpha", "a", "b"}).status);
}
