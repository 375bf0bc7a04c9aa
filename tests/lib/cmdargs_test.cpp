// Tool command lines: the argument check, the flag bits and the usage text a help option prints.
#include <tuple>

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
  EXPECT_TRUE(!run.error && run.gaveUsage);
  EXPECT_EQ(run.status, (Texts{kStart, "alpha usage: %s %d\n", "100% sure\n"}));
  EXPECT_EQ(Parse({"tool", "-h", "Beta"}).status, (Texts{kStart, "generic\n"}));
  EXPECT_EQ(usageCalls, 0);
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

  // With no file, an architecture's lookup says so; both call the usage function.
  first.Module("beta", Definition("beta"));
  spinetest::Install({&first});
  const Outcome run = Parse({"tool", "--help"});
  EXPECT_TRUE(run.gaveUsage && run.status.empty());
  EXPECT_EQ(Parse({"tool", "-help", "Beta"}).status,
            Texts{pmtest::Expand(pmlib::msg::NoArchitectureHelp, {"Beta", "tool"})});
  EXPECT_EQ(usageCalls, 2);
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
  EXPECT_TRUE(refused.error && !refused.gaveUsage);  // the check did not run
  const Outcome allowed = Parse({"tool", "-help"}, PM_CMDARGS_ALLOW_NO_INSTALL);
  EXPECT_TRUE(!allowed.error && allowed.gaveUsage);
  EXPECT_EQ(usageCalls, 1);
}

// Bit one: the program name is an argument; bit two: command files are not expanded.
TEST(CmdArgs, ChecksArgumentsAsTheFlagBitsSay) {
  Root root;
  root.File("args.txt", "-verbose\n-h\n");
  spinetest::Install({&root});
  const std::string file = root.path() + "/args.txt";
  // Each row: the words, the flags, the tool's options, then "<error><gave usage>".
  const std::tuple<std::vector<std::string>, unsigned short, const char*, const char*> rows[] = {
      {{"tool", "-verbose", "-out", "file", "positional"}, 0, kSpec, "00"},
      {{"tool", "-undeclared"}, 0, kSpec, "10"},
      {{"tool"}, 0, "tool -bad=x", "10"},
      {{}, 0, kSpec, "00"},
      {{"-h"}, 0, kSpec, "00"},
      {{"-h"}, PM_CMDARGS_ARGV0_IS_ARGUMENT, kSpec, "01"},
      {{"-undeclared"}, PM_CMDARGS_ARGV0_IS_ARGUMENT, kSpec, "10"},
      {{"tool", "-f", file}, 0, kSpec, "01"},
      {{"tool", "-f", file}, PM_CMDARGS_NO_COMMAND_FILES, kSpec, "10"},  // "-f" is no option
  };
  for (const auto& [words, flags, spec, expected] : rows) {
    const Outcome run = Parse(words, flags, spec);
    EXPECT_EQ(expected, std::to_string(run.error) + std::to_string(run.gaveUsage)) << words.size();
  }
  EXPECT_EQ(usageCalls, 2);
}
