// Installations for the key-store and specification tests, and re-running a test in a child
// process whose environment holds a switch from the start (switches read when the library loads).
#ifndef PMLIB_TESTS_LIB_SPINE_FIXTURE_H
#define PMLIB_TESTS_LIB_SPINE_FIXTURE_H

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>

#include <sys/wait.h>
#include <unistd.h>

#include "pmlib/pmdevkey.h"
#include "pmlib/pmspec.h"
#include "pmmessages.h"
#include "pmport/port_env.h"
#include "pmport/port_path.h"
#include "pmtest.h"
#include "port_messages.h"

namespace spinetest {

using Texts = std::vector<std::string>;
using pmtest::From;
using pmtest::Says;
using Port::MsgKind;
using ::testing::ElementsAre;

// A definition text: ARCH_NAME, ARCH_FRIEND (the module itself when `friendName` is empty),
// BASE_MODE FALSE, then `extra` lines.
inline std::string Definition(const std::string& arch, const std::string& friendName = "",
                              const std::string& extra = "") {
  return "ARCH_NAME = " + arch + "\nARCH_FRIEND = " + (friendName.empty() ? arch : friendName) +
         "\nBASE_MODE = FALSE\n" + extra;
}

// "[<pm>/]<kind>/<platform>/", the module's (or with no module the installation's) folder.
inline std::string PlatformDir(const std::string& pm, const std::string& kind) {
  return (pm.empty() ? "" : pm + "/") + kind + "/" + Port_Env::GetPlatformPath() + "/";
}

// `text`, or "(null)" for none.
inline std::string Text(const char* text) { return text ? text : "(null)"; }

// One installation root in a temporary folder.
class Root {
 public:
  const std::string& path() const { return dir_.path(); }
  // <root>/<pm>/data/<file>
  std::string DataFile(const std::string& pm, const std::string& file) const {
    return dir_.path() + "/" + pm + "/data/" + file;
  }
  // Writes <root>/<pm>/data/<pm>.acd.
  void Module(const std::string& pm, const std::string& content) const {
    pmtest::WriteFile(DataFile(pm, pm + ".acd"), content);
  }
  // Writes <root>/data/unsupported/<pm>/data/<pm>.acd.
  void UnsupportedModule(const std::string& pm, const std::string& content) const {
    pmtest::WriteFile(dir_.path() + "/data/unsupported/" + pm + "/data/" + pm + ".acd", content);
  }
  // Writes <root>/<relative> and answers its path.
  std::string File(const std::string& relative, const std::string& content = "") const {
    pmtest::WriteFile(dir_.path() + "/" + relative, content);
    return dir_.path() + "/" + relative;
  }
  // Copies the test library lib<name>.so into <root>/<relativeDir>.
  void Library(const std::string& relativeDir, const std::string& name) const {
    pmtest::MakeDirs(dir_.path() + "/" + relativeDir);
    std::filesystem::copy_file(std::string(PMTEST_PLUGIN_DIR) + "/lib" + name + ".so",
                               dir_.path() + "/" + relativeDir + "lib" + name + ".so",
                               std::filesystem::copy_options::overwrite_existing);
  }

 private:
  pmtest::TempDir dir_;
};

// The values of `keys` in `store`, each followed by a blank ("" for an absent one).
template <class Store>
std::string Values(Store& store, std::initializer_list<const char*> keys) {
  std::string text;
  for (const char* key : keys) text += store.GetStringByKey(key, 0, 0, 0, 0).str() + " ";
  return text;
}

// A matcher of the platform layer's warning that the copy `used` hides the one in the last root.
inline auto Overrides(const std::string& used, const std::string& inLast) {
  return Says(Port::msg::Override, {"PMSPEC", used, inLast});
}

// Makes `roots` the installation path list, first overriding.
inline void Install(const std::vector<const Root*>& roots) {
  std::vector<std::string> paths;
  for (const Root* root : roots) paths.push_back(root->path());
  Port::KorvanPath::Set(paths);
}

// True in a child process that runs the current test with `name`=`value` in its environment from
// the start; false in the parent, which waits for the child and fails when the child failed.
inline bool InChildWithEnv(const char* name, const char* value) {
  const char* current = std::getenv(name);
  if (current && std::strcmp(current, value) == 0) return true;
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter =
      std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
  const pid_t child = fork();
  if (child == 0) {
    setenv(name, value, 1);
    execl("/proc/self/exe", "lib_tests", filter.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the run with " << name << "=" << value << " failed";
  return false;
}

}  // namespace spinetest

#endif  // PMLIB_TESTS_LIB_SPINE_FIXTURE_H
