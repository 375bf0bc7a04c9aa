// "pmtool -help ARCH": an architecture's usage file, the installation's, or pmtool's overview.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "pmtest.h"
#include "pmtool_runner.h"

namespace {

using pmtooltest::kSample;
using pmtooltest::RunPmtool;

TEST(PmtoolArchitectureHelp, PrintsTheUsageFileTheArchitectureFinds) {
  setenv("KORVAN_PATH", kSample.c_str(), 1);
  const struct {
    pmtooltest::Args args;
    const char* usageFile;  // under the installation
  } cases[] = {
      {{"-help", "alpha"}, "alpha/data/pmtool.usg"},
      {{"--help", "delta"}, "delta/data/pmtool.usg"},
      // gamma has none of its own: its friend chain (beta, alpha) leads to alpha's.
      {{"-h", "Gamma"}, "alpha/data/pmtool.usg"},
      // prom and its friends have none: the installation's, without a message.
      {{"-help", "prom"}, "data/pmtool.usg"},
      {{"-help", "nosuch"}, "data/pmtool.usg"},
  };
  for (const auto& help : cases) {
    const std::string usage = pmtest::ReadFile(kSample + "/" + help.usageFile);
    ASSERT_NE(usage, "") << help.usageFile;
    // A " " status line, then the file's lines.
    pmtooltest::ExpectResult({help.args, 0, " " + usage, ""}, RunPmtool(help.args));
  }
  // A command's name keeps asking for pmtool's own help.
  EXPECT_EQ(RunPmtool({"--help", "part"}).out.rfind("Usage: pmtool part", 0), 0u);
}

TEST(PmtoolArchitectureHelp, WithoutAnyUsageFileSaysSoAndPrintsTheOverview) {
  const pmtest::TempDir install;
  pmtest::WriteFile(install / "zeta/data/zeta.acd",
                    "ARCH_NAME = zeta\nARCH_FRIEND = zeta\nBASE_MODE = FALSE\n");
  const std::string notice =
      "There is no Zeta architecture specific help available for pmtool.  The architecture "
      "independent help is instead provided below.\n";
  pmtooltest::ExpectRuns({{{"-help", "Zeta"}, 0, notice + RunPmtool({"--help"}).out, ""}},
                         install.path());
}

}  // namespace
