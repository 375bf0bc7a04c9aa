// pmtool modules, info, key and locate on the bundled sample installation.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "pmtool_runner.h"

namespace {

using pmtooltest::RunPmtool;
using pmtooltest::OnSample;
using pmtooltest::kSample;

}  // namespace

TEST(ModulesCommand, ListsSupportedBaseModeAliasedAndUnsupportedModules) {
  auto result = OnSample({"modules"});
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ("alpha\nbeta\ndelta\ngamma\nprom\n", result.out);
  EXPECT_EQ("", result.err);

  result = OnSample({"modules", "--base", "--aliases"});
  EXPECT_EQ("alpha\nbasic\nbravo\ndelta\ngamma\nprom\n", result.out);
  result = OnSample({"modules", "--base", "--key", "ARCH_TYPE", "--value", "cpld"});
  EXPECT_EQ("basic\ndelta\n", result.out);
  result = OnSample({"modules", "--unsupported", "--json"});
  EXPECT_EQ(nlohmann::json::parse(R"({"unsupported": ["legacy"]})"),
            nlohmann::json::parse(result.out));
  result = OnSample({"modules", "--value", "x"});
  EXPECT_EQ(2, result.status);
}

TEST(InfoCommand, ShowsTheFriendChainAliasAndDefinition) {
  auto result = OnSample({"info", "--json", "bravo"});
  ASSERT_EQ(0, result.status) << result.err;
  const auto info = nlohmann::json::parse(result.out);
  EXPECT_EQ("beta", info["name"]);
  EXPECT_EQ("bravo", info["alias"]);
  EXPECT_EQ(false, info["unsupported"]);
  EXPECT_EQ(nlohmann::json::parse(R"(["alpha"])"), info["friends"]);
  EXPECT_EQ(kSample + "/beta/data/beta.acd", info["definition"]);

  result = OnSample({"info", "gamma"});
  EXPECT_NE(std::string::npos, result.out.find("friends:      beta -> alpha\n")) << result.out;
  EXPECT_NE(std::string::npos, result.out.find("      friend 1 = <alpha>\n")) << result.out;

  result = OnSample({"info", "legacy"});
  EXPECT_NE(std::string::npos, result.out.find("unsupported:  yes\n")) << result.out;

  result = OnSample({"info", "nosuch"});
  EXPECT_EQ(1, result.status);
  EXPECT_NE(std::string::npos, result.err.find("Personality Module \"nosuch\"")) << result.err;
}

TEST(KeyCommand, ReadsMergedKeysFieldsAndOtherFilesWithFriends) {
  EXPECT_EQ("Korvan\n", OnSample({"key", "gamma", "VENDOR"}).out);  // from alpha, two steps up
  EXPECT_EQ("GA\n", OnSample({"key", "gamma", "PMPREFIX"}).out);
  EXPECT_EQ("xcab40e\n", OnSample({"key", "alpha", "DEVICE_INTERNAL", "1", "0"}).out);
  EXPECT_EQ("gammalib\n", OnSample({"key", "--file", "libarch", "gamma", "DEPEND"}).out);
  EXPECT_EQ("alphatiming\n", OnSample({"key", "--file", "libarch", "gamma", "TIMING"}).out);

  auto result = OnSample({"key", "alpha", "NO_SUCH_KEY"});
  EXPECT_EQ(1, result.status);
  EXPECT_NE(std::string::npos, result.err.find("no value for \"NO_SUCH_KEY\"")) << result.err;
  EXPECT_EQ(2, OnSample({"key", "alpha", "K", "x"}).status);
  EXPECT_EQ(1, OnSample({"key", "--file", "nothing", "alpha", "K"}).status);
}

TEST(LocateCommand, FindsFilesReportsOverridesAndMisses) {
  auto result = OnSample({"locate", "alpha", ".acd"});
  EXPECT_EQ(0, result.status);
  EXPECT_EQ(kSample + "/alpha/data/alpha.acd\n", result.out);

  result = RunPmtool({"--install", kSample + "/overlay:" + kSample, "locate", "beta", ".acd"});
  EXPECT_EQ(kSample + "/overlay/beta/data/beta.acd\n", result.out);
  EXPECT_NE(std::string::npos, result.err.find("PMSPEC: " + kSample + "/overlay/beta/data/beta.acd overrides " +
                                               kSample + "/beta/data/beta.acd"))
      << result.err;

  result = OnSample({"locate", "--index", "-2", "alpha", ".nph"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ("", result.out);
  EXPECT_NE(std::string::npos, result.err.find("\".nph\" not found for alpha")) << result.err;

  result = OnSample({"locate", "--no-search", "alpha", "anything.txt"});
  EXPECT_EQ(kSample + "/alpha/data/anything.txt\n", result.out);
  EXPECT_EQ(2, OnSample({"locate", "--level", "9", "alpha", "x"}).status);
}
