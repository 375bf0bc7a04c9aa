// pmtool ventry and the help, executable, library and all-copies forms of pmtool locate, on the
// bundled sample installation with its architecture libraries.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "pmtool_runner.h"

namespace {

using pmtooltest::OnSample;
using pmtooltest::kSample;
using pmtooltest::Contains;

}  // namespace

TEST(VentryCommand, ResolvesThePlatformEntryAfterTheArchitecturesDependency) {
  auto result = OnSample({"ventry", "--json", "alpha", "route"});
  ASSERT_EQ(0, result.status) << result.err;
  auto shown = nlohmann::json::parse(result.out);
  EXPECT_EQ("VENTRY_LIN64_route", shown["key"]);
  EXPECT_EQ("arch_route(const char*),arch", shown["entry"]);
  EXPECT_EQ("arch_route", shown["symbol"]);
  EXPECT_EQ("arch", shown["library"]);
  EXPECT_EQ(kSample + "/alpha/lib/lin64/libarch.so", shown["file"]);
  EXPECT_EQ(true, shown["loaded"]);
  EXPECT_EQ(nlohmann::json::parse(R"(["alphalib", "arch"])"), shown["libraries"]);
  EXPECT_EQ(true, shown["replaced"]);
  EXPECT_EQ("", result.err);

  // gamma takes the library from its friend alpha, with its own dependency file's family library.
  result = OnSample({"ventry", "--json", "gamma", "place"});
  ASSERT_EQ(0, result.status) << result.err;
  shown = nlohmann::json::parse(result.out);
  EXPECT_EQ("arch_place", shown["symbol"]);
  EXPECT_EQ(nlohmann::json::parse(R"(["arch", "gammalib"])"), shown["libraries"]);
}

TEST(VentryCommand, GenericImplementationAppliesWithItsReason) {
  auto result = OnSample({"ventry", "alpha", "pack"});
  EXPECT_EQ(1, result.status);
  EXPECT_TRUE(Contains(result.out, "replaced:  no, the entry is NULL\n")) << result.out;

  result = OnSample({"ventry", "--json", "alpha", "nothing"});
  EXPECT_EQ(1, result.status);
  const auto shown = nlohmann::json::parse(result.out);
  EXPECT_EQ(nullptr, shown["key"]);
  EXPECT_EQ("no VENTRY_LIN64_nothing or VENTRY_nothing", shown["reason"]);

  result = OnSample({"ventry", "basic", "route"});
  EXPECT_EQ(1, result.status);
  EXPECT_EQ(1, OnSample({"ventry", "--file", "nosuch", "alpha", "route"}).status);
  EXPECT_EQ(2, OnSample({"ventry", "alpha"}).status);
}

TEST(LocateCommand, FindsHelpFilesByLanguageExecutablesLibrariesAndEveryCopy) {
  auto result = OnSample({"locate", "--help-file", "alpha", ".hlp"});
  EXPECT_EQ(kSample + "/alpha/help/lin64/usenglish/alpha.hlp\n", result.out) << result.err;
  setenv("KORVAN_LANG", "german", 1);
  result = OnSample({"locate", "--help-file", "alpha", ".hlp"});
  unsetenv("KORVAN_LANG");
  EXPECT_EQ(kSample + "/alpha/help/lin64/german/alpha.hlp\n", result.out);
  EXPECT_EQ(kSample + "/help/modules.hlp\n",
            OnSample({"locate", "--help-file", "gamma", "modules.hlp"}).out);

  EXPECT_EQ(kSample + "/alpha/lib/lin64/libarch.so\n",
            OnSample({"locate", "--dll", "gamma", "arch"}).out);
  result = OnSample({"locate", "--exec", "alpha", "map"});
  EXPECT_EQ(1, result.status);
  EXPECT_TRUE(Contains(result.err, "executable \"map\" not found for alpha")) << result.err;
  EXPECT_EQ(kSample + "/alpha/bin/lin64/map.exe\n",
            OnSample({"locate", "--exec", "--no-search", "alpha", "map"}).out);

  result = OnSample({"locate", "--all", "--json", "gamma", "libarch.acd"});
  ASSERT_EQ(0, result.status) << result.err;
  EXPECT_EQ(nlohmann::json({kSample + "/gamma/data/libarch.acd", kSample + "/alpha/data/libarch.acd"}),
            nlohmann::json::parse(result.out)["paths"]);

  EXPECT_EQ(2, OnSample({"locate", "--dll", "--all", "alpha", "x"}).status);
  EXPECT_EQ(2, OnSample({"locate", "--dll", "--level", "0", "alpha", "x"}).status);
  EXPECT_EQ(2, OnSample({"locate", "--exec", "--index", "0", "alpha", "x"}).status);
}
