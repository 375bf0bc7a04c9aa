// pmtool acd: keyed values with field addressing, the dump, unreadable definition files.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "pmtest.h"
#include "pmtool_runner.h"

namespace {

using pmtooltest::RunPmtool;

const char* const kDefinition =
    "# beta: a test family\n"
    "ARCH_NAME = beta\n"
    "DEVICE_INTERNAL = xcb1, b1_int , b1_alt : xcb2,b2:\\\n"
    "    xcb3\n"
    "EMPTY_KEY\n"
    "DUP = first\n"
    "DUP = second\n";

class AcdCommand : public ::testing::Test {
 protected:
  void SetUp() override { pmtest::WriteFile(file_, kDefinition); }

  // What `pmtool acd get FILE args...` printed, checking that it succeeded.
  std::string Get(std::vector<std::string> args) {
    args.insert(args.begin(), {"acd", "get", file_});
    const auto result = RunPmtool(args);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    return result.out;
  }

  pmtest::TempDir dir_;
  const std::string file_ = dir_ / "beta.acd";
};

TEST_F(AcdCommand, GetAddressesFieldsWithColonsAndSubfieldsWithCommas) {
  EXPECT_EQ(Get({"ARCH_NAME"}), "beta\n");
  EXPECT_EQ(Get({"DEVICE_INTERNAL"}), "xcb1, b1_int , b1_alt : xcb2,b2:xcb3\n");
  EXPECT_EQ(Get({"DEVICE_INTERNAL", "0"}), "xcb1, b1_int , b1_alt\n");
  EXPECT_EQ(Get({"DEVICE_INTERNAL", "0", "1"}), "b1_int\n");
  EXPECT_EQ(Get({"DEVICE_INTERNAL", "1", "0"}), "xcb2\n");
  EXPECT_EQ(Get({"DEVICE_INTERNAL", "2"}), "xcb3\n");
  EXPECT_EQ(Get({"EMPTY_KEY"}), "\n");
  EXPECT_EQ(Get({"DUP"}), "second\n");

  const auto json = nlohmann::json::parse(Get({"--json", "DEVICE_INTERNAL", "1", "1"}));
  EXPECT_EQ(json, (nlohmann::json{{"file", file_},
                                  {"key", "DEVICE_INTERNAL"},
                                  {"field", 1},
                                  {"subfield", 1},
                                  {"value", "b2"}}));
}

TEST_F(AcdCommand, GetOfWhatIsNotThereSaysSoWithStatus1) {
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"NO_SUCH_KEY"}, "no key \"NO_SUCH_KEY\""},
      {{"arch_name"}, "no key \"arch_name\""},
      {{"DEVICE_INTERNAL", "3"}, "DEVICE_INTERNAL has 3 field(s); there is no field 3"},
      {{"DEVICE_INTERNAL", "2", "1"}, "field 2 of DEVICE_INTERNAL has 1 subfield(s); there is no subfield 1"},
      {{"EMPTY_KEY", "0"}, "EMPTY_KEY has 0 field(s); there is no field 0"},
  };
  for (const auto& missing : cases) {
    std::vector<std::string> args = {"acd", "get", file_};
    args.insert(args.end(), missing.args.begin(), missing.args.end());
    const auto result = RunPmtool(args);
    EXPECT_EQ(result.status, 1) << missing.says;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "pmtool acd get: " + file_ + ": " + missing.says + "\n");
  }
}

TEST_F(AcdCommand, GetRejectsIndexesThatAreNotSmallNumbers) {
  for (const char* index : {"x", "-1", "1.5", "32768", "123456789012"}) {
    const auto result = RunPmtool({"acd", "get", file_, "ARCH_NAME", index});
    EXPECT_EQ(result.status, 2) << index;
    EXPECT_NE(result.err.find(std::string("\"") + index + "\""), std::string::npos) << result.err;
  }
  EXPECT_EQ(RunPmtool({"acd", "get", file_, "DEVICE_INTERNAL", "0", "32767"}).status, 1);
}

TEST_F(AcdCommand, DumpListsKeysInFirstAppearanceOrderWithLaterValues) {
  const auto plain = RunPmtool({"acd", "dump", file_});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out,
            "ARCH_NAME       = beta\n"
            "DEVICE_INTERNAL = xcb1, b1_int , b1_alt : xcb2,b2:xcb3\n"
            "EMPTY_KEY       =\n"
            "DUP             = second\n");

  const auto json = RunPmtool({"acd", "dump", "--json", file_});
  ASSERT_EQ(json.status, 0) << json.err;
  const auto parsed = nlohmann::ordered_json::parse(json.out);
  EXPECT_EQ(parsed["file"], file_);
  EXPECT_EQ(parsed["keys"].dump(),
            R"({"ARCH_NAME":"beta","DEVICE_INTERNAL":"xcb1, b1_int , b1_alt : xcb2,b2:xcb3",)"
            R"("EMPTY_KEY":"","DUP":"second"})");
}

TEST_F(AcdCommand, UnreadableDefinitionsGiveOneLineReasonAndStatus1) {
  pmtest::WriteFile(dir_ / "comments.acd", "# nothing but comments\n\n   # and blanks\n");
  const struct {
    std::string file;
    const char* reason;
  } cases[] = {
      {dir_ / "missing.acd", "no such file"},
      {dir_.path(), "is a directory"},
      {dir_ / "comments.acd", "it holds no key"},
  };
  for (const char* command : {"get", "dump"}) {
    for (const auto& unreadable : cases) {
      std::vector<std::string> args = {"acd", command, unreadable.file};
      if (std::string(command) == "get") args.push_back("ARCH_NAME");
      const auto result = RunPmtool(args);
      EXPECT_EQ(result.status, 1) << unreadable.file;
      EXPECT_EQ(result.out, "");
      EXPECT_EQ(result.err, std::string("pmtool acd ") + command + ": cannot read " +
                                unreadable.file + ": " + unreadable.reason + "\n");
    }
  }
}

TEST_F(AcdCommand, BinaryGarbageNeverCrashes) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) % 256);
  pmtest::WriteFile(dir_ / "garbage.acd", garbage);
  const auto dumped = RunPmtool({"acd", "dump", dir_ / "garbage.acd"});
  EXPECT_LT(dumped.status, 2) << dumped.err;
  const auto got = RunPmtool({"acd", "get", dir_ / "garbage.acd", "ARCH_NAME", "3", "4"});
  EXPECT_EQ(got.status, 1) << got.err;
  EXPECT_EQ(pmtooltest::LineCount(got.err), 1u) << got.err;
}

}  // namespace
