// pmtool acd: keyed values with field addressing, the dump, unreadable definition files. How the
// reader splits values is pinned by the reader's own tests; these pin what pmtool prints.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "pmtest.h"
#include "pmtool_runner.h"

namespace {

using pmtooltest::Expected;
using pmtooltest::ExpectRuns;

const char* const kDefinition =
    "# beta: a test family\n"
    "ARCH_NAME = beta\n"
    "DEVICE_INTERNAL = xcb1, b1_int , b1_alt : xcb2,b2:\\\n"
    "    xcb3\n"
    "EMPTY_KEY\n"
    "DUP = first\n"
    "DUP = second\n";

// A value of 40,000 fields and a field of 40,000 subfields (more than a short counts), and a
// value with control characters.
std::string OddDefinition() {
  std::string fields = "f0";
  std::string subfields = "s0";
  for (int i = 1; i < 40000; ++i) {
    fields += ":f" + std::to_string(i);
    subfields += ",s" + std::to_string(i);
  }
  return "FIELDS = " + fields + "\nSUBFIELDS = " + subfields + "\nBELL = a\ab\x1b[2Jc\td\n";
}

class AcdCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    pmtest::WriteFile(file_, kDefinition);
    pmtest::WriteFile(wide_, OddDefinition());
  }

  // `pmtool acd get FILE args...` fails with status 1 and "FILE: says".
  Expected Missing(const pmtooltest::Args& args, const std::string& says) const {
    pmtooltest::Args line = {"acd", "get", file_};
    line.insert(line.end(), args.begin(), args.end());
    return {line, 1, "", "pmtool acd get: " + file_ + ": " + says + "\n"};
  }

  pmtest::TempDir dir_;
  const std::string file_ = dir_ / "beta.acd";
  const std::string wide_ = dir_ / "wide.acd";
};

TEST_F(AcdCommand, GetPrintsTheValueFieldOrSubfieldOrSaysWhatIsNotThere) {
  ExpectRuns({
      {{"acd", "get", file_, "DEVICE_INTERNAL"}, 0, "xcb1, b1_int , b1_alt : xcb2,b2:xcb3\n", ""},
      {{"acd", "get", file_, "DEVICE_INTERNAL", "0"}, 0, "xcb1, b1_int , b1_alt\n", ""},
      {{"acd", "get", file_, "DEVICE_INTERNAL", "0", "1"}, 0, "b1_int\n", ""},
      {{"acd", "get", file_, "EMPTY_KEY"}, 0, "\n", ""},
      {{"acd", "get", "--json", file_, "DEVICE_INTERNAL", "1", "1"}, 0,
       R"({"file": ")" + file_ +
           R"(", "key": "DEVICE_INTERNAL", "field": 1, "subfield": 1, "value": "b2"})",
       ""},
      // Keys are matched with their case.
      Missing({"arch_name"}, "no key \"arch_name\""),
      Missing({"DEVICE_INTERNAL", "3"}, "DEVICE_INTERNAL has 3 field(s); there is no field 3"),
      Missing({"DEVICE_INTERNAL", "2", "1"},
              "field 2 of DEVICE_INTERNAL has 1 subfield(s); there is no subfield 1"),
      Missing({"EMPTY_KEY", "0"}, "EMPTY_KEY has 0 field(s); there is no field 0"),
      // The greatest index is still an index.
      Missing({"DEVICE_INTERNAL", "0", "32767"},
              "field 0 of DEVICE_INTERNAL has 3 subfield(s); there is no subfield 32767"),
      // Counts beyond the greatest index do not stop at it.
      {{"acd", "get", wide_, "FIELDS", "32767"}, 0, "f32767\n", ""},
      {{"acd", "get", wide_, "SUBFIELDS", "0", "32767"}, 0, "s32767\n", ""},
      // Control characters, read or typed, are printed escaped.
      {{"acd", "get", wide_, "BELL"}, 0, "a\\ab\\x1b[2Jc\\td\n", ""},
      Missing({"K\x1b"}, "no key \"K\\x1b\""),
  });
}

TEST_F(AcdCommand, GetRejectsIndexesThatAreNotSmallNumbers) {
  for (const char* index : {"x", "-1", "1.5", "32768", "123456789012"}) {
    const auto result = pmtooltest::RunPmtool({"acd", "get", file_, "ARCH_NAME", index});
    EXPECT_EQ(result.status, 2) << index;
    EXPECT_TRUE(pmtooltest::Contains(result.err, std::string("\"") + index + "\"")) << result.err;
  }
}

TEST_F(AcdCommand, DumpListsKeysInFirstAppearanceOrderWithLaterValues) {
  ExpectRuns({{{"acd", "dump", file_}, 0,
               "ARCH_NAME       = beta\n"
               "DEVICE_INTERNAL = xcb1, b1_int , b1_alt : xcb2,b2:xcb3\n"
               "EMPTY_KEY       =\n"
               "DUP             = second\n",
               ""}});
  // The keys keep their order in the JSON document too.
  const auto json = pmtooltest::RunPmtool({"acd", "dump", "--json", file_});
  EXPECT_EQ(R"({"file":")" + file_ +
                R"(","keys":{"ARCH_NAME":"beta","DEVICE_INTERNAL":"xcb1, b1_int , b1_alt : )"
                R"(xcb2,b2:xcb3","EMPTY_KEY":"","DUP":"second"}})",
            nlohmann::ordered_json::parse(json.out).dump());
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
      pmtooltest::Args args = {"acd", command, unreadable.file};
      if (std::string(command) == "get") args.push_back("ARCH_NAME");
      ExpectRuns({{args, 1, "",
                   std::string("pmtool acd ") + command + ": cannot read " + unreadable.file +
                       ": " + unreadable.reason + "\n"}});
    }
  }
}

}  // namespace
