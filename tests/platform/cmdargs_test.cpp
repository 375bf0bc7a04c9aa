// The command-line parser: option specifications, argument checks, command files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pmport/ut_cmdargs.h"
#include "pmtest.h"

namespace {

using Words = std::vector<std::string>;

Words Warnings(const pmtest::MessageCapture& capture) {
  return capture.texts(Port::MsgKind::Warning);
}

struct Parsed {
  int result;
  UT_ARGINFO info;
};

Parsed Check(const char* spec, std::vector<const char*> args) {
  Parsed parsed{0, UT_ARGINFO()};
  parsed.result = UT_CMDCHK::chkargs(static_cast<int>(args.size()), args.data(),
                                     UT_CMDOPCODES(spec), parsed.info);
  return parsed;
}

const char* const kSpec = "tool -verbose -out= -level= -4";

TEST(CmdOpcodes, ReadsToolNameFlagsAndValueOptions) {
  const UT_CMDOPCODES opcodes("mytool  -verbose\t-out= -4");
  EXPECT_FALSE(opcodes.iserror());
  EXPECT_EQ(opcodes.gettoolname(), "mytool");
  EXPECT_EQ(opcodes.size(), 3u);
  EXPECT_EQ(opcodes.find("verbose"), UT_CMDOPCODES::Flag);
  EXPECT_EQ(opcodes.find("--out"), UT_CMDOPCODES::Value);
  EXPECT_EQ(opcodes.find("-4"), UT_CMDOPCODES::Flag);
  EXPECT_EQ(opcodes.find("-verb"), UT_CMDOPCODES::None);
  // Help options may be declared as flags; they are not counted.
  EXPECT_EQ(UT_CMDOPCODES("mytool -help -h -?").size(), 0u);
}

TEST(CmdOpcodes, MalformedSpecificationsAreRejectedWithAWarning) {
  for (const char* spec : {static_cast<const char*>(nullptr), "", "   ", "-x tool", "tool x",
                           "tool -", "tool -=", "tool --x", "tool -a=b", "tool -a=b=", "tool -a -a",
                           "tool -a -a=", "tool -h="}) {
    const pmtest::MessageCapture capture;
    const UT_CMDOPCODES opcodes(spec);
    const std::string shown = spec ? spec : "(null)";
    EXPECT_TRUE(opcodes.iserror()) << shown;
    EXPECT_FALSE(opcodes.geterror().empty()) << shown;
    ASSERT_EQ(Warnings(capture).size(), 1u) << shown;
    EXPECT_NE(Warnings(capture)[0].find("malformed"), std::string::npos);
  }
}

TEST(CmdCheck, RecordsFlagsValuesAndPositionalsInOrder) {
  const Parsed p =
      Check(kSpec, {"a.acd", "-verbose", "-out", "x", "--out", "y", "b", "-level", "-3"});
  ASSERT_EQ(p.result, 1);
  EXPECT_EQ(p.info.error, 0);
  EXPECT_EQ(p.info.usagegiven, 0);
  EXPECT_TRUE(p.info.hasflag("--verbose"));
  EXPECT_FALSE(p.info.hasflag("4"));
  EXPECT_EQ(p.info.getvalues("out"), (Words{"x", "y"}));
  EXPECT_STREQ(p.info.getvalue("-out"), "y");
  EXPECT_STREQ(p.info.getvalue("level"), "-3");  // a value option takes whatever follows it
  EXPECT_EQ(p.info.getvalue("verbose"), nullptr);
  EXPECT_EQ(p.info.positionals, (Words{"a.acd", "b"}));
  EXPECT_STREQ(p.info.getpositional(1), "b");
  EXPECT_EQ(p.info.getpositional(2), nullptr);
}

TEST(CmdCheck, DashDigitWordsAndWordsAfterDoubleDashArePositional) {
  const Parsed p = Check(kSpec, {"-5", "-0P", "-4", "-", "--", "-verbose", "--", "-help"});
  ASSERT_EQ(p.result, 1);
  EXPECT_TRUE(p.info.hasflag("4"));  // declared, so an option
  EXPECT_FALSE(p.info.hasflag("verbose"));
  EXPECT_EQ(p.info.usagegiven, 0);
  EXPECT_EQ(p.info.positionals, (Words{"-5", "-0P", "-", "-verbose", "--", "-help"}));
}

TEST(CmdCheck, RejectedArgumentsFailWithAWarningNamingEach) {
  struct Row {
    std::vector<const char*> args;
    Words named;
  };
  const Row rows[] = {
      {{"-verbose", "-quiet", "file"}, {"\"-quiet\""}},
      {{"file", "--out"}, {"\"--out\""}},
      // Every argument is looked at: two faults give two warnings.
      {{"-x", "-y"}, {"\"-x\"", "\"-y\""}},
      // One or two dashes, not three.
      {{"---verbose"}, {"\"---verbose\""}},
  };
  for (const Row& row : rows) {
    const pmtest::MessageCapture capture;
    const Parsed p = Check(kSpec, row.args);
    EXPECT_EQ(p.result, 0) << row.named[0];
    EXPECT_EQ(p.info.error, 1) << row.named[0];
    ASSERT_EQ(Warnings(capture).size(), row.named.size()) << row.named[0];
    for (std::size_t w = 0; w < row.named.size(); ++w) {
      EXPECT_NE(Warnings(capture)[w].find(row.named[w]), std::string::npos) << Warnings(capture)[w];
    }
  }
  EXPECT_EQ(Check(kSpec, {"---h"}).info.usagegiven, 0);
}

TEST(CmdCheck, HelpOptionsSetUsageAndTheFirstTakesTheFollowingWord) {
  for (const char* help : {"-help", "-h", "-?", "--help"}) {
    const Parsed p = Check(kSpec, {"x", help, "alpha", "y"});
    EXPECT_EQ(p.result, 1) << help;
    EXPECT_EQ(p.info.usagegiven, 1) << help;
    EXPECT_EQ(p.info.helpvalue, "alpha") << help;
    EXPECT_EQ(p.info.positionals, (Words{"x", "y"})) << help;
  }
  const Parsed last = Check(kSpec, {"x", "-h"});
  EXPECT_EQ(last.info.usagegiven, 1);
  EXPECT_EQ(last.info.helpvalue, "");

  // The first help option takes whatever follows it, even another help option.
  const std::vector<const char*> args = {"-h", "-help", "alpha"};
  const Parsed twice = Check(kSpec, args);
  EXPECT_EQ(twice.info.helpvalue, "-help");
  EXPECT_EQ(twice.info.positionals, (Words{"alpha"}));
  EXPECT_EQ(UT_CMDCHK::findhelpword(3, args.data()), "-help");
  const std::vector<const char*> none = {"a", "--", "-h", "b"};
  EXPECT_EQ(UT_CMDCHK::findhelpword(4, none.data()), "");

  // Help is recorded even when an option is rejected.
  const pmtest::MessageCapture capture;
  const Parsed rejected = Check(kSpec, {"-bogus", "-help", "alpha"});
  EXPECT_EQ(rejected.result, 0);
  EXPECT_EQ(rejected.info.usagegiven, 1);
  EXPECT_EQ(rejected.info.helpvalue, "alpha");
}

TEST(CmdArgs, RejectedSpecificationFailsWithoutCheckingArgumentsAndClearEmpties) {
  const std::vector<const char*> args = {"-out", "o.txt", "in.txt"};
  UT_CMDARGS parsed(3, args.data(), kSpec);
  EXPECT_FALSE(parsed.iserror());
  EXPECT_FALSE(parsed.gaveusage());
  EXPECT_STREQ(parsed.getinfo().getvalue("out"), "o.txt");
  parsed.getinfo().clear();
  EXPECT_EQ(parsed.getinfo().npositionals(), 0u);
  EXPECT_FALSE(parsed.getinfo().hasoption("out"));
  EXPECT_FALSE(UT_CMDARGS().iserror());

  const pmtest::MessageCapture capture;
  EXPECT_TRUE(UT_CMDARGS(3, args.data(), "tool -in=").iserror());
  const Parsed p = Check("tool -a=b", {"-anything"});
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.info.error, 1);
  EXPECT_EQ(Warnings(capture).size(), 2u);  // each option list's warning only
}

Words Expanded(UT_CMDFILE& expanded) {
  Words words(expanded.getargv(), expanded.getargv() + expanded.getargc());
  EXPECT_EQ(expanded.getargv()[expanded.getargc()], nullptr);
  return words;
}

TEST(CmdFile, ExpandsNestedCommandFilesInPlace) {
  pmtest::TempDir dir;
  pmtest::WriteFile(dir / "inner.cmd", "-level 3\r\n");
  pmtest::WriteFile(dir / "outer.cmd",
                    "-verbose\t-out  o.txt\n-f " + dir / "inner.cmd" + "\n last\n");
  pmtest::WriteFile(dir / "empty.cmd", "");
  const std::string outer = dir / "outer.cmd", empty = dir / "empty.cmd";
  const std::vector<const char*> args = {"first", "-f", outer.c_str(), "end", "-f", empty.c_str()};
  UT_CMDFILE expanded(6, args.data());
  EXPECT_TRUE(expanded.isvalid());
  EXPECT_EQ(Expanded(expanded),
            (Words{"first", "-verbose", "-out", "o.txt", "-level", "3", "last", "end"}));
}

TEST(CmdFile, SelfReferenceAndUnreadableFilesAreReportedAndStop) {
  pmtest::TempDir dir;
  const pmtest::MessageCapture capture;
  const std::string loop = dir / "loop.cmd";
  pmtest::WriteFile(loop, "a -f " + loop + " b");
  const std::vector<const char*> args = {"-f", loop.c_str()};
  UT_CMDFILE looped(2, args.data());
  EXPECT_FALSE(looped.isvalid());
  EXPECT_EQ(Expanded(looped), (Words{"a", "b"}));
  ASSERT_EQ(Warnings(capture).size(), 1u);
  EXPECT_NE(Warnings(capture)[0].find(loop), std::string::npos);

  const std::string missing = dir / "missing.cmd";
  const std::vector<const char*> bad = {"-f", missing.c_str(), "-f", dir.path().c_str(), "-f"};
  UT_CMDFILE unread(5, bad.data());
  EXPECT_FALSE(unread.isvalid());
  EXPECT_EQ(Expanded(unread), (Words{"-f", missing, "-f", dir.path(), "-f"}));
  EXPECT_EQ(Warnings(capture).size(), 3u);
}

}  // namespace
