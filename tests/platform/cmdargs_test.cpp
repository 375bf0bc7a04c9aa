// The command-line parser: option specifications, argument checks, command files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pmport/ut_cmdargs.h"
#include "pmtest.h"

namespace {

// The Warning texts issued while it lives.
class WarningLog {
 public:
  std::vector<std::string> texts() const { return capture_.texts(Port::MsgKind::Warning); }

 private:
  pmtest::MessageCapture capture_;
};

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
  EXPECT_EQ(opcodes.find("-verbose"), UT_CMDOPCODES::Flag);
  EXPECT_EQ(opcodes.find("--out"), UT_CMDOPCODES::Value);
  EXPECT_EQ(opcodes.find("-4"), UT_CMDOPCODES::Flag);
  EXPECT_EQ(opcodes.find("-verb"), UT_CMDOPCODES::None);

  const UT_CMDOPCODES bare("mytool -help -h -?");  // help options may be declared as flags
  EXPECT_FALSE(bare.iserror());
  EXPECT_EQ(bare.gettoolname(), "mytool");
  EXPECT_EQ(bare.size(), 0u);
}

TEST(CmdOpcodes, MalformedSpecificationsAreRejectedWithAWarning) {
  const std::vector<const char*> malformed = {
      nullptr, "", "   ", "-x tool", "tool x", "tool -", "tool -=", "tool --x",
      "tool -a=b", "tool -a=b=", "tool -a -a", "tool -a -a=", "tool -h="};
  for (const char* spec : malformed) {
    WarningLog log;
    const UT_CMDOPCODES opcodes(spec);
    EXPECT_TRUE(opcodes.iserror()) << (spec ? spec : "(null)");
    EXPECT_FALSE(opcodes.geterror().empty());
    ASSERT_EQ(log.texts().size(), 1u) << (spec ? spec : "(null)");
    EXPECT_NE(log.texts()[0].find("malformed"), std::string::npos);
  }
}

TEST(CmdCheck, RecordsFlagsValuesAndPositionalsInOrder) {
  const Parsed p = Check(kSpec, {"a.acd", "-verbose", "-out", "x", "--out", "y", "b", "-level", "-3"});
  ASSERT_EQ(p.result, 1);
  EXPECT_EQ(p.info.error, 0);
  EXPECT_EQ(p.info.usagegiven, 0);
  EXPECT_TRUE(p.info.hasflag("verbose"));
  EXPECT_TRUE(p.info.hasflag("--verbose"));
  EXPECT_FALSE(p.info.hasflag("4"));
  EXPECT_EQ(p.info.getvalues("out"), (std::vector<std::string>{"x", "y"}));
  EXPECT_STREQ(p.info.getvalue("-out"), "y");
  EXPECT_STREQ(p.info.getvalue("level"), "-3");  // a value option takes whatever follows it
  EXPECT_EQ(p.info.getvalue("verbose"), nullptr);
  EXPECT_TRUE(p.info.getvalues("nothing").empty());
  EXPECT_EQ(p.info.positionals, (std::vector<std::string>{"a.acd", "b"}));
  EXPECT_STREQ(p.info.getpositional(1), "b");
  EXPECT_EQ(p.info.getpositional(2), nullptr);
}

TEST(CmdCheck, DashDigitWordsAndWordsAfterDoubleDashArePositional) {
  const Parsed p = Check(kSpec, {"-5", "-0P", "-4", "-", "--", "-verbose", "--", "-help"});
  ASSERT_EQ(p.result, 1);
  EXPECT_TRUE(p.info.hasflag("4"));  // declared, so an option
  EXPECT_FALSE(p.info.hasflag("verbose"));
  EXPECT_EQ(p.info.usagegiven, 0);
  EXPECT_EQ(p.info.positionals,
            (std::vector<std::string>{"-5", "-0P", "-", "-verbose", "--", "-help"}));
}

TEST(CmdCheck, UndeclaredOptionOrMissingValueFailsWithAWarningNamingIt) {
  WarningLog log;
  const Parsed unknown = Check(kSpec, {"-verbose", "-quiet", "file"});
  EXPECT_EQ(unknown.result, 0);
  EXPECT_EQ(unknown.info.error, 1);
  ASSERT_EQ(log.texts().size(), 1u);
  EXPECT_NE(log.texts()[0].find("\"-quiet\""), std::string::npos);

  const Parsed missing = Check(kSpec, {"file", "--out"});
  EXPECT_EQ(missing.result, 0);
  EXPECT_EQ(missing.info.error, 1);
  ASSERT_EQ(log.texts().size(), 2u);
  EXPECT_NE(log.texts()[1].find("\"--out\""), std::string::npos);

  // Every argument is looked at: two faults give two warnings.
  const Parsed both = Check(kSpec, {"-x", "-y"});
  EXPECT_EQ(both.result, 0);
  EXPECT_EQ(log.texts().size(), 4u);

  // One or two dashes, not three.
  EXPECT_EQ(Check(kSpec, {"---verbose"}).result, 0);
  EXPECT_EQ(Check(kSpec, {"---h"}).info.usagegiven, 0);
}

TEST(CmdCheck, HelpOptionsSetUsageAndTheFirstTakesTheFollowingWord) {
  for (const char* help : {"-help", "-h", "-?", "--help"}) {
    const Parsed p = Check(kSpec, {"x", help, "alpha", "y"});
    EXPECT_EQ(p.result, 1) << help;
    EXPECT_EQ(p.info.usagegiven, 1) << help;
    EXPECT_EQ(p.info.helpvalue, "alpha") << help;
    EXPECT_EQ(p.info.positionals, (std::vector<std::string>{"x", "y"})) << help;
  }
  const Parsed last = Check(kSpec, {"x", "-h"});
  EXPECT_EQ(last.info.usagegiven, 1);
  EXPECT_EQ(last.info.helpvalue, "");

  // The first help option takes whatever follows it, even another help option.
  const Parsed twice = Check(kSpec, {"-h", "-help", "alpha"});
  EXPECT_EQ(twice.info.helpvalue, "-help");
  EXPECT_EQ(twice.info.positionals, (std::vector<std::string>{"alpha"}));

  const std::vector<const char*> args = {"-h", "-help", "alpha"};
  EXPECT_EQ(UT_CMDCHK::findhelpword(3, args.data()), "-help");
  const std::vector<const char*> none = {"a", "--", "-h", "b"};
  EXPECT_EQ(UT_CMDCHK::findhelpword(4, none.data()), "");
}

TEST(CmdCheck, HelpIsRecordedEvenWhenAnOptionIsRejected) {
  WarningLog log;
  const Parsed p = Check(kSpec, {"-bogus", "-help", "alpha"});
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.info.usagegiven, 1);
  EXPECT_EQ(p.info.helpvalue, "alpha");
}

TEST(CmdCheck, RejectedSpecificationFailsWithoutCheckingArguments) {
  WarningLog log;
  const Parsed p = Check("tool -a=b", {"-anything"});
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.info.error, 1);
  EXPECT_EQ(log.texts().size(), 1u);  // the option list's warning only
}

TEST(CmdArgs, ConstructorChecksAndClearRestoresTheEmptyRecord) {
  const std::vector<const char*> args = {"-out", "o.txt", "in.txt"};
  UT_CMDARGS parsed(3, args.data(), kSpec);
  EXPECT_FALSE(parsed.iserror());
  EXPECT_FALSE(parsed.gaveusage());
  EXPECT_STREQ(parsed.getinfo().getvalue("out"), "o.txt");

  WarningLog log;
  UT_CMDARGS bad(3, args.data(), "tool -in=");
  EXPECT_TRUE(bad.iserror());

  UT_CMDARGS empty;
  EXPECT_FALSE(empty.iserror());
  parsed.getinfo().clear();
  EXPECT_EQ(parsed.getinfo().npositionals(), 0u);
  EXPECT_FALSE(parsed.getinfo().hasoption("out"));
}

// A fresh folder for command files.
class CmdFileTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& content) {
    const std::string path = dir_ / name;
    pmtest::WriteFile(path, content);
    return path;
  }

  static std::vector<std::string> Words(UT_CMDFILE& expanded) {
    std::vector<std::string> words;
    char** argv = expanded.getargv();
    for (int i = 0; i < expanded.getargc(); ++i) words.push_back(argv[i]);
    EXPECT_EQ(argv[expanded.getargc()], nullptr);
    return words;
  }

  pmtest::TempDir dir_;
};

TEST_F(CmdFileTest, ExpandsNestedCommandFilesInPlace) {
  const std::string inner = write("inner.cmd", "-level 3\r\n");
  const std::string outer = write("outer.cmd", "-verbose\t-out  o.txt\n-f " + inner + "\n last\n");
  const std::vector<const char*> args = {"first", "-f", outer.c_str(), "end"};
  UT_CMDFILE expanded(4, args.data());
  EXPECT_TRUE(expanded.isvalid());
  EXPECT_EQ(Words(expanded), (std::vector<std::string>{"first", "-verbose", "-out", "o.txt",
                                                       "-level", "3", "last", "end"}));

  const std::string empty = write("empty.cmd", "");
  const std::vector<const char*> none = {"-f", empty.c_str()};
  UT_CMDFILE nothing(2, none.data());
  EXPECT_TRUE(nothing.isvalid());
  EXPECT_EQ(nothing.getargc(), 0);
}

TEST_F(CmdFileTest, SelfReferenceAndUnreadableFilesAreReportedAndStop) {
  WarningLog log;
  const std::string loop = dir_ / "loop.cmd";
  write("loop.cmd", "a -f " + loop + " b");
  const std::vector<const char*> args = {"-f", loop.c_str()};
  UT_CMDFILE looped(2, args.data());
  EXPECT_FALSE(looped.isvalid());
  EXPECT_EQ(Words(looped), (std::vector<std::string>{"a", "b"}));
  ASSERT_EQ(log.texts().size(), 1u);
  EXPECT_NE(log.texts()[0].find(loop), std::string::npos);

  const std::string missing = dir_ / "missing.cmd";
  const std::vector<const char*> bad = {"-f", missing.c_str(), "-f", dir_.path().c_str(), "-f"};
  UT_CMDFILE unread(5, bad.data());
  EXPECT_FALSE(unread.isvalid());
  EXPECT_EQ(Words(unread), (std::vector<std::string>{"-f", missing, "-f", dir_.path(), "-f"}));
  EXPECT_EQ(log.texts().size(), 3u);
}

}  // namespace
