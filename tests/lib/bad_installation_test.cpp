// Broken installations, one a row: each gives its message and a clean result (a module without
// definition, an unbound part, an empty list), never a crash, a hang or a read out of bounds.
// Every row runs in a process of its own, so the library's caches start empty for each.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "pmlib/pmdlm.h"
#include "pmlib/pmpic.h"
#include "pmlib/pmspec.h"
#include "pmport/port_env.h"
#include "pmport/port_path.h"
#include "pmtest.h"
#include "validation_fixture.h"

using Port::MsgKind;
using spinetest::Root;
using validationtest::DataFile;
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
  std::function<void(const Root&)> setup;
  std::function<std::string()> probe;
  std::string result;
  std::vector<Expected> messages;
  bool permissionBits = false;  // the row relies on permission bits, which do not stop root
};

// ---------------------------------------------------------------------------------------------
// The installation the rows break: the CPLD module "mm" with the devices xcd1 and xcd2; xcd1 has
// the packages pk1 and pk2 and the speeds -1 and -2.

std::string Definition(const std::string& extra = "", const std::string& arch = "mm",
                       const std::string& friendName = "") {
  return Module(arch, "CPLD", "xcd1,d1:xcd2,d2", "DEVICE_FORMAT = #^x?c?d[0-9]+\n" + extra,
                friendName);
}

void GoodModule(const Root& root) {
  root.Module("mm", Definition());
  DataFile(root, "mm", "d1.pkg", {"pk1", "pk2"});
  DataFile(root, "mm", "d1.spd", {"-1", "-2"});
}

void RemoveAccess(const std::string& path) { ::chmod(path.c_str(), 0); }

std::string Joined(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ",") + name;
  return joined;
}

std::string Text(const char* text) { return text ? text : ""; }

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
  return "depth=" + std::to_string(part.get_depth()) + " " + Text(part.get_arch()) + "/" +
         Text(part.get_device()) + "/" + Text(part.get_package()) + "/" +
         Text(part.get_speed()) + " status=" + std::to_string(status);
}

std::vector<std::string> Listed(PM_PIC& part) {
  part.make_list(nullptr, nullptr, 0);
  return std::vector<std::string>(part.begin(false), part.end(false));
}

// The devices of "mm", and the packages and speeds of xcd1.
std::string ListsOf() {
  PM_PIC part("mm", 0, PM_BINDING_SUPPORTED_ONLY);
  const std::string devices = Joined(Listed(part));
  part.set_device("xcd1");
  const std::string packages = Joined(Listed(part));
  part.set_package("pk1");
  return "devices=" + devices + " packages=" + packages + " speeds=" + Joined(Listed(part));
}

std::string Modules() {
  PM_SPEC lister(nullptr, PM_BINDING_SUPPORTED_ONLY);
  lister.make_list(nullptr, nullptr, 0);
  return "modules=" + Joined(std::vector<std::string>(lister.begin(false), lister.end(false)));
}

// A value of the definition of "mm", or its length when it is long.
std::string ValueOf(const char* key) {
  PM_SPEC spec("mm", PM_BINDING_SUPPORTED_ONLY);
  const PM_DEVKEY* definition = spec.get_defdata();
  if (!definition) return "no definition";
  const std::string value = definition->GetStringByKey(key, 0, 0, 0, 0).c_str();
  return value.size() > 64 ? std::to_string(value.size()) + " bytes" : "<" + value + ">";
}

std::string VirtualEntry() {
  PM_SPEC spec("mm", PM_BINDING_SUPPORTED_ONLY);
  PM_DLM dlm(&spec);
  const PM_DLM::EntryPoint entry = dlm.get_ventrypoint("route", nullptr);
  return entry ? reinterpret_cast<const char* (*)()>(entry)() : "(generic)";
}

// ---------------------------------------------------------------------------------------------
// Set-ups that break the installation.

void BrokenSegmentedFile(const Root& root, const std::string& file, const std::string& bytes) {
  GoodModule(root);
  root.File("mm/data/" + file, bytes);
}

std::string Truncated(const Root& root, const std::string& file) {
  const std::string whole = pmtest::ReadFile(root.DataFile("mm", file));
  return whole.substr(0, whole.size() / 2);
}

void LinkLoops(const Root& root) {
  GoodModule(root);
  fs::create_directory_symlink(root.path() + "/loop", root.path() + "/loop");
  fs::create_directory_symlink(root.path() + "/ring2", root.path() + "/ring1");
  fs::create_directory_symlink(root.path() + "/ring1", root.path() + "/ring2");
  fs::create_directory_symlink(root.path() + "/mm", root.path() + "/mm/data/mm");
}

void FriendRing(const Root& root, const std::vector<std::string>& ring) {
  for (std::size_t i = 0; i < ring.size(); ++i) {
    const std::string& next = ring[(i + 1) % ring.size()];
    root.Module(ring[i], Definition("RING_" + ring[i] + " = " + ring[i] + "\n", ring[i], next));
  }
}

void DependencyLoop(const Root& root) {
  root.Module("mm", Definition("VENTRY_route = route,tpa\n"));
  const std::string libDir = "mm/lib/" + std::string(Port_Env::GetPlatformPath()) + "/";
  for (const char* name : {"tpa", "tpb"}) {
    pmtest::MakeDirs(root.path() + "/" + libDir);
    fs::copy_file(std::string(PMTEST_PLUGIN_DIR) + "/lib" + name + ".so",
                  root.path() + "/" + libDir + "lib" + name + ".so");
  }
  root.File("mm/data/libtpa.acd", "DEPEND = tpb\n");
  root.File("mm/data/libtpb.acd", "DEPEND = tpa\n");
}

const char kPartResult[] = "depth=4 mm/xcd1/pk1/-1 status=0";
const char kUnopened[] = "Could not load definition file <mm.acd>\n";
const char kNotInstalled[] =
    "Unable to open definition file for Personality Module \"mm\".  Please make sure that it has "
    "been correctly installed.\n";

std::vector<Row> Rows() {
  return {
      {"MissingModule", [](const Root&) {},
       [] {
         PM_SPEC spec(nullptr, PM_BINDING_SUPPORTED_ONLY);
         spec.verify_and_set_pm("mm", 1);
         return "depth=" + std::to_string(spec.get_depth());
       },
       "depth=1",
       {{MsgKind::UserFatal, kNotInstalled}, {MsgKind::Internal, kUnopened}}},
      {"MissingDefinitionFile", [](const Root& root) { root.File("mm/data/qordata.etc", ""); },
       [] { return SpecOf("mm"); }, "defined=0 friends=0", {{MsgKind::Internal, kUnopened}}},
      {"UnreadableDefinitionFile",
       [](const Root& root) {
         GoodModule(root);
         RemoveAccess(root.DataFile("mm", "mm.acd"));
       },
       [] { return SpecOf("mm"); }, "defined=0 friends=0", {{MsgKind::Internal, kUnopened}},
       true},
      {"UnreadableDataFolder",
       [](const Root& root) {
         GoodModule(root);
         RemoveAccess(root.path() + "/mm/data");
       },
       // Nothing in the folder can be seen: the module is as good as not installed.
       [] { return SpecOf("mm"); }, "defined=0 friends=0",
       {{MsgKind::UserFatal, kNotInstalled}, {MsgKind::Internal, kUnopened}}, true},
      {"UnreadablePackageAndSpeedFiles",
       [](const Root& root) {
         GoodModule(root);
         RemoveAccess(root.DataFile("mm", "d1.pkg"));
         RemoveAccess(root.DataFile("mm", "d1.spd"));
       },
       ListsOf, "devices=xcd1,xcd2 packages= speeds=", {}, true},
      {"MissingPackageAndSpeedFiles", [](const Root& root) { root.Module("mm", Definition()); },
       ListsOf, "devices=xcd1,xcd2 packages= speeds=", {}},
      {"DefinitionWithoutKeys",
       [](const Root& root) { root.Module("mm", "# nothing but a comment\n\n   \n"); },
       [] { return SpecOf("mm"); }, "defined=0 friends=0", {{MsgKind::Internal, kUnopened}}},
      {"KeysWithoutValues",
       [](const Root& root) { root.Module("mm", "ARCH_NAME\nARCH_FRIEND =\nBASE_MODE\n"); },
       [] { return SpecOf("mm"); }, "defined=0 friends=0",
       {{MsgKind::Internal,
         "Corrupt definition file <mm.acd>, expecting pm <mm>, found <>\n"}}},
      {"TenMegabyteValue",
       [](const Root& root) {
         GoodModule(root);
         root.Module("mm", Definition("BIG = " + std::string(10 << 20, 'v') + "\n"));
       },
       [] { return ValueOf("BIG") + " " + PartOf("xcd1pk1-1"); },
       std::to_string(10 << 20) + " bytes " + kPartResult, {}},
      {"OneMegabyteLine",
       [](const Root& root) {
         GoodModule(root);
         root.Module("mm", "# " + std::string(1 << 20, '#') + "\n" +
                               Definition(std::string(1 << 20, 'K') + " = long key\n"));
       },
       [] { return ValueOf(std::string(1 << 20, 'K').c_str()) + " " + PartOf("xcd1pk1-1"); },
       std::string("<long key> ") + kPartResult, {}},
      {"NulBytes",
       [](const Root& root) {
         GoodModule(root);
         root.Module("mm", std::string("\0GHOST = 1\nNOTE = be", 20) + std::string("\0fore\n", 6) +
                               Definition());
       },
       [] { return ValueOf("NOTE") + " " + ValueOf("GHOST") + " " + PartOf("xcd1pk1-1"); },
       std::string("<be> <> ") + kPartResult, {}},
      {"InvalidUtf8",
       [](const Root& root) {
         root.Module("mm", Module("mm", "CPLD", "xcd1,d1:\xff\xfe,\xc3\x28", "NOTE = \xe2\x82\n"));
       },
       [] { return ValueOf("NOTE") + " " + ListsOf(); },
       "<\xe2\x82> devices=xcd1,\xff\xfe packages= speeds=", {}},
      {"CrlfFiles",
       [](const Root& root) {
         GoodModule(root);
         std::string text = Definition();
         for (std::size_t at = text.find('\n'); at != std::string::npos;
              at = text.find('\n', at + 2)) {
           text.insert(at, "\r");
         }
         root.Module("mm", text);
         root.File("data/patternfile", "mm=^x?c?d[0-9]+\r\n");
       },
       [] { return ValueOf("VENDOR") + " " + PartOf("XCD1PK2-2"); },
       "<Acme> depth=4 mm/xcd1/pk2/-2 status=0", {}},
      {"TruncatedPackageFile",
       [](const Root& root) {
         GoodModule(root);
         root.File("mm/data/d1.pkg", Truncated(root, "d1.pkg"));
       },
       ListsOf, "devices=xcd1,xcd2 packages= speeds=-1,-2",
       {{MsgKind::Fatal, "Can't read package file @/mm/data/d1.pkg\n"}}},
      {"SegmentCountBeyondTheEnd",
       [](const Root& root) {
         BrokenSegmentedFile(root, "d1.spd",
                             pmtest::SegmentHeader(1000) + pmtest::SegmentRecord("-1", 0, 0, 0));
       },
       ListsOf, "devices=xcd1,xcd2 packages=pk1,pk2 speeds=",
       {{MsgKind::Fatal, "Can't read speed file @/mm/data/d1.spd\n"}}},
      {"SegmentOffsetBeyondTheEnd",
       [](const Root& root) {
         BrokenSegmentedFile(root, "d1.pkg",
                             pmtest::SegmentHeader(1) +
                                 pmtest::SegmentRecord("pk1", 0, std::uint64_t(1) << 40, 4));
       },
       ListsOf, "devices=xcd1,xcd2 packages= speeds=-1,-2",
       {{MsgKind::Fatal, "Can't read package file @/mm/data/d1.pkg\n"}}},
      {"FriendLoopOfOne", [](const Root& root) { FriendRing(root, {"fa"}); },
       [] { return SpecOf("fa"); }, "defined=1 friends=0", {}},
      {"FriendLoopOfTwo", [](const Root& root) { FriendRing(root, {"fa", "fb"}); },
       [] { return SpecOf("fa") + " " + SpecOf("fb"); }, "defined=1 friends=1 defined=1 friends=1",
       {}},
      {"FriendLoopOfThree", [](const Root& root) { FriendRing(root, {"fa", "fb", "fc"}); },
       [] { return SpecOf("fb"); }, "defined=1 friends=2", {}},
      {"DependencyFileLoop", DependencyLoop, VirtualEntry, "tpa:route", {}},
      {"DeviceFormatThatDoesNotCompile",
       [](const Root& root) {
         GoodModule(root);
         root.Module("mm", Module("mm", "CPLD", "xcd1,d1", "DEVICE_FORMAT = #^x?c?d[0-9+(\n"));
       },
       [] { return PartOf("xcd1pk1-1"); }, "depth=0 /// status=1",
       {{MsgKind::Fatal, "Bad pattern found for PM mm\n"}}},
      {"DeviceFormatMatchingTheEmptyString",
       [](const Root& root) {
         GoodModule(root);
         root.Module("mm", Module("mm", "CPLD", "xcd1,d1", "DEVICE_FORMAT = #^q*\n"));
       },
       // An empty match is a range whose last position is below its first: no match at all.
       [] { return PartOf("xcd1pk1-1"); }, "depth=0 /// status=1", {}},
      {"PatternFileWithoutEquals",
       [](const Root& root) {
         GoodModule(root);
         root.File("data/patternfile", "mm ^x?c?d[0-9]+\nmm\n=\n");
       },
       [] { return PartOf("xcd1pk1-1"); }, kPartResult, {}},
      {"SymbolicLinkLoops", LinkLoops, [] { return Modules() + " " + PartOf("xcd1pk1-1"); },
       std::string("modules=mm ") + kPartResult, {}},
      {"PathEntryThatDoesNotExist",
       [](const Root& root) {
         GoodModule(root);
         Port::KorvanPath::Set({root.path() + "/no/such/folder", root.path()});
       },
       [] { return Modules() + " " + PartOf("xcd1pk1-1"); },
       std::string("modules=mm ") + kPartResult, {}},
  };
}

// Test names carry the row's name; so do the parameters gtest prints.
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class BadInstallation : public testing::TestWithParam<Row> {};

std::string WithRoot(std::string text, const std::string& root) {
  for (std::size_t at = text.find('@'); at != std::string::npos;
       at = text.find('@', at + root.size())) {
    text.replace(at, 1, root);
  }
  return text;
}

bool Reported(const std::vector<Port::Message>& messages, const Expected& expected,
              const std::string& root) {
  for (const Port::Message& message : messages) {
    if (message.kind == expected.kind && message.text == WithRoot(expected.text, root)) return true;
  }
  return false;
}

}  // namespace

TEST_P(BadInstallation, GivesItsMessageAndACleanResult) {
  const Row& row = GetParam();
  if (row.permissionBits && ::geteuid() == 0) {
    GTEST_SKIP() << "running as root: permission bits do not stop root from reading";
  }
  Root root;
  spinetest::Install({&root});
  row.setup(root);
  pmtest::MessageCapture capture;
  EXPECT_EQ(row.result, row.probe());
  const std::vector<Port::Message> messages = capture.messages();
  for (const Expected& expected : row.messages) {
    EXPECT_TRUE(Reported(messages, expected, root.path())) << "missing: " << expected.text;
  }
  // Nothing else worth a user's attention was said.
  for (const Port::Message& message : messages) {
    if (message.kind == MsgKind::Debug || message.kind == MsgKind::Status) continue;
    const bool expected =
        std::any_of(row.messages.begin(), row.messages.end(),
                    [&](const Expected& e) { return Reported({message}, e, root.path()); });
    EXPECT_TRUE(expected) << "unexpected: " << message.text;
  }
  // Permission bits are given back so that the folder can be removed.
  ::chmod((root.path() + "/mm/data").c_str(), 0755);
  for (const auto& entry : fs::recursive_directory_iterator(
           root.path(), fs::directory_options::skip_permission_denied)) {
    ::chmod(entry.path().c_str(), 0755);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInstallation, testing::ValuesIn(Rows()),
                         [](const testing::TestParamInfo<Row>& info) { return info.param.name; });
