// Broken installations, one a row: each gives its message and a clean result (a module without
// definition, an unbound part, an empty list), never a crash, a hang or a read out of bounds.
// Every row runs in a process of its own, so the library's caches start empty for each.
#include <filesystem>
#include <map>
#include <ostream>
#include <regex>

#include <sys/stat.h>

#include "validation_fixture.h"

using Port::MsgKind;
using spinetest::Root;
using namespace validationtest;

namespace {

namespace fs = std::filesystem;

struct Row {
  const char* name;
  std::string acd;    // written over the good definition of "mm" when not empty
  std::string probe;  // what Probe asks
  // What Probe answers, then " |" and the names of the messages (MessageNames).
  std::string expected;
  std::function<void(const Root&)> damage = nullptr;  // what the definition alone cannot break
  // Files (apart by spaces) whose every right is taken: the row then runs as an ordinary user.
  std::string unreadable = "";
};

// ---------------------------------------------------------------------------------------------
// The good installation the rows break: the CPLD module "mm" with the devices xcd1 and xcd2; xcd1
// has the packages pk1 and pk2 and the speeds -1 and -2.

std::string Definition(const std::string& extra = "") {
  return Module("mm", "CPLD", "xcd1,d1:xcd2,d2", "DEVICE_FORMAT = #^x?c?d[0-9]+\n" + extra);
}

// ---------------------------------------------------------------------------------------------
// Probes: what a caller sees, as one line.

std::string SpecOf(const std::string& arch) {
  PM_SPEC spec(arch.c_str(), PM_BINDING_SUPPORTED_ONLY);
  const PM_DEVKEY* definition = spec.get_defdata();
  return "defined=" + std::to_string(definition && definition->get_validity()) +
         " friends=" + std::to_string(spec.get_num_friends());
}

std::string PartOf(const std::string& name) {
  const PM_PIC part(name.c_str(), 1, PM_BINDING_SUPPORTED_ONLY);
  const char* rejected = nullptr;
  return Levels(part) + " status=" + std::to_string(part.geterrorstatus(rejected));
}

// The devices of "mm", and the packages and speeds of xcd1.
std::string ListsOf(const std::string&) {
  PM_PIC part("mm", 0, PM_BINDING_SUPPORTED_ONLY);
  const std::string devices = JoinedNames(NextLevel(part));
  part.set_device("xcd1");
  const std::string packages = JoinedNames(NextLevel(part));
  part.set_package("pk1");
  return "devices=" + devices + " packages=" + packages + " speeds=" + JoinedNames(NextLevel(part));
}

std::string Modules(const std::string&) {
  PM_SPEC lister(nullptr, PM_BINDING_SUPPORTED_ONLY);
  lister.make_list(nullptr, nullptr, 0);
  return "modules=" + JoinedNames(std::vector<std::string>(lister.begin(false), lister.end(false)));
}

std::string DepthAfterSetting(const std::string& pm) {
  PM_SPEC spec(nullptr, PM_BINDING_SUPPORTED_ONLY);
  spec.verify_and_set_pm(pm.c_str(), 1);
  return "depth=" + std::to_string(spec.get_depth());
}

// A value of the definition of "mm", or its length when it is long.
std::string ValueOf(const std::string& key) {
  PM_SPEC spec("mm", PM_BINDING_SUPPORTED_ONLY);
  const PM_DEVKEY* definition = spec.get_defdata();
  if (!definition) return "no definition";
  const std::string value = definition->GetStringByKey(key.c_str(), 0, 0, 0, 0).c_str();
  return value.size() > 64 ? std::to_string(value.size()) + " bytes" : "<" + value + ">";
}

// The answers to the probes "NAME:ARGUMENT" (apart by spaces), apart by spaces.
std::string Probe(const std::string& probes) {
  const std::map<std::string, std::string (*)(const std::string&)> kinds = {
      {"spec", SpecOf},   {"part", PartOf},     {"value", ValueOf},
      {"lists", ListsOf}, {"modules", Modules}, {"depth", DepthAfterSetting}};
  std::istringstream in(probes);
  std::string answers;
  for (std::string probe; in >> probe;) {
    const std::size_t colon = probe.find(':');  // none: the whole probe is the (unused) argument
    answers +=
        (answers.empty() ? "" : " ") + kinds.at(probe.substr(0, colon))(probe.substr(colon + 1));
  }
  return answers;
}

// ---------------------------------------------------------------------------------------------
// Damage that the definition alone cannot do.

std::function<void(const Root&)> WriteOver(const std::string& relative,
                                           const std::string& content) {
  return [relative, content](const Root& root) { root.File(relative, content); };
}

void LinkLoops(const Root& root) {
  fs::create_directory_symlink(root.path() + "/loop", root.path() + "/loop");
  fs::create_directory_symlink(root.path() + "/ring2", root.path() + "/ring1");
  fs::create_directory_symlink(root.path() + "/ring1", root.path() + "/ring2");
  fs::create_directory_symlink(root.path() + "/mm", root.path() + "/mm/data/mm");
}

const std::string kPartResult = "mm/xcd1/pk1/-1 @4 status=0 |";
const std::string kUndefined = "defined=0 friends=0";
const std::string kLongKey(1 << 20, 'K');

// An empty match of the device format is a range whose last position is below its first: no
// match at all. Nothing in an unreadable data folder can be seen: the module is as good as not
// installed.
std::vector<Row> Rows() {
  return {
      {"MissingModule", "", "depth:zz",
       "depth=1 | CannotOpenDefinitionFile CannotLoadModuleDefinition"},
      {"MissingDefinitionFile", "", "spec:zz", kUndefined + " | CannotLoadModuleDefinition",
       WriteOver("zz/data/qordata.etc", "")},
      {"UnreadableDefinitionFile", "", "spec:mm", kUndefined + " | CannotLoadModuleDefinition",
       nullptr, "mm/data/mm.acd"},
      {"UnreadableDataFolder", "", "spec:mm",
       kUndefined + " | CannotOpenDefinitionFile CannotLoadModuleDefinition", nullptr, "mm/data"},
      {"UnreadablePackageAndSpeedFiles", "", "lists", "devices=xcd1,xcd2 packages= speeds= |",
       nullptr, "mm/data/d1.pkg mm/data/d1.spd"},
      {"KeysWithoutValues", "ARCH_NAME\nARCH_FRIEND =\nBASE_MODE\n", "spec:mm",
       kUndefined + " | DefinitionOfOtherModule"},
      {"TenMegabyteValue", Definition("BIG = " + std::string(10 << 20, 'v') + "\n"),
       "value:BIG part:xcd1pk1-1", std::to_string(10 << 20) + " bytes " + kPartResult},
      {"OneMegabyteLine",
       "# " + std::string(1 << 20, '#') + "\n" + Definition(kLongKey + " = long key\n"),
       "value:" + kLongKey + " part:xcd1pk1-1", "<long key> " + kPartResult},
      {"NulBytes",
       std::string("\0GHOST = 1\nNOTE = be", 20) + std::string("\0fore\n", 6) + Definition(),
       "value:NOTE value:GHOST part:xcd1pk1-1", "<be> <> " + kPartResult},
      {"InvalidUtf8", Module("mm", "CPLD", "xcd1,d1:\xff\xfe,\xc3\x28", "NOTE = \xe2\x82\n"),
       "value:NOTE lists", "<\xe2\x82> devices=xcd1,\xff\xfe packages=pk1,pk2 speeds=-1,-2 |"},
      {"CrlfFiles", std::regex_replace(Definition(), std::regex("\n"), "\r\n"),
       "value:VENDOR part:XCD1PK2-2", "<Acme> mm/xcd1/pk2/-2 @4 status=0 |",
       WriteOver("data/patternfile", "mm=^x?c?d[0-9]+\r\n")},
      {"DeviceFormatMatchingTheEmptyString",
       Module("mm", "CPLD", "xcd1,d1", "DEVICE_FORMAT = #^q*\n"), "part:xcd1pk1-1",
       "-/-/-/- @0 status=1 |"},
      {"SymbolicLinkLoops", "", "modules part:xcd1pk1-1", "modules=mm " + kPartResult, LinkLoops},
  };
}

// Sets the mode of the files (apart by spaces) under the root.
void SetMode(const Root& root, const std::string& relatives, mode_t mode) {
  std::istringstream in(relatives);
  for (std::string relative; in >> relative;) ::chmod((root.path() + "/" + relative).c_str(), mode);
}

// Test names carry the row's name; so do the parameters gtest prints.
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class BadInstallation : public testing::TestWithParam<Row> {};

}  // namespace

// A row that relies on permission bits runs as an unprivileged user, since root reads files
// whatever their bits say.
TEST_P(BadInstallation, GivesItsMessageAndACleanResult) {
  const Row& row = GetParam();
  Root root;
  pmtest::OpenToEveryone(root.path());
  spinetest::Install({&root});
  WriteModules(root, {{"mm", "CPLD", "", "d1.pkg=pk1,pk2 d1.spd=-1,-2"}});
  root.Module("mm", row.acd.empty() ? Definition() : row.acd);
  if (row.damage) row.damage(root);
  SetMode(root, row.unreadable, 0);
  // The probe's answers, then " |" and the names of the messages it gave.
  const auto observed = [&row] {
    const pmtest::MessageCapture capture;
    const std::string answers = Probe(row.probe);
    const std::string names = MessageNames(capture.messages());
    return answers + " |" + (names.empty() ? "" : " ") + names;
  };
  EXPECT_EQ(row.expected,
            row.unreadable.empty() ? observed() : pmtest::AsUnprivilegedUser(observed));
  SetMode(root, row.unreadable, 0755);  // so that the folder can be removed
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInstallation, testing::ValuesIn(Rows()),
                         [](const testing::TestParamInfo<Row>& info) { return info.param.name; });
