// "pmtool -help ARCH": an architecture's usage file, the installation's, or pmtool's overview.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "pmtest.h"
#include "pmtool_runner.h"

namespace {

using pmtooltest::RunPmtool;

using pmtooltest::kSample;

// What the usage file prints: a " " status line, then the file's lines.
std::string Printed(const std::string& usageFile) {
  return " " + pmtest::ReadFile(kSample + "/" + usageFile);
}

}  // namespace

TEST(PmtoolArchitectureHelp, PrintsTheUsageFileTheArchitectureFinds) {
  setenv("KORVAN_PATH", kSample.c_str(), 1);
  const auto alpha = RunPmtool({"-help", "alpha"});
  EXPECT_EQ(alpha.status, 0);
  EXPECT_EQ(alpha.err, "");
  EXPECT_NE(pmtest::ReadFile(kSample + "/alpha/data/pmtool.usg"), "");
  EXPECT_EQ(alpha.out, Printed("alpha/data/pmtool.usg"));
  EXPECT_EQ(RunPmtool({"--help", "delta"}).out, Printed("delta/data/pmtool.usg"));
  // gamma has none of its own: its friend chain (beta, alpha) leads to alpha's.
  EXPECT_EQ(RunPmtool({"-h", "Gamma"}).out, Printed("alpha/data/pmtool.usg"));
  // prom and its friends have none: the installation's, without a message.
  const auto prom = RunPmtool({"-help", "prom"});
  EXPECT_EQ(prom.out, Printed("data/pmtool.usg"));
  EXPECT_EQ(prom.err, "");
  EXPECT_EQ(RunPmtool({"-help", "nosuch"}).out, Printed("data/pmtool.usg"));
  // A command's name keeps asking for pmtool's own help.
  EXPECT_EQ(RunPmtool({"--help", "part"}).out.rfind("Usage: pmtool part", 0), 0u);
}

TEST(PmtoolArchitectureHelp, WithoutAnyUsageFileSaysSoAndPrintsTheOverview) {
  const pmtest::TempDir install;
  pmtest::WriteFile(install / "zeta/data/zeta.acd",
                    "ARCH_NAME = zeta\nARCH_FRIEND = zeta\nBASE_MODE = FALSE\n");
  const auto run = RunPmtool({"--install", install.path(), "-help", "Zeta"});
  EXPECT_EQ(run.status, 0);
  const std::string notice =
      "There is no Zeta architecture specific help available for pmtool.  The architecture "
      "independent help is instead provided below.\n";
  EXPECT_EQ(run.out.substr(0, notice.size()), notice);
  EXPECT_EQ(run.out.substr(notice.size()), RunPmtool({"--help"}).out);
}
