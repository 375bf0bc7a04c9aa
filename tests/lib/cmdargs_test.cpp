// Tool command lines: the argument check, the flag bits and the usage text a help option prints.
#include "pmlib/pmcmdargs.h"
#include "spine_fixture.h"

using namespace spinetest;

namespace {

int usageCalls = 0;
void CountUsage() { ++usageCalls; }

const char* const kSpec = "tool -verbose -out=";
const std::string kStart = pmtest::Expand(pmlib::msg::UsageStart, {});

struct Outcome {
  bool error;
  bool gaveUsage;
  Texts status;
};

Outcome Parse(std::vector<std::string> words, unsigned short flags = 0, const char* spec = kSpec) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  pmtest::MessageCapture capture;
  const PM_CMDARGS args(static_cast<int>(words.size()), argv.data(), spec, nullptr, CountUsage,
                        flags);
  return {args.iserror(), args.pmgaveusage() != 0, capture.texts(MsgKind::Status)};
}

}  // namespace

// alpha has its own usage file, printed as text; beta has none and finds the installation's
// through its lookup.
TEST(CmdArgs, ArchitectureUsageFileIsPrintedAsTextOrTheInstallationOneFound) {
  Root first;
  Root base;
  first.Module("alpha", Definition("alpha"));
  first.File("alpha/data/tool.usg", "alpha usage: %s %d\n100% sure\n");
  first.Module("beta", Definition("beta"));
  base.File("data/tool.usg", "generic\n");
  spinetest::Install({&first, &base});

  const Outcome run = Parse({"tool", "-help", "ALPHA"});
  EXPECT_FALSE(run.error);
  EXPECT_TRUE(run.gaveUsage);
  EXPECT_EQ(run.status, (Texts{kStart, "alpha usage: %s %d\n", "100% sure\n"}));
  EXPECT_EQ(Parse({"tool", "-h", "Beta"}).status, (Texts{kStart, "generic\n"}));
  EXPECT_EQ(usageCalls, 0);
}

TEST(CmdArgs, ArchitectureLookupFindingNothingSaysSoAndCallsUsage) {
  Root root;
  root.Module("beta", Definition("beta"));
  spinetest::Install({&root});
  EXPECT_EQ(Parse({"tool", "-help", "Beta"}).status,
            Texts{pmtest::Expand(pmlib::msg::NoArchitectureHelp, {"Beta", "tool"})});
  EXPECT_EQ(usageCalls, 1);
}

TEST(CmdArgs, WithoutWordTheFirstInstallationFileIsPrintedOrUsageCalled) {
  Root first;
  Root second;
  Root third;
  second.File("data/tool.usg", "second\n");
  third.File("data/tool.usg", "third\n");
  spinetest::Install({&first, &second, &third});
  EXPECT_EQ(Parse({"tool", "-h"}).status, (Texts{kStart, "second\n"}));
  // An unknown word is no architecture: the generic text, no message.
  EXPECT_EQ(Parse({"tool", "-?", "nosuch"}).status, (Texts{kStart, "second\n"}));
  EXPECT_EQ(usageCalls, 0);

  spinetest::Install({&first});
  const Outcome run = Parse({"tool", "--help"});
  EXPECT_TRUE(run.gaveUsage);
  EXPECT_TRUE(run.status.empty());
  EXPECT_EQ(usageCalls, 1);
}

// Long lines are printed in pieces of 255 characters; the tool name is cut at 75 characters.
TEST(CmdArgs, LongLinesAndLongToolNamesAreCut) {
  const std::string longName(80, 't');
  Root root;
  root.File("data/tool.usg", std::string(300, 'x') + "\nlast line without end");
  root.File("data/" + longName.substr(0, 75) + ".usg", "long\n");
  spinetest::Install({&root});
  EXPECT_EQ(Parse({"tool", "-h"}).status,
            (Texts{kStart, std::string(255, 'x') + "\n", std::string(45, 'x') + "\n",
                   "last line without end\n"}));
  EXPECT_EQ(Parse({"tool", "-h"}, 0, longName.c_str()).status, (Texts{kStart, "long\n"}));
}

TEST(CmdArgs, EmptyInstallationListFailsUnlessAllowed) {
  Port::KorvanPath::Set({});
  const Outcome refused = Parse({"tool", "-help"});
  EXPECT_TRUE(refused.error);
  EXPECT_FALSE(refused.gaveUsage);  // the check did not run
  EXPECT_EQ(usageCalls, 0);

  const Outcome allowed = Parse({"tool", "-help"}, PM_CMDARGS_ALLOW_NO_INSTALL);
  EXPECT_FALSE(allowed.error);
  EXPECT_TRUE(allowed.gaveUsage);
  EXPECT_EQ(usageCalls, 1);
}

// Bit one: the program name is an argument; bit two: command files are not expanded.
TEST(CmdArgs, ChecksArgumentsAsTheFlagBitsSay) {
  Root root;
  root.File("args.txt", "-verbose\n-h\n");
  spinetest::Install({&root});
  const Outcome fine = Parse({"tool", "-verbose", "-out", "file", "positional"});
  EXPECT_FALSE(fine.error);
  EXPECT_FALSE(fine.gaveUsage);
  EXPECT_TRUE(Parse({"tool", "-undeclared"}).error);
  EXPECT_TRUE(Parse({"tool"}, 0, "tool -bad=x").error);
  EXPECT_FALSE(Parse({}).error);

  EXPECT_FALSE(Parse({"-h"}).gaveUsage);
  EXPECT_TRUE(Parse({"-h"}, PM_CMDARGS_ARGV0_IS_ARGUMENT).gaveUsage);
  EXPECT_TRUE(Parse({"-undeclared"}, PM_CMDARGS_ARGV0_IS_ARGUMENT).error);
  EXPECT_EQ(usageCalls, 1);

  const Outcome expanded = Parse({"tool", "-f", root.path() + "/args.txt"});
  EXPECT_FALSE(expanded.error);
  EXPECT_TRUE(expanded.gaveUsage);
  const Outcome literal =
      Parse({"tool", "-f", root.path() + "/args.txt"}, PM_CMDARGS_NO_COMMAND_FILES);
  EXPECT_TRUE(literal.error);  // "-f" is not an option of the tool
  EXPECT_FALSE(literal.gaveUsage);
}
