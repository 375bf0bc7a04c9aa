// The modern API's mapping onto the handles, against the bundled sample: each call reaches the
// right handle operation, absent results are empty, enums, errors with the library's code, and
// message capture per thread. What the library answers is tested with the handles.
#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <tuple>

#include <pmlib/pmlib.h>

#include "pmtest.h"

namespace {

using Names = std::vector<std::string>;
using pmlib::Module;
using pmlib::Part;

// Results as one line of text, so that a row of a table states what a call gives.
std::string Text(const std::string& text) { return text; }
std::string Text(bool value) { return value ? "yes" : "no"; }
std::string Text(const std::optional<std::string>& value) { return value.value_or("(none)"); }
std::string Text(pmlib::Level level) { return std::string(pmlib::levelName(level)); }
std::string Text(pmlib::ModuleType type) {
  return std::vector<std::string>{"FPGA", "CPLD", "CONFIG", "Other"}[static_cast<int>(type)];
}
std::string Text(pmlib::EntryForm form) {
  return std::vector<std::string>{
      "Named", "Absent", "Empty", "NoParen", "NoLibrary", "Null"}[static_cast<int>(form)];
}
std::string Text(const Names& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) text += (i ? " " : "") + names[i];
  return "[" + text + "]";
}
std::string Text(const pmlib::Device& d) {
  return Text({d.name, Text(d.internalNames), Text(d.packages), Text(d.speeds), Text(d.speedGrades),
               Text(d.subfamily), Text(d.ranges)});
}
std::string Text(const pmlib::VirtualEntry& e) {
  return Text({e.function, Text(e.form), Text(e.key), Text(e.symbol), Text(e.library),
               Text(e.loaded), Text(e.resolves), e.reason});
}

std::string Text(const pmlib::ModuleLocation& l) {
  return Text({Text(l.definition), Text(l.dataFolders), Text(l.unsupported)});
}
std::string Text(const pmlib::ModuleEntry& m) {
  return m.name + "=" + Text(m.alias) + (m.unsupported ? "!" : "");
}
template <typename Value>
std::string Text(const std::vector<Value>& values) {
  Names texts;
  for (const Value& value : values) texts.push_back(Text(value));
  return Text(texts);
}

// The error a call throws as "KIND CODE", or "no error".
std::string ErrorOf(const std::function<void()>& call) {
  const pmlib::MessageCapture quiet;
  try {
    call();
  } catch (const pmlib::Error& error) {
    const char* const kinds[] = {"NoInstallation", "NoSuchModule", "UnreadableDefinition",
                                 "NoSuchDevice"};
    return kinds[static_cast<int>(error.kind())] + (" " + std::to_string(error.code())) +
           (error.message().empty() ? " without a message" : "");
  }
  return "no error";
}

// Rows of what a call gave, as text, and what it should give ("<sample>" the sample's folder).
using Mappings = std::vector<std::pair<std::string, std::string>>;

void ExpectMappings(const Mappings& rows) {
  for (std::size_t row = 0; row < rows.size(); ++row) {
    std::string actual = rows[row].first;
    for (std::size_t at; (at = actual.find(PMLIB_SAMPLE_DIR)) != std::string::npos;) {
      actual.replace(at, std::string(PMLIB_SAMPLE_DIR).size(), "<sample>");
    }
    EXPECT_EQ(actual, rows[row].second) << "row " << row;
  }
}

// One module's identity, as "name type alias [friends] vendor".
std::string Identity(const char* given) {
  const Module module(given);
  return Text({module.name(), Text(module.type()), Text(module.alias()), Text(module.friends()),
               Text(module.vendor())});
}

// A part as "level rejected [choices] valid" of its failure, or "(none) [next levels] valid".
std::string Verdict(const Part& part) {
  const std::optional<pmlib::Failure> failure = part.failure();
  return (failure ? Text(failure->level) + " " + Text(failure->rejected) : "(none)") + " " +
         Text(part.choices()) + " " + Text(part.valid());
}

// Modules, virtual entries, the installation and data files: each row a call's result as text
// and what it should be. (The architectures are the example's, in tests/api/CMakeLists.txt.)
TEST(Api, ModuleInstallationAndDataFileCalls) {
  pmlib::setInstallation({PMLIB_SAMPLE_DIR});
  const pmlib::ModuleQuery all = {{}, {}, false, true};
  const std::string sample = PMLIB_SAMPLE_DIR;
  const Module alpha("alpha");
  const Module gamma("gamma");
  const pmlib::MessageCapture quiet;
  ExpectMappings({
      // Modules.
      {Identity("bravo"), "[beta FPGA bravo [alpha] Korvan]"},
      {Identity("gamma"), "[gamma FPGA (none) [beta alpha] Korvan]"},
      {Identity("delta"), "[delta CPLD (none) [] Korvan]"},
      {Identity("prom"), "[prom CONFIG (none) [] Korvan]"},
      // AllowedUnsupportedModuleFailedAfterARefusedOpen: the refused open left a failed reader.
      {ErrorOf([] { Module("legacy"); }), "NoSuchModule 33"},
      {Text(Module("legacy", pmlib::Unsupported::Allowed).unsupported()), "yes"},
      // RefusedUnsupportedModuleOpenedOnceTheRegistryListedIt, as the allowed open has it do.
      {ErrorOf([] { Module("legacy"); }), "NoSuchModule 33"},
      {Text(gamma.family()) + " " + gamma.typeName(), "gamma FPGA"},
      {Text(gamma.value("RANGES")) + Text(gamma.value("NO_SUCH_KEY")), "C,I(none)"},
      {Text(alpha.value("DEVICE_INTERNAL", {':', 1, ',', 2})), "ab40e_alt"},
      {Text(gamma.value("DEVICE_INTERNAL", {':', 5, ',', 0})), "(none)"},
      {Text(alpha.deviceNames()), "[xcab12e xcab40e]"},
      {Text(alpha.device("AB40E_ALT")),
       "[xcab40e [ab40e ab40e_alt] [pq208 fg256] [-4] [-4 -5] mid [C I]]"},
      {alpha.devices().front().name + alpha.devices().back().name, "xcab12excab40e"},
      {Text(alpha.listedPackages("xcab40e")) + Text(alpha.listedPackages("xcnone")),
       "[pq208 fg256][]"},
      {Text(alpha.listedSpeedGrades("xcab40e")) + Text(alpha.disallowedSpeeds()), "[-4 -5][-5]"},
      {gamma.definition() + " " + Text(gamma.dataFile("pmtool.usg")),
       "<sample>/gamma/data/gamma.acd <sample>/alpha/data/pmtool.usg"},
      {Text(gamma.dataFiles("libarch.acd")),
       "[<sample>/gamma/data/libarch.acd <sample>/alpha/data/libarch.acd]"},
      {Text(gamma.dataFile("none")) + Text(gamma.programFile("none")), "(none)(none)"},
      {Text(gamma.helpFile("modules.hlp")), "<sample>/help/modules.hlp"},
      {Text(gamma.libraryFile("arch")), "<sample>/alpha/lib/lin64/libarch.so"},
      {Text(alpha.library("arch").file) + Text(alpha.library("arch").dependencies),
       "<sample>/alpha/lib/lin64/libarch.so[alphalib]"},
      // Virtual entries.
      {Text(alpha.virtualEntry("route")),
       "[route Named VENTRY_LIN64_route arch_route arch yes yes ]"},
      {Text(alpha.virtualEntry("pack")),
       "[pack Null VENTRY_pack (none) (none) no no the entry is NULL]"},
      {Text(alpha.virtualEntry("nothing")),
       "[nothing Absent (none) (none) (none) no no no VENTRY_LIN64_nothing or VENTRY_nothing]"},
      {Text(alpha.virtualEntries().front()) + " " + alpha.virtualEntries()[1].function,
       "[pack Null VENTRY_pack (none) (none) no no the entry is NULL] place"},
      {Text(*alpha.virtualEntry("route", "alpha.acd")),
       "[route Named VENTRY_LIN64_route arch_route arch yes yes ]"},
      {Text(alpha.virtualEntry("route", "nosuch").has_value()), "no"},
      {pmlib::virtualEntryKey("route", true) + pmlib::virtualEntryKey("r", false),
       "VENTRY_LIN64_routeVENTRY_r"},
      // The text alone: nothing is looked up.
      {Text(pmlib::parseVirtualEntry("arch_route(const char*),arch")),
       "[ Named (none) arch_route arch no no ]"},
      {Text(pmlib::parseVirtualEntry("f(int,arch").form), "NoParen"},
      {Text(pmlib::parseVirtualEntry("f").form), "NoLibrary"},
      {Text(pmlib::parseVirtualEntry("").form), "Empty"},
      // The installation and data files.
      {Text(pmlib::installation()), "[<sample>]"},
      {Text(pmlib::architectures({"SUPPORT_MODE", "logical", true, true})), "[]"},
      {Text(pmlib::architectures({{}, {}, false, true}).back()), "Korvan:prom"},
      // OwnKeysGaveTheFriendsKeysAfterAListingOfEveryArchitecture.
      {Text(gamma.ownKeys() == pmlib::readDefinitionFile(gamma.definition()).keys), "yes"},
      {Text(pmlib::modules(all)) + " " + pmlib::modules(all).back().definition,
       "[alpha=(none) beta=bravo delta=(none) gamma=(none) prom=(none) legacy=(none)!] "
       "<sample>/data/unsupported/legacy/data/legacy.acd"},
      {Text(pmlib::modules({"ARCH_TYPE", "cpld", true, false}).front().name), "basic"},
      {Text(pmlib::unsupportedModules()), "[legacy]"},
      {Text(pmlib::moduleFolders()), "[alpha basic beta delta gamma legacy prom]"},
      {Text(pmlib::locateModule("legacy")),
       "[<sample>/data/unsupported/legacy/data/legacy.acd "
       "[<sample>/data/unsupported/legacy/data/] yes]"},
      {Text(pmlib::deviceTable("xcab12e,ab12e:xcab40e, ab40e ").back()), "[xcab40e ab40e]"},
      {pmlib::deviceFormatExpression("xcab_e"), "^x?c?ab[0-9]+e"},
      {Text(pmlib::readSpeedFile(sample + "/alpha/data/ab40e.spd").speeds), "[-4 -5]"},
      {Text(pmlib::readPackageFile(sample + "/alpha/data/ab40e.pkg").packages), "[pq208 fg256]"},
      {pmlib::readDefinitionFile(sample + "/gamma/data/gamma.acd").keys[1].first, "ARCH_FRIEND"},
      {Text(pmlib::readSpeedFile(sample + "/none.spd").loaded) +
           Text(pmlib::readPackageFile(sample + "/none.pkg").loaded) +
           Text(pmlib::readDefinitionFile(sample + "/none.acd").loaded),
       "nonono"},
      {pmlib::definitionKeys().front() + Text(pmlib::definitionKeyPrefixes()),
       "ARCH_NAME[VENTRY_ ALIAS_]"},
  });
  // "." once located the installation's common data folder as a module's.
  for (const char* name : {"zeta", ".", "..", "", "alpha/../beta", "data/unsupported/legacy"}) {
    EXPECT_EQ(Text(pmlib::locateModule(name)), "[(none) [] no]") << name;
  }
}

// What cannot produce a result throws with the library's code; then parts. (A part failing at its
// speed is the example's.)
TEST(Api, ErrorsAndPartCalls) {
  pmlib::setInstallation({PMLIB_SAMPLE_DIR});
  ExpectMappings({
      {ErrorOf([] { Module("zeta"); }), "NoSuchModule 33"},
      {ErrorOf([] { Module("legacy"); }), "NoSuchModule 33"},
      {ErrorOf([] { Module("alpha").device("xcab50e"); }), "NoSuchDevice 0"},
      {ErrorOf([] { Part::fromLevels("zeta", "x"); }), "NoSuchModule 33"},
      {ErrorOf([] { Part::parse("xczz9").module(); }), "NoSuchModule 0"},
  });
  const Part part = Part::parse("XCAB40E-4-PQ208");
  const Part unknown = Part::parse("xczz9tq144-3");
  const Part levels = Part::fromLevels("alpha", "xcab12e");
  const Part config = Part::parse("xcab80ecs144-4", {{}, {}, {}, true});
  ExpectMappings({
      // Parts.
      {Verdict(unknown),
       "architecture xczz9tq144-3 [Korvan:alpha Korvan:beta Korvan:delta Korvan:gamma] no"},
      {Verdict(Part::parse("xcab50etq144-3")), "device xcab50e [xcab12e xcab40e] no"},
      {Verdict(Part::parse("xcab12ebg999-3")), "package bg999 [tq144 cs144] no"},
      {Verdict(levels), "package (none) [tq144 cs144] no"},
      {Verdict(part), "(none) [] yes"},
      {Text({Text(part.architecture()), Text(part.device()), Text(part.package()),
             Text(part.speed()), Text(part.internalNames())}),
       "[alpha xcab40e pq208 -4 [ab40e ab40e_alt]]"},
      {Text({Text(part.composedName()), Text(part.databookName()), Text(part.range()),
             Text(part.subfamily()), part.module().name()}),
       "[ab40epq208-4 xcab40e-4pq208 C mid alpha]"},
      {Text(part.speedFlags()->minimumSpeed) + Text(part.speedFlags()->speed411), "yesyes"},
      {Text(Part(part).composedName()), "ab40epq208-4"},
      {Text({Text(unknown.architecture()), Text(unknown.device()), Text(unknown.composedName()),
             Text(unknown.completed().has_value())}),
       "[(none) (none) (none) no]"},
      {Text(levels.speedFlags().has_value()) + Text(levels.completed()->composedName()),
       "noab12etq144-3"},
      {Text(config.device()), "xcab80e"},
      // ConfigurationPartCopyLostTheConfigurationRules: a copy of a configuration part was a
      // plain part, and completed() completed it by the plain rules.
      {Text(Part(config).device()) + Text(Part(config).valid() == config.valid()) +
           Text(config.completed().value().device()),
       "xcab80eyesxcab80e"},
      {Text(Part::parse("xcab80ecs144-4").device()), "(none)"},
  });
  // With an architecture given, a speed other than the expected one is warned about.
  for (const auto& [expected, warned] : {std::pair{"-4", false}, std::pair{"-5", true}}) {
    const pmlib::MessageCapture capture;
    const Part named = Part::parse("xcab40e-4-pq208", {"alpha", expected});
    EXPECT_EQ(Text(named.speed()) + Text(!capture.messages().empty()), "-4" + Text(warned));
  }
}

TEST(ApiInstallation, NothingSetThrowsNoInstallationAndABrokenDefinitionUnreadableDefinition) {
  pmlib::setInstallation({});
  for (const std::function<void()>& call : std::vector<std::function<void()>>{
           [] { pmlib::architectures(); }, [] { pmlib::modules(); }, [] { Module("alpha"); },
           [] { Part::parse("xcab12etq144-3"); }, [] { pmlib::locateModule("alpha"); }}) {
    EXPECT_EQ(ErrorOf(call), "NoInstallation 0");
  }
  const pmtest::TempDir root;
  pmtest::WriteFile(root / "broken/data/broken.acd", "ARCH_NAME = other\nARCH_FRIEND = other\n");
  pmlib::setInstallation({root.path()});
  EXPECT_EQ(ErrorOf([] { Module("broken"); }).rfind("UnreadableDefinition ", 0), 0u);
}

void Warn(const char* text) {
  Port_MsgManData::createObject("test", "api", 1, "").issueWarning("%s", text);
}

// A capture takes its own thread's messages only, the innermost of nested ones; the handler
// installed before hears the rest, and everything again once the capture is gone.
TEST(ApiMessages, MessageCaptureIsScopedToItsThread) {
  pmlib::setInstallation({PMLIB_SAMPLE_DIR});
  Names handled;
  Port::SetMsgHandler([&](const Port::Message& message) { handled.push_back(message.text); });
  {
    pmlib::MessageCapture outer;
    {
      const pmlib::MessageCapture inner;
      Warn("inner\n");
      EXPECT_EQ(inner.messages().size(), 1u);
    }
    EXPECT_THROW(Module("zeta"), pmlib::Error);
    std::thread([] { Warn("other\n"); }).join();
    const Port::Message first = outer.take().at(0);  // taking empties the capture
    EXPECT_EQ(std::make_tuple(Port::MsgKind::UserFatal, 33, true),
              std::make_tuple(first.kind, first.code, outer.messages().empty()));
  }
  Warn("after\n");
  EXPECT_EQ(handled, (Names{"other\n", "after\n"}));
  Port::SetMsgHandler(nullptr);
}

}  // namespace
