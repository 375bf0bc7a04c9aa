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

// The usage a help option gave: no error, usage given, the first status line; the lines of the
// usage text follow, each after a "|".
const std::string kUsage = "01|" + kStart + "|";

// "<error><gave usage>", then the status texts, each after a "|".
std::string Parse(std::vector<std::string> words, unsigned short flags = 0,
                  const char* spec = kSpec) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  pmtest::MessageCapture capture;
  const PM_CMDARGS args(static_cast<int>(words.size()), argv.data(), spec, nullptr, CountUsage,
                        flags);
  std::string outcome = std::to_string(args.iserror()) + std::to_string(args.pmgaveusage() != 0);
  for (const std::string& text : capture.texts(MsgKind::Status)) outcome += "|" + text;
  return outcome;
}

}  // namespace

// alpha has its own usage file, printed as text; beta has none and finds the installation's
// through its lookup. Without a word the first installation file is printed; with no file at all,
// an architecture's lookup says so, and both call the usage function.
TEST(CmdArgs, UsageFileOfTheArchitectureOrTheInstallationOrTheUsageFunction) {
  Root first;
  Root second;
  Root third;
  first.Module("alpha", Definition("alpha"));
  first.File("alpha/data/tool.usg", "alpha usage: %s %d\n100% sure\n");
  first.Module("beta", Definition("beta"));
  second.File("data/tool.usg", "second\n");
  third.File("data/tool.usg", "third\n");
  spinetest::Install({&first, &second, &third});
  EXPECT_EQ(kUsage + "alpha usage: %s %d\n|100% sure\n", Parse({"tool", "-help", "ALPHA"}));
  EXPECT_EQ(kUsage + "second\n", Parse({"tool", "-h", "Beta"}));
  EXPECT_EQ(kUsage + "second\n", Parse({"tool", "-h"}));
  // An unknown word is no architecture: the generic text, no message.
  EXPECT_EQ(kUsage + "second\n", Parse({"tool", "-?", "nosuch"}));
  EXPECT_EQ(usageCalls, 0);

  spinetest::Install({&first});
  EXPECT_EQ("01", Parse({"tool", "--help"}));
  EXPECT_EQ("01|" + pmtest::Expand(pmlib::msg::NoArchitectureHelp, {"Beta", "tool"}),
            Parse({"tool", "-help", "Beta"}));
  EXPECT_EQ(usageCalls, 2);
}

// Long lines are printed in pieces of 255 characters; the tool name is cut at 75 characters.
TEST(CmdArgs, LongLinesAndLongToolNamesAreCut) {
  const std::string longName(80, 't');
  Root root;
  root.File("data/tool.usg", std::string(300, 'x') + "\nlast line without end");
  root.File("data/" + longName.substr(0, 75) + ".usg", "long\n");
  spinetest::Install({&root});
  EXPECT_EQ(
      kUsage + std::string(255, 'x') + "\n|" + std::string(45, 'x') + "\n|last line without end\n",
      Parse({"tool", "-h"}));
  EXPECT_EQ(kUsage + "long\n", Parse({"tool", "-h"}, 0, longName.c_str()));
}

// Bit one: the program name is an argument; bit two: command files are not expanded; bit three:
// no installation is needed.
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
  for (const auto& [words, flags, spec, expected] : rows)
    EXPECT_EQ(expected, Parse(words, flags, spec)) << words.size();
  // Without installation the check does not run, unless allowed.
  Port::KorvanPath::Set({});
  EXPECT_EQ("10", Parse({"tool", "-help"}));
  EXPECT_EQ("01", Parse({"tool", "-help"}, PM_CMDARGS_ALLOW_NO_INSTALL));
  EXPECT_EQ(usageCalls, 3);
}
