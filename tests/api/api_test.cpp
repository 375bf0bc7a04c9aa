// The modern API's mapping of the handles onto values, against the bundled sample: empty
// optionals where the library has nothing, the enums, the errors and their codes, the message
// capture, and a part failing at each level with its choices. What the library answers is
// tested with the handles; here only how the answers arrive.
#include <gtest/gtest.h>

#include <algorithm>

#include <thread>

#include <pmlib/pmlib.h>

#include "pmtest.h"

namespace {

using Names = std::vector<std::string>;

class ApiTest : public ::testing::Test {
 protected:
  void SetUp() override { pmlib::setInstallation({PMLIB_SAMPLE_DIR}); }
};

// The error an expression throws, or nullopt.
template <typename Call>
std::optional<pmlib::Error> Thrown(Call call) {
  try {
    call();
  } catch (const pmlib::Error& error) {
    return error;
  }
  return std::nullopt;
}

TEST_F(ApiTest, InstallationListsModulesAndArchitectures) {
  EXPECT_EQ(pmlib::installation(), Names{PMLIB_SAMPLE_DIR});
  EXPECT_EQ(pmlib::architectures(),
            (Names{"Korvan:alpha", "Korvan:beta", "Korvan:delta", "Korvan:gamma"}));
  const Names withConfiguration = pmlib::architectures({{}, {}, false, true});
  EXPECT_NE(std::find(withConfiguration.begin(), withConfiguration.end(), "Korvan:prom"),
            withConfiguration.end());

  const std::vector<pmlib::ModuleEntry> modules = pmlib::modules({{}, {}, false, true});
  Names names;
  for (const pmlib::ModuleEntry& entry : modules) names.push_back(entry.name);
  EXPECT_EQ(names, (Names{"alpha", "beta", "delta", "gamma", "prom", "legacy"}));
  EXPECT_EQ(modules[1].alias, std::optional<std::string>("bravo"));
  EXPECT_EQ(modules[0].alias, std::nullopt);
  EXPECT_FALSE(modules[0].unsupported);
  EXPECT_TRUE(modules.back().unsupported);
  EXPECT_EQ(modules[0].definition, std::string(PMLIB_SAMPLE_DIR) + "/alpha/data/alpha.acd");
  EXPECT_EQ(modules.back().definition,
            std::string(PMLIB_SAMPLE_DIR) + "/data/unsupported/legacy/data/legacy.acd");
  EXPECT_EQ(pmlib::unsupportedModules(), Names{"legacy"});
}

TEST_F(ApiTest, ModulesAreLocatedWithoutReadingThem) {
  const Names folders = pmlib::moduleFolders();
  for (const char* name : {"alpha", "basic", "legacy", "prom"}) {
    EXPECT_NE(std::find(folders.begin(), folders.end(), name), folders.end()) << name;
  }
  const std::string root = PMLIB_SAMPLE_DIR;
  const pmlib::ModuleLocation legacy = pmlib::locateModule("legacy");
  EXPECT_TRUE(legacy.unsupported);
  EXPECT_EQ(legacy.definition, root + "/data/unsupported/legacy/data/legacy.acd");
  EXPECT_EQ(legacy.dataFolders, Names{root + "/data/unsupported/legacy/data/"});
  const pmlib::ModuleLocation none = pmlib::locateModule("zeta");
  EXPECT_EQ(none.definition, std::nullopt);
  EXPECT_TRUE(none.dataFolders.empty());
  EXPECT_FALSE(none.unsupported);
}

// "." once located the installation's common data folder as a module's.
TEST_F(ApiTest, ANameThatIsNoFolderNameIsLocatedNowhere) {
  for (const char* name : {".", "..", "", "alpha/../beta", "data/unsupported/legacy"}) {
    SCOPED_TRACE(name);
    const pmlib::ModuleLocation location = pmlib::locateModule(name);
    EXPECT_TRUE(location.dataFolders.empty());
    EXPECT_EQ(location.definition, std::nullopt);
  }
}

TEST(ApiFormats, DeviceTableAndFormatExpression) {
  EXPECT_EQ(pmlib::deviceTable("xcab12e,ab12e:xcab40e, ab40e ,ab40e_alt"),
            (std::vector<Names>{{"xcab12e", "ab12e"}, {"xcab40e", "ab40e", "ab40e_alt"}}));
  EXPECT_TRUE(pmlib::deviceTable("").empty());
  EXPECT_EQ(pmlib::deviceFormatExpression("#^x?c?ab[0-9]+e"), "^x?c?ab[0-9]+e");
  EXPECT_EQ(pmlib::deviceFormatExpression("xcab_e"), "^x?c?ab[0-9]+e");
}

struct ModuleRow {
  const char* given;
  const char* name;
  pmlib::ModuleType type;
  std::optional<std::string> alias;
  Names friends;
};

TEST_F(ApiTest, ModuleIdentity) {
  const ModuleRow rows[] = {
      {"alpha", "alpha", pmlib::ModuleType::FPGA, std::nullopt, {}},
      {"bravo", "beta", pmlib::ModuleType::FPGA, "bravo", {"alpha"}},
      {"gamma", "gamma", pmlib::ModuleType::FPGA, std::nullopt, {"beta", "alpha"}},
      {"delta", "delta", pmlib::ModuleType::CPLD, std::nullopt, {}},
      {"prom", "prom", pmlib::ModuleType::CONFIG, std::nullopt, {}},
  };
  for (const ModuleRow& row : rows) {
    SCOPED_TRACE(row.given);
    const pmlib::Module module(row.given);
    EXPECT_EQ(module.name(), row.name);
    EXPECT_EQ(module.type(), row.type);
    EXPECT_EQ(module.alias(), row.alias);
    EXPECT_EQ(module.friends(), row.friends);
    EXPECT_EQ(module.vendor(), std::optional<std::string>("Korvan"));
    EXPECT_FALSE(module.unsupported());
  }
  EXPECT_TRUE(pmlib::Module("legacy", pmlib::Unsupported::Allowed).unsupported());
}

TEST_F(ApiTest, KeysAreOptionalAndMergedWithFriends) {
  const pmlib::Module gamma("gamma");
  EXPECT_EQ(gamma.value("NO_SUCH_KEY"), std::nullopt);
  EXPECT_EQ(gamma.value("RANGES"), std::optional<std::string>("C,I"));  // alpha's, through beta
  EXPECT_EQ(gamma.value("DEVICE_INTERNAL", {':', 5, ',', 0}), std::nullopt);
  const pmlib::Module alpha("alpha");
  EXPECT_EQ(alpha.value("DEVICE_INTERNAL", {':', 1, ',', 2}),
            std::optional<std::string>("ab40e_alt"));
  bool ownHasRanges = false;
  for (const auto& [key, value] : gamma.ownKeys()) ownHasRanges |= key == "RANGES";
  EXPECT_FALSE(ownHasRanges);
  EXPECT_EQ(gamma.ownKeys().front().first, "ARCH_NAME");
}

TEST_F(ApiTest, DevicesCarryNamesPackagesSpeedsAndSubfamily) {
  const pmlib::Module alpha("alpha");
  EXPECT_EQ(alpha.deviceNames(), (Names{"xcab12e", "xcab40e"}));
  const pmlib::Device device = alpha.device("AB40E_ALT");
  EXPECT_EQ(device.name, "xcab40e");
  EXPECT_EQ(device.internalNames, (Names{"ab40e", "ab40e_alt"}));
  EXPECT_EQ(device.packages, (Names{"pq208", "fg256"}));
  EXPECT_EQ(device.speeds, (Names{"-4"}));
  EXPECT_EQ(device.speedGrades, (Names{"-4", "-5"}));
  EXPECT_EQ(device.subfamily, std::optional<std::string>("mid"));
  EXPECT_EQ(device.ranges, (Names{"C", "I"}));
  EXPECT_EQ(alpha.devices().size(), 2u);
  // The lists as the data files hold them, before any part level filters them.
  EXPECT_EQ(alpha.listedPackages("xcab40e"), (Names{"pq208", "fg256"}));
  EXPECT_EQ(alpha.listedSpeedGrades("xcab40e"), (Names{"-4", "-5"}));
  EXPECT_EQ(alpha.listedPackages("xcnone"), Names{});
  EXPECT_EQ(alpha.disallowedSpeeds(), Names{"-5"});
  EXPECT_EQ(pmlib::Module("delta").disallowedSpeeds(), Names{});
}

TEST_F(ApiTest, FilesAreOptionalPaths) {
  const pmlib::Module gamma("gamma");
  const std::string root = PMLIB_SAMPLE_DIR;
  EXPECT_EQ(gamma.definition(), root + "/gamma/data/gamma.acd");
  EXPECT_EQ(gamma.dataFile("pmtool.usg"), root + "/alpha/data/pmtool.usg");
  EXPECT_EQ(gamma.dataFile("no-such-file"), std::nullopt);
  EXPECT_EQ(gamma.dataFiles("no-such-file"), Names{});
  EXPECT_EQ(gamma.programFile("no-such-program"), std::nullopt);
  EXPECT_EQ(gamma.libraryFile("no-such-library"), std::nullopt);
  EXPECT_EQ(pmlib::Module("alpha").libraryFile("arch"), root + "/alpha/lib/lin64/libarch.so");
}

struct EntryRow {
  const char* function;
  pmlib::EntryForm form;
  bool resolves;
  const char* reason;
};

TEST_F(ApiTest, VirtualEntriesSayWhetherTheyResolve) {
  const pmlib::Module alpha("alpha");
  const EntryRow rows[] = {
      {"route", pmlib::EntryForm::Named, true, ""},
      {"pack", pmlib::EntryForm::Null, false, "the entry is NULL"},
      {"nothing", pmlib::EntryForm::Absent, false, "no VENTRY_LIN64_nothing or VENTRY_nothing"},
  };
  for (const EntryRow& row : rows) {
    SCOPED_TRACE(row.function);
    const pmlib::VirtualEntry entry = alpha.virtualEntry(row.function);
    EXPECT_EQ(entry.form, row.form);
    EXPECT_EQ(entry.resolves, row.resolves);
    EXPECT_EQ(entry.reason, row.reason);
    EXPECT_EQ(entry.library.has_value(), row.form == pmlib::EntryForm::Named);
  }
  Names functions;
  for (const pmlib::VirtualEntry& entry : alpha.virtualEntries())
    functions.push_back(entry.function);
  EXPECT_EQ(functions, (Names{"pack", "place", "route"}));
  EXPECT_TRUE(alpha.virtualEntry("route").loaded);

  const std::optional<pmlib::VirtualEntry> fromFile = alpha.virtualEntry("route", "alpha.acd");
  ASSERT_TRUE(fromFile.has_value());
  EXPECT_EQ(fromFile->key, std::optional<std::string>("VENTRY_LIN64_route"));
  EXPECT_EQ(fromFile->symbol, std::optional<std::string>("arch_route"));
  EXPECT_EQ(alpha.virtualEntry("route", "nosuch"), std::nullopt);
  EXPECT_EQ(pmlib::virtualEntryKey("route", true), "VENTRY_LIN64_route");
  EXPECT_EQ(pmlib::virtualEntryKey("route", false), "VENTRY_route");
}

struct FieldRow {
  const char* field;
  pmlib::EntryForm form;
  std::optional<std::string> symbol, library;
};

TEST(ApiEntries, AnEntrysTextIsReadWithoutLoadingAnything) {
  const FieldRow rows[] = {
      {"arch_route(const char*),arch", pmlib::EntryForm::Named, "arch_route", "arch"},
      {"arch_place ,arch ", pmlib::EntryForm::Named, "arch_place", "arch"},
      {"", pmlib::EntryForm::Empty, std::nullopt, std::nullopt},
      {"f(int,arch", pmlib::EntryForm::NoParen, std::nullopt, std::nullopt},
      {"f", pmlib::EntryForm::NoLibrary, std::nullopt, std::nullopt},
      {"NULL,arch", pmlib::EntryForm::Null, std::nullopt, std::nullopt},
  };
  for (const FieldRow& row : rows) {
    SCOPED_TRACE(row.field);
    const pmlib::VirtualEntry entry = pmlib::parseVirtualEntry(row.field);
    EXPECT_EQ(entry.form, row.form);
    EXPECT_EQ(entry.symbol, row.symbol);
    EXPECT_EQ(entry.library, row.library);
    EXPECT_FALSE(entry.resolves);
  }
}

struct PartRow {
  const char* name;
  std::optional<pmlib::Level> level;
  std::optional<std::string> rejected;
  Names choices;
};

TEST_F(ApiTest, APartFailsAtEachLevelWithItsChoices) {
  const PartRow rows[] = {
      {"xczz9tq144-3",
       pmlib::Level::Architecture,
       "xczz9tq144-3",
       {"Korvan:alpha", "Korvan:beta", "Korvan:delta", "Korvan:gamma"}},
      {"xcab50etq144-3", pmlib::Level::Device, "xcab50e", {"xcab12e", "xcab40e"}},
      {"xcab12ebg999-3", pmlib::Level::Package, "bg999", {"tq144", "cs144"}},
      {"xcab40epq208-5", pmlib::Level::Speed, "-5", {"-4"}},
      {"xcab40e-4-pq208", std::nullopt, std::nullopt, {}},
  };
  for (const PartRow& row : rows) {
    SCOPED_TRACE(row.name);
    const pmlib::Part part = pmlib::Part::parse(row.name);
    const std::optional<pmlib::Failure> failure = part.failure();
    ASSERT_EQ(failure.has_value(), row.level.has_value());
    if (failure) {
      EXPECT_EQ(failure->level, *row.level);
      EXPECT_EQ(failure->rejected, row.rejected);
    }
    EXPECT_EQ(part.valid(), !row.level);
    EXPECT_EQ(part.choices(), row.choices);
  }
}

TEST_F(ApiTest, PartLevelsNamesAndCompletion) {
  const pmlib::Part part = pmlib::Part::parse("XCAB40E-4-PQ208");
  EXPECT_EQ(part.architecture(), std::optional<std::string>("alpha"));
  EXPECT_EQ(part.device(), std::optional<std::string>("xcab40e"));
  EXPECT_EQ(part.package(), std::optional<std::string>("pq208"));
  EXPECT_EQ(part.speed(), std::optional<std::string>("-4"));
  EXPECT_EQ(part.composedName(), std::optional<std::string>("ab40epq208-4"));
  EXPECT_EQ(part.databookName(), std::optional<std::string>("xcab40e-4pq208"));
  EXPECT_EQ(part.range(), std::optional<std::string>("C"));
  EXPECT_EQ(part.module().name(), "alpha");
  ASSERT_TRUE(part.speedFlags());
  EXPECT_TRUE(part.speedFlags()->minimumSpeed);
  EXPECT_TRUE(part.speedFlags()->speed411);

  const pmlib::Part unknown = pmlib::Part::parse("xczz9tq144-3");
  EXPECT_EQ(unknown.architecture(), std::nullopt);
  EXPECT_EQ(unknown.device(), std::nullopt);
  EXPECT_EQ(unknown.composedName(), std::nullopt);
  EXPECT_EQ(unknown.completed(), std::nullopt);

  const pmlib::Part device = pmlib::Part::fromLevels("alpha", "xcab12e");
  EXPECT_EQ(device.failure()->level, pmlib::Level::Package);
  EXPECT_EQ(device.failure()->rejected, std::nullopt);
  EXPECT_EQ(device.speedFlags(), std::nullopt);
  EXPECT_EQ(device.completed()->composedName(), std::optional<std::string>("ab12etq144-3"));

  // With an architecture given, a speed other than the expected one is warned about.
  for (const auto& [expected, warned] : {std::pair{"-4", false}, std::pair{"-5", true}}) {
    SCOPED_TRACE(expected);
    const pmlib::MessageCapture capture;
    const pmlib::Part named = pmlib::Part::parse("xcab40e-4-pq208", {"alpha", expected});
    EXPECT_EQ(named.speed(), std::optional<std::string>("-4"));
    EXPECT_EQ(!capture.messages().empty(), warned);
  }
}

struct ErrorRow {
  const char* what;
  std::function<void()> call;
  pmlib::ErrorKind kind;
  int code;
};

TEST_F(ApiTest, WhatCannotProduceAResultThrowsWithTheLibrarysCode) {
  const ErrorRow rows[] = {
      {"no such module", [] { pmlib::Module("zeta"); }, pmlib::ErrorKind::NoSuchModule, 33},
      {"unsupported refused", [] { pmlib::Module("legacy"); }, pmlib::ErrorKind::NoSuchModule, 33},
      {"no such device", [] { pmlib::Module("alpha").device("xcab50e"); },
       pmlib::ErrorKind::NoSuchDevice, 0},
      {"part of no module", [] { pmlib::Part::fromLevels("zeta", "x"); },
       pmlib::ErrorKind::NoSuchModule, 33},
  };
  for (const ErrorRow& row : rows) {
    SCOPED_TRACE(row.what);
    const pmlib::MessageCapture quiet;
    const std::optional<pmlib::Error> error = Thrown(row.call);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), row.kind);
    EXPECT_EQ(error->code(), row.code);
    EXPECT_FALSE(error->message().empty());
  }
}

TEST(ApiInstallation, NothingSetThrowsNoInstallation) {
  pmlib::setInstallation({});
  for (const std::function<void()>& call : std::vector<std::function<void()>>{
           [] { pmlib::architectures(); }, [] { pmlib::modules(); }, [] { pmlib::Module("alpha"); },
           [] { pmlib::Part::parse("xcab12etq144-3"); }}) {
    const std::optional<pmlib::Error> error = Thrown(call);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), pmlib::ErrorKind::NoInstallation);
    EXPECT_EQ(error->code(), 0);
  }
}

TEST(ApiInstallation, UnreadableDefinitionThrows) {
  const pmtest::TempDir root;
  pmtest::WriteFile(root.path() + "/broken/data/broken.acd",
                    "ARCH_NAME = other\nARCH_FRIEND = other\n");
  pmlib::setInstallation({root.path()});
  const pmlib::MessageCapture quiet;
  const std::optional<pmlib::Error> error = Thrown([] { pmlib::Module("broken"); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->kind(), pmlib::ErrorKind::UnreadableDefinition);
  EXPECT_NE(error->message().find("broken.acd"), std::string::npos) << error->message();
}

// A capture takes its own thread's messages only; the handler installed before hears the rest,
// and hears everything again once the capture is gone.
TEST_F(ApiTest, MessageCaptureIsScopedToItsThread) {
  std::vector<std::string> handled;
  Port::SetMsgHandler([&](const Port::Message& message) { handled.push_back(message.text); });
  {
    pmlib::MessageCapture outer;
    {
      pmlib::MessageCapture inner;
      Port_MsgManData::createObject("test", "api", 1, "").issueWarning("inner\n");
      EXPECT_EQ(inner.messages().size(), 1u);
    }
    EXPECT_TRUE(Thrown([] { pmlib::Module("zeta"); }).has_value());
    std::thread([] {
      Port_MsgManData::createObject("test", "api", 1, "").issueWarning("other\n");
    }).join();
    const std::vector<Port::Message> taken = outer.take();
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(taken[0].kind, Port::MsgKind::UserFatal);
    EXPECT_EQ(taken[0].code, 33);
    EXPECT_TRUE(outer.messages().empty());
  }
  Port_MsgManData::createObject("test", "api", 1, "").issueWarning("after\n");
  EXPECT_EQ(handled, (Names{"other\n", "after\n"}));
  Port::SetMsgHandler(nullptr);
}

// Two threads capturing at once: each capture holds its own thread's messages and no other's.
TEST_F(ApiTest, CapturesOnTwoThreadsStayApart) {
  const auto captureOwn = [](const char* text, std::vector<std::string>& seen) {
    const pmlib::MessageCapture capture;
    for (int i = 0; i < 50; ++i) {
      Port_MsgManData::createObject("test", "api", 1, "").issueWarning("%s\n", text);
    }
    for (const Port::Message& message : capture.messages()) seen.push_back(message.text);
  };
  std::vector<std::string> first;
  std::vector<std::string> second;
  std::thread one([&] { captureOwn("one", first); });
  std::thread two([&] { captureOwn("two", second); });
  one.join();
  two.join();
  EXPECT_EQ(first, Names(50, "one\n"));
  EXPECT_EQ(second, Names(50, "two\n"));
}

TEST_F(ApiTest, DataFilesReadAsTheLibraryReadsThem) {
  const pmlib::Module alpha("alpha");
  const pmlib::SpeedFile speeds = pmlib::readSpeedFile(*alpha.dataFile("ab40e.spd"));
  EXPECT_TRUE(speeds.loaded);
  EXPECT_EQ(speeds.speeds, (Names{"-4", "-5"}));
  const pmlib::PackageFile packages = pmlib::readPackageFile(*alpha.dataFile("ab40e.pkg"));
  EXPECT_EQ(packages.packages, (Names{"pq208", "fg256"}));
  const pmlib::MessageCapture quiet;
  EXPECT_FALSE(pmlib::readSpeedFile(std::string(PMLIB_SAMPLE_DIR) + "/none.spd").loaded);
}

// A definition is read on its own, friends not merged, whatever its keys say; the keys the
// library reads are one table, their families apart.
TEST(ApiDefinitions, OwnKeysAndTheLibrarysVocabulary) {
  const pmlib::DefinitionFile gamma =
      pmlib::readDefinitionFile(std::string(PMLIB_SAMPLE_DIR) + "/gamma/data/gamma.acd");
  EXPECT_TRUE(gamma.loaded);
  const auto range = std::find_if(gamma.keys.begin(), gamma.keys.end(),
                                  [](const auto& key) { return key.first == "RANGES"; });
  EXPECT_EQ(range, gamma.keys.end());  // gamma takes its ranges from a friend
  const pmlib::MessageCapture quiet;
  EXPECT_FALSE(pmlib::readDefinitionFile(std::string(PMLIB_SAMPLE_DIR) + "/none.acd").loaded);
  const Names& keys = pmlib::definitionKeys();
  for (const char* key : {"ARCH_NAME", "SUPPORT_MODE", "DEVICE_FORMAT", "SUBFAM_NAMES", "DEPEND"}) {
    EXPECT_NE(std::find(keys.begin(), keys.end(), key), keys.end()) << key;
  }
  EXPECT_EQ(pmlib::definitionKeyPrefixes(), (Names{"VENTRY_", "ALIAS_"}));
}

}  // namespace

// A copy of a configuration part was a plain part: the copy refused the device that only the
// configuration rules accept, and completed() completed it by the plain rules.
TEST_F(ApiTest, ConfigurationPartCopyLostTheConfigurationRules) {
  pmlib::PartOptions options;
  options.configuration = true;
  const pmlib::Part part = pmlib::Part::parse("xcab80ecs144-4", options);
  ASSERT_EQ(part.device(), "xcab80e");
  const pmlib::Part copy(part);
  EXPECT_EQ(copy.device(), "xcab80e");
  EXPECT_EQ(copy.valid(), part.valid());
  const std::optional<pmlib::Part> completed = part.completed();
  ASSERT_TRUE(completed);
  EXPECT_EQ(completed->device(), "xcab80e");
}
