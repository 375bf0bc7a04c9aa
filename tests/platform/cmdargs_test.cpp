// The command-line parser: option specifications, argument checks, command files.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "pmport/ut_cmdargs.h"
#include "pmtest.h"
#include "port_messages.h"

namespace {

using testing::ElementsAre;

using Words = std::vector<std::string>;

const char* const kSpec = "tool -verbose -out= -level= -4";

// What the check of `args` against kSpec made of them, on one line: the result ("?" when the
// returned value and the error flag disagree), "usage:" and the help word when help was asked
// for, each option given with its values, the positionals, and the quoted word of each warning.
std::string Outcome(std::vector<const char*> args) {
  const pmtest::MessageCapture capture;
  UT_ARGINFO info;
  const int result =
      UT_CMDCHK::chkargs(static_cast<int>(args.size()), args.data(), UT_CMDOPCODES(kSpec), info);
  std::string outcome = result == 1 && !info.error  ? "ok"
                        : result == 0 && info.error ? "rejected"
                                                    : "?";
  if (info.usagegiven) outcome += " usage:" + info.helpvalue;
  for (const char* option : {"verbose", "4", "out", "level"}) {
    if (info.hasflag(option)) outcome += std::string(" -") + option;
    for (const std::string& value : info.getvalues(option))
      outcome += std::string(" -") + option + "=" + value;
  }
  outcome += " [";
  for (const std::string& word : info.positionals)
    outcome += (outcome.back() == '[' ? "" : " ") + word;
  outcome += "]";
  for (const std::string& warning : capture.texts(Port::MsgKind::Warning)) {
    const std::size_t open = warning.find('"');
    outcome += " warning:" + warning.substr(open, warning.find('"', open + 1) + 1 - open);
  }
  return outcome;
}

TEST(CmdCheck, FlagsValuesHelpPositionalsWhatIsRejectedAndLookupsWithOrWithoutDashes) {
  const std::pair<std::vector<const char*>, const char*> rows[] = {
      // arguments, outcome
      {{"a.acd", "-verbose", "-out", "x", "--out", "y", "b", "-level", "-3"},
       "ok -verbose -out=x -out=y -level=-3 [a.acd b]"},  // a value option takes what follows it
      // Dash-digit words are positional unless declared; so is every word after "--".
      {{"-5", "-0P", "-4", "-", "--", "-verbose", "--", "-help"},
       "ok -4 [-5 -0P - -verbose -- -help]"},
      // Every argument is looked at: two faults give two warnings.
      {{"-verbose", "-quiet", "file"}, "rejected -verbose [file] warning:\"-quiet\""},
      {{"file", "--out"}, "rejected [file] warning:\"--out\""},
      {{"-x", "-y"}, "rejected [] warning:\"-x\" warning:\"-y\""},
      {{"---verbose"}, "rejected [] warning:\"---verbose\""},
      {{"---h"}, "rejected [] warning:\"---h\""},
      // Help options set usage, and the first takes the word after it, even another help option.
      {{"x", "-h"}, "ok usage: [x]"},
      {{"-h", "-help", "alpha"}, "ok usage:-help [alpha]"},
      {{"-h", "x", "--help", "y"}, "ok usage:x [y]"},
      {{"-bogus", "-help", "alpha"}, "rejected usage:alpha [] warning:\"-bogus\""},
  };
  for (const auto& [args, outcome] : rows) EXPECT_EQ(Outcome(args), outcome);
  for (const char* help : {"-?", "-help", "-h", "--help"})
    EXPECT_EQ(Outcome({"x", help, "alpha", "y"}), "ok usage:alpha [x y]") << help;
  EXPECT_EQ(UT_CMDCHK::findhelpword(3, std::array{"-h", "-help", "alpha"}.data()), "-help");
  EXPECT_EQ(UT_CMDCHK::findhelpword(4, std::array{"a", "--", "-h", "b"}.data()), "");

  // Lookups take names with or without dashes.
  UT_CMDARGS parsed(6, std::array{"-verbose", "-out", "x", "--out", "y", "b"}.data(), kSpec);
  const UT_ARGINFO& info = parsed.getinfo();
  EXPECT_TRUE(!parsed.iserror() && !parsed.gaveusage() && info.hasflag("--verbose"));
  EXPECT_STREQ(info.getvalue("-out"), "y");
  EXPECT_STREQ(info.getpositional(0), "b");
  EXPECT_TRUE(info.getvalue("verbose") == nullptr && info.getpositional(1) == nullptr);
  parsed.getinfo().clear();
  EXPECT_TRUE(info.npositionals() == 0 && !info.hasoption("out") && !UT_CMDARGS().iserror());
}

// A specification names the tool, flags and value options; help options may be declared as flags
// and are not counted. A malformed one is rejected with one warning, and the check then fails
// without looking at the arguments.
TEST(CmdOpcodes, ReadsToolNameFlagsAndValueOptionsAndRejectsMalformedOnesWithAWarning) {
  const UT_CMDOPCODES opcodes("mytool  -verbose\t-out= -4");
  EXPECT_TRUE(opcodes.gettoolname() == "mytool" && !opcodes.iserror() && opcodes.size() == 3u &&
              opcodes.find("--out") == UT_CMDOPCODES::Value &&
              opcodes.find("-verb") == UT_CMDOPCODES::None &&
              UT_CMDOPCODES("mytool -help -h -?").size() == 0u);
  for (const char* spec : {static_cast<const char*>(nullptr), "", "   ", "-x tool", "tool x",
                           "tool -", "tool -=", "tool --x", "tool -a=b", "tool -a=b=", "tool -a -a",
                           "tool -a -a=", "tool -h="}) {
    const pmtest::MessageCapture capture;
    const UT_CMDOPCODES opcodes(spec);
    UT_ARGINFO info;
    const std::string shown = spec ? spec : "(null)";
    EXPECT_TRUE(opcodes.iserror() && !opcodes.geterror().empty() &&
                UT_CMDCHK::chkargs(1, std::array{"-anything"}.data(), opcodes, info) == 0 &&
                info.error == 1)
        << shown;
    // The malformed option table's warning, not the argument's.
    EXPECT_THAT(capture.messages(), ElementsAre(pmtest::From(Port::msg::MalformedOptionSpec)))
        << shown;
  }
}

// Whether the expansion is valid, then its words (which a null pointer ends).
Words Expanded(UT_CMDFILE& expanded) {
  Words words{expanded.isvalid() ? "valid:" : "invalid:"};
  words.insert(words.end(), expanded.getargv(), expanded.getargv() + expanded.getargc());
  EXPECT_EQ(expanded.getargv()[expanded.getargc()], nullptr);
  return words;
}

TEST(CmdFile, ExpandsNestedCommandFilesInPlaceAndStopsAtLoopsAndUnreadableFiles) {
  pmtest::TempDir dir;
  pmtest::WriteFile(dir / "inner.cmd", "-level 3\r\n");
  pmtest::WriteFile(dir / "outer.cmd",
                    "-verbose\t-out  o.txt\n-f " + dir / "inner.cmd" + "\n last\n");
  pmtest::WriteFile(dir / "empty.cmd", "");
  const std::string outer = dir / "outer.cmd", empty = dir / "empty.cmd";
  const std::vector<const char*> args = {"first", "-f", outer.c_str(), "end", "-f", empty.c_str()};
  UT_CMDFILE expanded(6, args.data());
  EXPECT_EQ(Expanded(expanded),
            (Words{"valid:", "first", "-verbose", "-out", "o.txt", "-level", "3", "last", "end"}));

  // A file naming itself, and files that cannot be read, are reported and stop.
  const pmtest::MessageCapture capture;
  const std::string loop = dir / "loop.cmd";
  pmtest::WriteFile(loop, "a -f " + loop + " b");
  UT_CMDFILE looped(2, std::array{"-f", loop.c_str()}.data());
  EXPECT_EQ(Expanded(looped), (Words{"invalid:", "a", "b"}));
  EXPECT_THAT(capture.messages(),
              ElementsAre(pmtest::Says(Port::msg::CommandFileNamesItself, {loop})));

  const std::string missing = dir / "missing.cmd";
  UT_CMDFILE unread(5, std::array{"-f", missing.c_str(), "-f", dir.path().c_str(), "-f"}.data());
  EXPECT_EQ(Expanded(unread), (Words{"invalid:", "-f", missing, "-f", dir.path(), "-f"}));
  EXPECT_THAT(capture.messages(), ElementsAre(pmtest::From(Port::msg::CommandFileNamesItself),
                                              pmtest::From(Port::msg::CannotReadCommandFile),
                                              pmtest::From(Port::msg::CannotReadCommandFile)));
}

}  // namespace
