// Listing installed modules: scan order, filters, duplicates, skipped folders and aliases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pmlib/pmspec.h"
#include "pmtest.h"
#include "spine_fixture.h"

using spinetest::Definition;
using spinetest::Root;

namespace {

std::vector<std::string> Listed(const PM_SPEC& spec, bool aliased) {
  return std::vector<std::string>(spec.begin(aliased), spec.end(aliased));
}

std::string Module(const std::string& name, const std::string& baseMode,
                   const std::string& extra = "") {
  return "ARCH_NAME = " + name + "\nARCH_FRIEND = " + name + "\n" +
         (baseMode.empty() ? "" : "BASE_MODE = " + baseMode + "\n") + extra;
}

// Two roots: modules in byte order trouble, base-mode variants, a duplicate and skipped folders.
struct ListingInstall {
  ListingInstall() {
    first.Module("zeta", Module("zeta", "FALSE", "ARCH_TYPE = CPLD\n"));
    first.Module("Upper", Module("Upper", "false"));
    first.Module("alpha", Module("alpha", "FALSE", "ARCH_TYPE = fpga\nALIAS_alpha = Aleph\n"));
    second.Module("alpha", Module("alpha", "FALSE", "ARCH_TYPE = fpga\n"));
    second.Module("basic", Module("basic", "TRUE", "ARCH_TYPE = FPGA\n"));
    second.Module("nomode", Module("nomode", ""));
    second.Module("odd", Module("odd", "MAYBE"));
    second.Module("bin", Module("bin", "FALSE"));
    second.Module("data", Module("data", "FALSE"));
    second.Module("help", Module("help", "FALSE"));
    second.File("loose.txt", "not a module\n");
    spinetest::Install({&first, &second});
  }
  Root first;
  Root second;
};

}  // namespace

TEST(Listing, ModulesComeOnceInByteOrderFilteredByBaseMode) {
  ListingInstall install;
  pmtest::MessageCapture capture;
  PM_SPEC spec(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  spec.make_list(nullptr, nullptr, 0);
  EXPECT_EQ((std::vector<std::string>{"Upper", "alpha", "zeta"}), Listed(spec, false));
  spec.make_list(nullptr, nullptr, 1);
  EXPECT_EQ((std::vector<std::string>{"Upper", "alpha", "basic", "zeta"}), Listed(spec, false));
  EXPECT_EQ(0, spec.get_depth());
  EXPECT_EQ(nullptr, spec.get_pm());
  EXPECT_TRUE(capture.of(Port::MsgKind::Internal).empty());
  EXPECT_TRUE(capture.of(Port::MsgKind::UserFatal).empty());

  capture.clear();
  spec.printme("list");
  const auto lines = capture.texts(Port::MsgKind::Status);
  ASSERT_EQ(7u, lines.size());
  EXPECT_EQ("   list has 4 entries: \n", lines[2]);
  EXPECT_EQ("      entry 2: <basic>\n", lines[5]);
}

TEST(Listing, KeyAndValueFiltersIgnoreValueCase) {
  ListingInstall install;
  PM_SPEC spec(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  spec.make_list("ARCH_TYPE", nullptr, 1);
  EXPECT_EQ((std::vector<std::string>{"alpha", "basic", "zeta"}), Listed(spec, false));
  spec.make_list("ARCH_TYPE", "FPGA", 1);
  EXPECT_EQ((std::vector<std::string>{"alpha", "basic"}), Listed(spec, false));
  spec.make_list("ARCH_TYPE", "cpld", 0);
  EXPECT_EQ(std::vector<std::string>{"zeta"}, Listed(spec, false));
  spec.make_list("NO_SUCH_KEY", nullptr, 1);
  EXPECT_TRUE(Listed(spec, false).empty());
}

TEST(Listing, AliasesReplaceNamesInPlaceWhenAsked) {
  ListingInstall install;
  PM_SPEC spec(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  spec.make_list(nullptr, nullptr, 0);
  EXPECT_EQ((std::vector<std::string>{"Upper", "Aleph", "zeta"}), Listed(spec, true));
  EXPECT_EQ((std::vector<std::string>{"Upper", "alpha", "zeta"}), Listed(spec, false));

  DARRAY_NAME* names = spec.get_list(1);
  ASSERT_NE(nullptr, names);
  ASSERT_EQ(3, names->size());
  EXPECT_EQ(4, names->getelemsize());
  EXPECT_STREQ("Aleph", (*names)[1]);
  EXPECT_EQ(spec.begin(true)[2], (*names)[2]);  // the strings are shared, not copied
}

TEST(Listing, ASpecificationWithAModuleListsNothing) {
  ListingInstall install;
  PM_SPEC spec("zeta", PM_BINDING_SUPPORTED_ONLY);
  spec.make_list(nullptr, nullptr, 1);
  EXPECT_TRUE(Listed(spec, false).empty());
  EXPECT_STREQ("zeta", spec.get_pm());
  EXPECT_EQ(0, spec.get_list(0)->size());
}

TEST(Listing, DefinitionsThatFailChecksAreListedSilently) {
  Root root;
  root.Module("misnamed", Module("other", "FALSE"));
  root.Module("broken", "");
  spinetest::Install({&root});
  pmtest::MessageCapture capture;
  PM_SPEC spec(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  spec.make_list(nullptr, nullptr, 1);
  EXPECT_EQ(std::vector<std::string>{"misnamed"}, Listed(spec, false));
  EXPECT_TRUE(capture.messages().empty());
}

TEST(Listing, UnreadableRootsAreSkipped) {
  Root root;
  root.Module("alpha", Definition("alpha"));
  Port::KorvanPath::Set({root.path() + "/missing", root.path()});
  PM_SPEC spec(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  spec.make_list(nullptr, nullptr, 0);
  EXPECT_EQ(std::vector<std::string>{"alpha"}, Listed(spec, false));
}
