// Broken installations, one a row: each gives its message and a clean result (a module without
// definition, an unbound part, an empty list), never a crash, a hang or a read out of bounds.
// Every row runs in a process of its own, so the library's caches start empty for each.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "pmlib/pmpic.h"
#include "pmlib/pmspec.h"
#include "pmport/port_path.h"
#include "pmtest.h"
#include "validation_fixture.h"

using Port::MsgKind;
using spinetest::Root;
using validationtest::Module;

namespace {

namespace fs = std::filesystem;

// A message a row expects; "@" in the text stands for the installation root.
struct Expected {
  MsgKind kind;
  std::string text;
};

struct Row {
  const char* name;
  // Files written over the good installation: path under the root, content.
  std::vector<std::pair<std::string, std::string>> files;
  std::function<void(const Root&)> damage;  // what files alone cannot break, or empty
  std::function<std::string()> probe;
  std::string result;
  std::vector<Expected> messages;
  bool permissionBits = false;  // the row relies on permission bits: it runs as an ordinary user
};

// ---------------------------------------------------------------------------------------------
// The good installation the rows break: the CPLD module "mm" with the devices xcd1 and xcd2; xcd1
// has the packages pk1 and pk2 and the speeds -1 and -2.

const char kAcd[] = "mm/data/mm.acd";

std::string Definition(const std::string& extra = "") {
  return Module("mm", "CPLD", "xcd1,d1:xcd2,d2", "DEVICE_FORMAT = #^x?c?d[0-9]+\n" + extra);
}

void GoodModule(const Root& root) {
  root.Module("mm", Definition());
  validationtest::DataFile(root, "mm", "d1.pkg", {"pk1", "pk2"});
  validationtest::DataFile(root, "mm", "d1.spd", {"-1", "-2"});
}

std::string Joined(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ",") + name;
  return joined;
}

std::string Crlf(std::string text) {
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) {
    text.insert(at, "\r");
  }
  return text;
}

// ---------------------------------------------------------------------------------------------
// Probes: what a caller sees, as one line.

std::string SpecOf(const char* arch) {
  PM_SPEC spec(arch, PM_BINDING_SUPPORTED_ONLY);
  const PM_DEVKEY* definition = spec.get_defdata();
  return "defined=" + std::to_string(definition && definition->get_validity()) +
         " friends=" + std::to_string(spec.get_num_friends());
}

std::string PartOf(const char* name) {
  const PM_PIC part(name, 1, PM_BINDING_SUPPORTED_ONLY);
  const char* rejected = nullptr;
  const int status = part.geterrorstatus(rejected);
  const auto text = [](const char* value) { return std::string(value ? value : ""); };
  return "depth=" + std::to_string(part.get_depth()) + " " + text(part.get_arch()) + "/" +
         text(part.get_device()) + "/" + text(part.get_package()) + "/" + text(part.get_speed()) +
         " status=" + std::to_string(status);
}

std::string Listed(PM_PIC& part) {
  part.make_list(nullptr, nullptr, 0);
  return Joined(std::vector<std::string>(part.begin(false), part.end(false)));
}

// The devices of "mm", and the packages and speeds of xcd1.
std::string ListsOf() {
  PM_PIC part("mm", 0, PM_BINDING_SUPPORTED_ONLY);
  const std::string devices = Listed(part);
  part.set_device("xcd1");
  const std::string packages = Listed(part);
  part.set_package("pk1");
  return "devices=" + devices + " packages=" + packages + " speeds=" + Listed(part);
}

std::string ModulesAndPart() {
  PM_SPEC lister(nullptr, PM_BINDING_SUPPORTED_ONLY);
  lister.make_list(nullptr, nullptr, 0);
  return "modules=" + Joined(std::vector<std::string>(lister.begin(false), lister.end(false))) +
         " " + PartOf("xcd1pk1-1");
}

// A value of the definition of "mm", or its length when it is long.
std::string ValueOf(const char* key) {
  PM_SPEC spec("mm", PM_BINDING_SUPPORTED_ONLY);
  const PM_DEVKEY* definition = spec.get_defdata();
  if (!definition) return "no definition";
  const std::string value = definition->GetStringByKey(key, 0, 0, 0, 0).c_str();
  return value.size() > 64 ? std::to_string(value.size()) + " bytes" : "<" + value + ">";
}

// ---------------------------------------------------------------------------------------------
// Damage that files alone cannot do.

std::function<void(const Root&)> RemoveAccess(const std::vector<std::string>& relatives) {
  return [relatives](const Root& root) {
    for (const std::string& relative : relatives)
      ::chmod((root.path() + "/" + relative).c_str(), 0);
  };
}

void LinkLoops(const Root& root) {
  fs::create_directory_symlink(root.path() + "/loop", root.path() + "/loop");
  fs::create_directory_symlink(root.path() + "/ring2", root.path() + "/ring1");
  fs::create_directory_symlink(root.path() + "/ring1", root.path() + "/ring2");
  fs::create_directory_symlink(root.path() + "/mm", root.path() + "/mm/data/mm");
}

const char kPart[] = "xcd1pk1-1";
const char kPartResult[] = "depth=4 mm/xcd1/pk1/-1 status=0";
const char kUnopened[] = "Could not load definition file <mm.acd>\n";
const char kUnopenedZz[] = "Could not load definition file <zz.acd>\n";
const char kZzNotInstalled[] =
    "Unable to open definition file for Personality Module \"zz\".  Please make sure that it has "
    "been correctly installed.\n";
const char kMmNotInstalled[] =
    "Unable to open definition file for Personality Module \"mm\".  Please make sure that it has "
    "been correctly installed.\n";

std::vector<Row> Rows() {
  const auto mmSpec = [] { return SpecOf("mm"); };
  return {
      {"MissingModule",
       {},
       {},
       [] {
         PM_SPEC spec(nullptr, PM_BINDING_SUPPORTED_ONLY);
         spec.verify_and_set_pm("zz", 1);
         return "depth=" + std::to_string(spec.get_depth());
       },
       "depth=1",
       {{MsgKind::UserFatal, kZzNotInstalled}, {MsgKind::Internal, kUnopenedZz}}},
      {"MissingDefinitionFile",
       {{"zz/data/qordata.etc", ""}},
       {},
       [] { return SpecOf("zz"); },
       "defined=0 friends=0",
       {{MsgKind::Internal, kUnopenedZz}}},
      {"UnreadableDefinitionFile",
       {},
       RemoveAccess({kAcd}),
       mmSpec,
       "defined=0 friends=0",
       {{MsgKind::Internal, kUnopened}},
       true},
      // Nothing in the folder can be seen: the module is as good as not installed.
      {"UnreadableDataFolder",
       {},
       RemoveAccess({"mm/data"}),
       mmSpec,
       "defined=0 friends=0",
       {{MsgKind::UserFatal, kMmNotInstalled}, {MsgKind::Internal, kUnopened}},
       true},
      {"UnreadablePackageAndSpeedFiles",
       {},
       RemoveAccess({"mm/data/d1.pkg", "mm/data/d1.spd"}),
       ListsOf,
       "devices=xcd1,xcd2 packages= speeds=",
       {},
       true},
      {"KeysWithoutValues",
       {{kAcd, "ARCH_NAME\nARCH_FRIEND =\nBASE_MODE\n"}},
       {},
       mmSpec,
       "defined=0 friends=0",
       {{MsgKind::Internal, "Corrupt definition file <mm.acd>, expecting pm <mm>, found <>\n"}}},
      {"TenMegabyteValue",
       {{kAcd, Definition("BIG = " + std::string(10 << 20, 'v') + "\n")}},
       {},
       [] { return ValueOf("BIG") + " " + PartOf(kPart); },
       std::to_string(10 << 20) + " bytes " + kPartResult,
       {}},
      {"OneMegabyteLine",
       {{kAcd, "# " + std::string(1 << 20, '#') + "\n" +
                   Definition(std::string(1 << 20, 'K') + " = long key\n")}},
       {},
       [] { return ValueOf(std::string(1 << 20, 'K').c_str()) + " " + PartOf(kPart); },
       std::string("<long key> ") + kPartResult,
       {}},
      {"NulBytes",
       {{kAcd,
         std::string("\0GHOST = 1\nNOTE = be", 20) + std::string("\0fore\n", 6) + Definition()}},
       {},
       [] { return ValueOf("NOTE") + " " + ValueOf("GHOST") + " " + PartOf(kPart); },
       std::string("<be> <> ") + kPartResult,
       {}},
      {"InvalidUtf8",
       {{kAcd, Module("mm", "CPLD", "xcd1,d1:\xff\xfe,\xc3\x28", "NOTE = \xe2\x82\n")}},
       {},
       [] { return ValueOf("NOTE") + " " + ListsOf(); },
       "<\xe2\x82> devices=xcd1,\xff\xfe packages=pk1,pk2 speeds=-1,-2",
       {}},
      {"CrlfFiles",
       {{kAcd, Crlf(Definition())}, {"data/patternfile", "mm=^x?c?d[0-9]+\r\n"}},
       {},
       [] { return ValueOf("VENDOR") + " " + PartOf("XCD1PK2-2"); },
       "<Acme> depth=4 mm/xcd1/pk2/-2 status=0",
       {}},
      // An empty match is a range whose last position is below its first: no match at all.
      {"DeviceFormatMatchingTheEmptyString",
       {{kAcd, Module("mm", "CPLD", "xcd1,d1", "DEVICE_FORMAT = #^q*\n")}},
       {},
       [] { return PartOf(kPart); },
       "depth=0 /// status=1",
       {}},
      {"SymbolicLinkLoops",
       {},
       LinkLoops,
       ModulesAndPart,
       std::string("modules=mm ") + kPartResult,
       {}},
  };
}

// Test names carry the row's name; so do the parameters gtest prints.
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class BadInstallation : public testing::TestWithParam<Row> {};

std::string WithRoot(std::string text, const std::string& root) {
  const std::size_t at = text.find('@');
  return at == std::string::npos ? text : text.replace(at, 1, root);
}

bool Reported(const std::vector<Port::Message>& messages, const Expected& expected,
              const std::string& root) {
  return std::any_of(messages.begin(), messages.end(), [&](const Port::Message& message) {
    return message.kind == expected.kind && message.text == WithRoot(expected.text, root);
  });
}

// Runs the row's probe and tells what differs from what the row expects, one line each: the
// result, a message missing, or a message worth a user's attention that the row does not expect.
std::string Differences(const Row& row, const std::string& root) {
  pmtest::MessageCapture capture;
  const std::string result = row.probe();
  std::string differences;
  if (result != row.result) differences += "result: " + result + "\n";
  const std::vector<Port::Message> messages = capture.messages();
  for (const Expected& expected : row.messages) {
    if (!Reported(messages, expected, root)) differences += "missing: " + expected.text;
  }
  for (const Port::Message& message : messages) {
    if (message.kind == MsgKind::Debug || message.kind == MsgKind::Status) continue;
    const bool expected =
        std::any_of(row.messages.begin(), row.messages.end(),
                    [&](const Expected& e) { return Reported({message}, e, root); });
    if (!expected) differences += "unexpected: " + message.text;
  }
  return differences;
}

}  // namespace

// A row that relies on permission bits runs as an unprivileged user, since root reads files
// whatever their bits say.
TEST_P(BadInstallation, GivesItsMessageAndACleanResult) {
  const Row& row = GetParam();
  Root root;
  pmtest::OpenToEveryone(root.path());
  spinetest::Install({&root});
  GoodModule(root);
  for (const auto& [relative, content] : row.files) root.File(relative, content);
  if (row.damage) row.damage(root);
  const auto differences = [&] { return Differences(row, root.path()); };
  EXPECT_EQ("", row.permissionBits ? pmtest::AsUnprivilegedUser(differences) : differences())
      << "expected result: " << row.result;
  // Permission bits are given back so that the folder can be removed.
  ::chmod((root.path() + "/mm/data").c_str(), 0755);
  for (const auto& entry : fs::recursive_directory_iterator(
           root.path(), fs::directory_options::skip_permission_denied)) {
    ::chmod(entry.path().c_str(), 0755);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInstallation, testing::ValuesIn(Rows()),
                         [](const testing::TestParamInfo<Row>& info) { return info.param.name; });
