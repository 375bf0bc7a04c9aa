// The messages of the library and of the platform layer: each one's kind, code and exact text is
// pinned here and only here. Other tests recognise a message by its entry (pmtest::From,
// pmtest::Says).
#include <tuple>

#include "pmmessages.h"
#include "port_messages.h"
#include "pmtest.h"

namespace {

using Port::MsgKind;

using Row = std::tuple<std::string, MsgKind, int, std::string>;  // name, kind, code, text

// The table `entries` holds exactly `rows`, in order.
template <std::size_t N, std::size_t M>
void ExpectTable(const Row (&rows)[N], const Port::MsgEntry (&entries)[M]) {
  ASSERT_EQ(N, M);
  for (std::size_t i = 0; i < N; ++i) {
    EXPECT_EQ(rows[i], Row(entries[i].name, entries[i].kind, entries[i].code, entries[i].text));
  }
}

TEST(Messages, LibraryAndPlatformTablesHoldEachMessageWithItsKindCodeAndText) {
  // One row a message, however long.
  // clang-format off
  const Row rows[] = {
      {"CannotOpenDefinitionFile", MsgKind::UserFatal, 33, "Unable to open definition file for Personality Module \"%s\".  Please make sure that it has been correctly installed.\n"},
      {"NullModule", MsgKind::Internal, 0, "NULL PM cannot be created\n"},
      {"CannotLoadModuleDefinition", MsgKind::Internal, 0, "Could not load definition file <%s.acd>\n"},
      {"CannotLoadDefinitionFile", MsgKind::Internal, 0, "Could not load definition file <%s>\n"},
      {"DefinitionWithoutName", MsgKind::Internal, 0, "Corrupt definition file <%s>, did not find architecture name\n"},
      {"DefinitionOfOtherModule", MsgKind::Internal, 0, "Corrupt definition file <%s>, expecting pm <%s>, found <%s>\n"},
      {"DefinitionWithoutArchitecture", MsgKind::Internal, 0, "Corrupt definition file <%s>, did not find architecture definition\n"},
      {"NoDefinitionFileForModule", MsgKind::Internal, 0, "Could not find a definition file for personality module %s\n"},
      {"CannotFindModule", MsgKind::Internal, 0, "Could not find personality module %s\n"},
      {"SpecNotDownToModule", MsgKind::Internal, 0, "SPEC is not specified down to the pm level\n"},
      {"NullArchitecture", MsgKind::Internal, 0, "NULL Architecture cannot be created\n"},
      {"NoFamily", MsgKind::Warning, 0, "No <FAMILY> in PM definition file for %s\n"},
      {"BadModuleName", MsgKind::Warning, 0, "bad pm name <%s>\n"},
      {"BadPartPattern", MsgKind::Fatal, 22, "Bad pattern found for PM %s\n"},
      {"WrongVendor", MsgKind::Warning, 0, "Wrong vendor name <%s>\n"},
      {"PartNotInFamily", MsgKind::Warning, 0, "The part <%s> was not found in family <%s>.\n"},
      {"InconsistentSpeed", MsgKind::Warning, 0, "The given speed <%s> is inconsistent with the speed <%s> in part <%s>.\n"},
      {"PartNameNeedsModule", MsgKind::Status, 0, "Cannot find partname, because personality module is not specified\n"},
      {"CannotFindPart", MsgKind::Internal, 0, "Cannot find part %s in personality module %s\n"},
      {"CannotSetPart", MsgKind::Warning, 0, "Cannot find part %s in personality module %s\n"},
      {"DeviceNameNeedsModule", MsgKind::Status, 0, "Cannot find device name, because personality module is not specified\n"},
      {"CannotFindDevice", MsgKind::Internal, 0, "Cannot find device %s in personality module %s\n"},
      {"PackageNameNeedsDevice", MsgKind::Status, 0, "Cannot find package name, because device is not specified\n"},
      {"CannotFindPackage", MsgKind::Internal, 0, "Cannot find package %s in personality module %s"},
      {"SpeedNameNeedsDevice", MsgKind::Status, 0, "Cannot find speed name, because device is not specified"},
      {"CannotFindSpeed", MsgKind::Internal, 0, "Cannot find speed %s in personality module %s"},
      {"PackageWithoutDevice", MsgKind::Warning, 0, "Device not defined, cannot set package.\n"},
      {"SpeedWithoutDevice", MsgKind::Warning, 0, "Device not defined, cannot set speed.\n"},
      {"NoExternalName", MsgKind::Warning, 0, "Device %s has NO external name.\n"},
      {"NoInternalName", MsgKind::Warning, 0, "Device %s has NO internal name.\n"},
      {"NoInternalNames", MsgKind::Warning, 0, "Device %s has NO internal names.\n"},
      {"PicNotDownToSpeed", MsgKind::Internal, 0, "PIC is not specified down to the speed level"},
      {"PicNotDownToPackage", MsgKind::Internal, 0, "PIC is not specified down to the package level"},
      {"InvalidModule", MsgKind::Internal, 0, "Personality module \"%s\" is not valid.\n"},
      {"InvalidDevice", MsgKind::Internal, 0, "device \"%s\" is not valid.\n"},
      {"InvalidPackage", MsgKind::Internal, 0, "package \"%s\" is not valid.\n"},
      {"InvalidSpeed", MsgKind::Internal, 0, "speed \"%s\" is not valid.\n"},
      {"NoDefault", MsgKind::Fatal, 19, "fill_defaults: cannot find a default %s\n"},
      {"FillDefaultsOnEmptyPic", MsgKind::Internal, 0, "fill defaults called on empty PM_PIC\n"},
      {"ValidatorSetupFailed", MsgKind::Fatal, 101, "Error in setting up validator\n"},
      {"NoInternalNameForPackages", MsgKind::Warning, 0, "No internal device name, using external device to build package list.\n"},
      {"NoInternalNameForSpeeds", MsgKind::Warning, 0, "No internal device name, using external device to build speed list.\n"},
      {"DataFilesWithoutInternalName", MsgKind::Internal, 0, "nph data files found with no internal name.  Please check the PM level acd file %s.acd.\n"},
      {"CannotReadSpeedFile", MsgKind::Fatal, 30, "Can't read speed file %s\n"},
      {"CannotReadPackageFile", MsgKind::Fatal, 30, "Can't read package file %s\n"},
      {"SecondDevKeyManager", MsgKind::Fatal, 22, "Attempt to create second PM_INTDEVKEY_MGR\n"},
      {"NoSpec", MsgKind::Internal, 0, "No PM_SPEC specified.\n"},
      {"KeySearchFailed", MsgKind::Fatal, 1, "search for key %s in acd file %s encountered NULL ptr.Make sure this file is correct\n"},
      {"StringSearchFailed", MsgKind::Fatal, 1, "search for string %s in acd file %s encountered NULL ptr.Make sure this file is correct\n"},
      {"LibraryMissing", MsgKind::Fatal, 92, "dll library <%s> does not exist.\n"},
      {"LibraryOpenFailed", MsgKind::Fatal, 91, "dll open of library <%s> failed due to %s.\n"},
      {"BadDependencyFile", MsgKind::Fatal, 33, "bad load of library dependency file \"%s\"\n"},
      {"MissingLibraryEntry", MsgKind::Internal, 0, "Dynamic lib <%s> does not contain entry for function <%s>\n"},
      {"NoArchitectureHelp", MsgKind::Status, 0, "There is no %s architecture specific help available for %s.  The architecture independent help is instead provided below.\n"},
      {"UsageStart", MsgKind::Status, 0, " "},
      {"UsageLine", MsgKind::Status, 0, "%s\n"},
      {"DumpSpecName", MsgKind::Status, 0, "%s:%s\n"},
      {"DumpFriendCount", MsgKind::Status, 0, "   %d pm_friends\n"},
      {"DumpFriend", MsgKind::Status, 0, "      friend %d = <%s>\n"},
      {"DumpListSize", MsgKind::Status, 0, "   list has %d entries: \n"},
      {"DumpListEntry", MsgKind::Status, 0, "      entry %d: <%s>\n"},
      {"DumpPicStatus", MsgKind::Status, 0, "   pic is officially %s, and %svalid\n"},
      {"DumpPicNames", MsgKind::Status, 0, "   vendor:family:device:package:speed = <%s:%s:%s:%s:%s>\n"},
      {"DumpDatabook", MsgKind::Status, 0, "   Databook spec = [%s]\n"},
      {"DumpMinimumSpeed", MsgKind::Status, 0, "   Has %sminimum speed\n"},
      {"DumpRange", MsgKind::Status, 0, "   Power Temperature Range = [%s]\n"},
      {"DumpSupportedRanges", MsgKind::Status, 0, "   The Supported Power Temperature Ranges are:"},
      {"DumpSupportedRange", MsgKind::Status, 0, " %s"},
      {"DumpLineEnd", MsgKind::Status, 0, "\n"},
  };
  const Row platformRows[] = {
      {"NotAWordName", MsgKind::Warning, 0, "%s is not a %s name (letters, digits, \"_\" and \"-\" only); %s is used.\n"},
      {"Override", MsgKind::Warning, 0, "%s: %s overrides %s\n"},
      {"CannotOpenForReading", MsgKind::Warning, 0, "Cannot open file \"%s\" for reading.\n"},
      {"UnknownOption", MsgKind::Warning, 0, "unknown option \"%s\"\n"},
      {"OptionNeedsValue", MsgKind::Warning, 0, "the option \"%s\" needs a value\n"},
      {"MalformedOptionSpec", MsgKind::Warning, 0, "the option specification of \"%s\" is malformed: %s\n"},
      {"CommandFileNamesItself", MsgKind::Warning, 0, "the command file \"%s\" names itself; skipped\n"},
      {"CommandFilesTooDeep", MsgKind::Warning, 0, "command files are nested too deeply at \"%s\"; skipped\n"},
      {"CannotReadCommandFile", MsgKind::Warning, 0, "cannot read the command file \"%s\"\n"},
  };
  // clang-format on
  ExpectTable(rows, pmlib::msg::kAll);
  ExpectTable(platformRows, Port::msg::kAll);
}

// The matcher every other test relies on: a conversion matches any text, the rest must be equal.
TEST(Messages, IsFromComparesKindCodeAndTextWithConversionsAsWildcards) {
  using namespace pmlib::msg;
  const std::tuple<Port::MsgEntry, MsgKind, int, const char*, bool> cases[] = {
      {CannotFindPart, MsgKind::Internal, 0, "Cannot find part a in personality module b\n", true},
      {CannotFindPart, MsgKind::Internal, 0, "Cannot find part  in personality module \n", true},
      {CannotSetPart, MsgKind::Internal, 0, "Cannot find part a in personality module b\n", false},
      {CannotFindPart, MsgKind::Internal, 0, "Cannot find part a in personality module b", false},
      {CannotFindPart, MsgKind::Internal, 0, "Cannot find part a in module b\n", false},
      {LibraryMissing, MsgKind::Fatal, 91, "dll library <x.so> does not exist.\n", false},
      {DumpLineEnd, MsgKind::Status, 0, " \n", false},
  };
  for (const auto& [entry, kind, code, text, matches] : cases) {
    EXPECT_EQ(matches, pmtest::IsFrom(Port::Message{kind, code, "", "", 0, text}, entry)) << text;
  }
}

}  // namespace
