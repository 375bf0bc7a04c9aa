// Listing installed modules: scan order, filters, duplicates, skipped folders and aliases.
#include <tuple>

#include "spine_fixture.h"

using namespace spinetest;
using Names = std::vector<std::string>;

namespace {

Names Listed(const PM_SPEC& spec, bool aliased) {
  return Names(spec.begin(aliased), spec.end(aliased));
}

std::string Module(const std::string& name, const std::string& baseMode,
                   const std::string& extra = "") {
  return "ARCH_NAME = " + name + "\nARCH_FRIEND = " + name + "\n" +
         (baseMode.empty() ? "" : "BASE_MODE = " + baseMode + "\n") + extra;
}

}  // namespace

// Two roots: modules in byte order trouble, base-mode variants, a duplicate and skipped folders.
TEST(Listing, ModulesComeOnceInByteOrderFilteredByBaseModeKeysAndValues) {
  Root first;
  Root second;
  first.Module("zeta", Module("zeta", "FALSE", "ARCH_TYPE = CPLD\n"));
  first.Module("Upper", Module("Upper", "false"));
  first.Module("alpha", Module("alpha", "FALSE", "ARCH_TYPE = fpga\nALIAS_alpha = Aleph\n"));
  second.Module("alpha", Module("alpha", "FALSE", "ARCH_TYPE = fpga\n"));
  second.Module("basic", Module("basic", "TRUE", "ARCH_TYPE = FPGA\n"));
  second.Module("nomode", Module("nomode", ""));
  second.Module("odd", Module("odd", "MAYBE"));
  for (const char* folder : {"bin", "data", "help"}) second.Module(folder, Module(folder, "FALSE"));
  second.File("loose.txt", "not a module\n");
  spinetest::Install({&first, &second});
  pmtest::MessageCapture capture;
  PM_SPEC spec(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  spec.make_list(nullptr, nullptr, 0);
  EXPECT_EQ((Names{"Upper", "alpha", "zeta"}), Listed(spec, false));
  // Aliases replace names in place when asked.
  EXPECT_EQ((Names{"Upper", "Aleph", "zeta"}), Listed(spec, true));
  DARRAY_NAME* names = spec.get_list(1);
  ASSERT_EQ(3, names->size());
  EXPECT_STREQ("Aleph", (*names)[1]);
  EXPECT_EQ(spec.begin(true)[2], (*names)[2]);  // the strings are shared, not copied

  // Filters on a key, and on its value whatever the value's case.
  const std::vector<std::tuple<const char*, const char*, int, Names>> filters = {
      {nullptr, nullptr, 1, {"Upper", "alpha", "basic", "zeta"}},
      {"ARCH_TYPE", nullptr, 1, {"alpha", "basic", "zeta"}},
      {"ARCH_TYPE", "FPGA", 1, {"alpha", "basic"}},
      {"ARCH_TYPE", "cpld", 0, {"zeta"}},
      {"NO_SUCH_KEY", nullptr, 1, {}},
  };
  for (const auto& [key, value, withBaseMode, expected] : filters) {
    spec.make_list(key, value, withBaseMode);
    EXPECT_EQ(expected, Listed(spec, false)) << (key ? key : "") << "=" << (value ? value : "");
  }
  EXPECT_EQ(nullptr, spec.get_pm());
  EXPECT_TRUE(capture.of(MsgKind::Internal).empty() && capture.of(MsgKind::UserFatal).empty());

  capture.clear();
  spec.make_list(nullptr, nullptr, 1);
  spec.printme("list");
  const auto lines = capture.of(MsgKind::Status);
  ASSERT_EQ(7u, lines.size());
  EXPECT_THAT(lines[2], Says(pmlib::msg::DumpListSize, {"4"}));
  EXPECT_THAT(lines[5], Says(pmlib::msg::DumpListEntry, {"2", "basic"}));

  // A specification with a module lists nothing.
  PM_SPEC zeta("zeta", PM_BINDING_SUPPORTED_ONLY);
  zeta.make_list(nullptr, nullptr, 1);
  EXPECT_TRUE(Listed(zeta, false).empty() && zeta.get_list(0)->size() == 0);
  EXPECT_STREQ("zeta", zeta.get_pm());
}

TEST(Listing, DefinitionsThatFailChecksAreListedSilentlyAndUnreadableRootsSkipped) {
  Root root;
  root.Module("alpha", Definition("alpha"));
  root.Module("misnamed", Module("other", "FALSE"));
  root.Module("broken", "");
  Port::KorvanPath::Set({root.path() + "/missing", root.path()});
  pmtest::MessageCapture capture;
  PM_SPEC spec(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  spec.make_list(nullptr, nullptr, 1);
  EXPECT_EQ((Names{"alpha", "misnamed"}), Listed(spec, false));
  EXPECT_TRUE(capture.messages().empty());
}
