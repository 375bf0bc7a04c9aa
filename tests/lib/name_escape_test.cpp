// Names that would lead a path out of the installation: friend, module, device, data-file,
// platform and language names. One installation `<outer>/inst`, with a readable "evil" copy of
// everything planted just outside it; each row asks one path builder and fails if the outside
// copy shows.
#include <filesystem>

#include "pmlib/pmcmdargs.h"
#include "pmlib/pmdlm.h"
#include "validation_fixture.h"

using Port::MsgKind;
using testing::AllOf;
using testing::Contains;

namespace {

class HostileInstall {
 public:
  HostileInstall() {
    // Named as the hostile friend names it, so that nothing but the name's rule keeps it out.
    const std::string evil = spinetest::Definition("../evilmod", "", "EVIL_KEY = leaked\n");
    // Relative to the outer folder; only "inst/..." lies inside the installation.
    const std::pair<const char*, std::string> files[] = {
        {"inst/alpha/data/alpha.acd", spinetest::Definition("alpha", "../evilmod")},
        {"inst/dev/data/dev.acd",
         validationtest::Module("dev", "CPLD", "xcd1,../../../x", "VENTRY_route = route(),tpa\n")},
        {"inst/dev/data/sub/notes.txt", "inside\n"},
        {"evilmod/data/evilmod.acd", evil},
        {"evilmod/evilmod.acd", evil},
        {"libevil.so", "evil"},
        {"evil.exe", "evil"},
        {"topic.hlp", "evil"},
        {"x.usg", "evil usage"},
    };
    for (const auto& [relative, content] : files) pmtest::WriteFile(outer_ / relative, content);
    // The folders a hostile name climbs out of must exist for the climb to work.
    for (const char* folder :
         {"inst/data", "inst/dev/lib", "inst/dev/bin", "inst/dev/help/lin64"}) {
      pmtest::MakeDirs(outer_ / folder);
    }
    pmtest::WriteSegmentedFile(outer_ / "x.pkg", validationtest::Segments({"evilpkg"}));
    pmtest::WriteSegmentedFile(outer_ / "x.spd", validationtest::Segments({"-9"}));
    // A real architecture library where an escaping platform would find it; its init entry
    // writes to the log.
    std::filesystem::copy_file(std::string(PMTEST_PLUGIN_DIR) + "/libtpa.so", outer_ / "libtpa.so");
    setenv("PMTEST_PLUGIN_LOG", (outer_ / "plugin.log").c_str(), 1);
    Port::KorvanPath::Set({Root()});
  }
  std::string PluginLog() const { return pmtest::ReadFile(outer_ / "plugin.log"); }
  std::string Root() const { return outer_ / "inst"; }
  // Whether `path` names nothing, or a file inside the installation.
  bool Inside(const std::string& path) const {
    return path.empty() ||
           (path.rfind(Root() + "/", 0) == 0 && path.find("/..") == std::string::npos);
  }

 private:
  pmtest::TempDir outer_;
};

std::string Text(const char* path) { return path ? path : ""; }

struct Row {
  const char* builder;
  // The path the builder answers (empty for none) or, for a key store, what it read.
  std::function<std::string()> ask;
  // What a safe answer is: a path inside the installation, or this exact text.
  const char* expected;
  std::string env = "";  // NAME=VALUE in the environment while asking, when set
};

const char* const kInside = "<inside>";
const char* const kClimb = "KORVAN_PLATFORM=../../..";

PM_SPEC& Dev() {
  static PM_SPEC spec("dev", PM_BINDING_SUPPORTED_ONLY);
  return spec;
}

std::string FriendKey() {
  PM_SPEC spec("alpha", PM_BINDING_SUPPORTED_ONLY);
  const PM_DEVKEY withFriends("", &spec, 0, 1, 0);
  return withFriends.GetStringByKey("EVIL_KEY", 0, 0, 0, 0).str() +
         "friends=" + std::to_string(spec.get_num_friends());
}

std::string ModuleKey() {
  PM_SPEC spec("../evilmod", PM_BINDING_ALLOW_UNSUPPORTED);
  const PM_DEVKEY* store = spec.get_defdata();
  return std::string(store ? store->GetStringByKey("EVIL_KEY", 0, 0, 0, 0).str() : "") +
         "valid=" + std::to_string(spec.isvalid(1, 0));
}

std::string DeviceList() {
  const auto part = validationtest::Part("dev");
  part->set_device("xcd1");
  return validationtest::JoinedNames(validationtest::NextLevel(*part));
}

std::string DataFileCopies() {
  const auto found = Dev().getdatafiles("../../x.pkg");
  std::string copies;
  for (const Port::String& copy : *found) copies += copy.str();
  return copies;
}

std::string LoadedRoute() {
  return PM_DLM(&Dev()).get_ventrypoint("route", nullptr) ? "loaded" : "generic";
}

// What a tool named to climb out prints as its usage.
std::string Usage() {
  pmtest::MessageCapture capture;
  std::string tool = "../../x";
  std::string help = "-help";
  char* argv[] = {tool.data(), help.data(), nullptr};
  const PM_CMDARGS args(2, argv, "../../x -verbose", nullptr, nullptr, 0);
  return validationtest::JoinedNames(capture.texts(MsgKind::Status));
}

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows{
      {"friend key store", FriendKey, "friends=0"},
      {"module name", ModuleKey, "valid=0"},
      {"module name probe", [] { return std::to_string(Dev().isvalidpmname("../evilmod", 1)); },
       "0"},
      {"device internal name", DeviceList, ""},
      {"data file", [] { return Dev().GetDatafileName(0, "../../x.pkg", true, -1).str(); },
       kInside},
      {"every copy of a data file", DataFileCopies, kInside},
      {"library", [] { return Text(Dev().getdllfilename("evil")); }, kInside, kClimb},
      {"loaded library", LoadedRoute, "generic", kClimb},
      {"executable", [] { return Text(Dev().getexecfilename(1, "evil", 1)); }, kInside, kClimb},
      {"help file", [] { return Text(Dev().gethelpfilename(1, "topic.hlp", 1, -1)); }, kInside,
       "KORVAN_LANG=../../../.."},
      {"usage file, the tool's name", Usage, ""},
  };
  return rows;
}

}  // namespace

// A name that is not plain is absent, with the lookup's own message.
TEST(NameEscape, NoPathBuilderLeavesTheInstallation) {
  const HostileInstall install;
  const pmtest::MessageCapture capture;
  for (const Row& row : Rows()) {
    const std::size_t equals = row.env.find('=');
    if (equals != std::string::npos)
      setenv(row.env.substr(0, equals).c_str(), &row.env[equals + 1], 1);
    const std::string answer = row.ask();
    unsetenv("KORVAN_PLATFORM");
    unsetenv("KORVAN_LANG");
    if (row.expected == kInside) {
      EXPECT_TRUE(install.Inside(answer)) << row.builder << ": " << answer;
    } else {
      EXPECT_EQ(row.expected, answer) << row.builder;
    }
  }
  // A data file may lie in a sub-folder of a data folder, named without "..".
  EXPECT_EQ(install.Root() + "/dev/data/sub/notes.txt",
            Dev().GetDatafileName(1, "sub/notes.txt", true, -1).str());
  EXPECT_EQ("", Dev().GetDatafileName(1, "sub/../sub/notes.txt", true, -1).str());
  EXPECT_EQ("", install.PluginLog());
  EXPECT_THAT(capture.messages(),
              AllOf(Contains(pmtest::Says(pmlib::msg::CannotOpenDefinitionFile, {"../evilmod"})),
                    Contains(pmtest::From(Port::msg::NotAWordName))));
}
