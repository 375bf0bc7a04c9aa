// Every message the library issues, once: its name, kind, code and text (the printf format it is
// issued with). A unit issues one with PM_ISSUE(Name, arguments...); tests recognise one by its
// entry (pmlib::msg::Name) without restating the text.
#ifndef PMLIB_S_PMMESSAGES_H
#define PMLIB_S_PMMESSAGES_H

#include <pmport/port_msg.h>

// clang-format off
#define PMLIB_MESSAGES(X)                                                                          \
  /* Finding a module, its definition file and its parts. */                                    \
  X(CannotOpenDefinitionFile, UserFatal, 33,                                                       \
    "Unable to open definition file for Personality Module \"%s\".  "                              \
    "Please make sure that it has been correctly installed.\n")                                    \
  X(NullModule, Internal, 0, "NULL PM cannot be created\n")                                        \
  X(CannotLoadModuleDefinition, Internal, 0, "Could not load definition file <%s.acd>\n")          \
  X(CannotLoadDefinitionFile, Internal, 0, "Could not load definition file <%s>\n")                \
  X(DefinitionWithoutName, Internal, 0,                                                            \
    "Corrupt definition file <%s>, did not find architecture name\n")                              \
  X(DefinitionOfOtherModule, Internal, 0,                                                          \
    "Corrupt definition file <%s>, expecting pm <%s>, found <%s>\n")                               \
  X(DefinitionWithoutArchitecture, Internal, 0,                                                    \
    "Corrupt definition file <%s>, did not find architecture definition\n")                        \
  X(NoDefinitionFileForModule, Internal, 0,                                                        \
    "Could not find a definition file for personality module %s\n")                                \
  X(CannotFindModule, Internal, 0, "Could not find personality module %s\n")                       \
  X(SpecNotDownToModule, Internal, 0, "SPEC is not specified down to the pm level\n")              \
  X(NullArchitecture, Internal, 0, "NULL Architecture cannot be created\n")                        \
  X(NoFamily, Warning, 0, "No <FAMILY> in PM definition file for %s\n")                            \
  X(BadModuleName, Warning, 0, "bad pm name <%s>\n")                                               \
  /* Naming a part and its device, package and speed. */                                          \
  X(BadPartPattern, Fatal, 22, "Bad pattern found for PM %s\n")                                    \
  X(WrongVendor, Warning, 0, "Wrong vendor name <%s>\n")                                           \
  X(PartNotInFamily, Warning, 0, "The part <%s> was not found in family <%s>.\n")                  \
  X(InconsistentSpeed, Warning, 0,                                                                 \
    "The given speed <%s> is inconsistent with the speed <%s> in part <%s>.\n")                    \
  X(PartNameNeedsModule, Status, 0,                                                                \
    "Cannot find partname, because personality module is not specified\n")                         \
  X(CannotFindPart, Internal, 0, "Cannot find part %s in personality module %s\n")                 \
  X(CannotSetPart, Warning, 0, "Cannot find part %s in personality module %s\n")                   \
  X(DeviceNameNeedsModule, Status, 0,                                                              \
    "Cannot find device name, because personality module is not specified\n")                      \
  X(CannotFindDevice, Internal, 0, "Cannot find device %s in personality module %s\n")             \
  X(PackageNameNeedsDevice, Status, 0, "Cannot find package name, because device is not specified\n") \
  X(CannotFindPackage, Internal, 0, "Cannot find package %s in personality module %s")             \
  X(SpeedNameNeedsDevice, Status, 0, "Cannot find speed name, because device is not specified")    \
  X(CannotFindSpeed, Internal, 0, "Cannot find speed %s in personality module %s")                 \
  X(PackageWithoutDevice, Warning, 0, "Device not defined, cannot set package.\n")                 \
  X(SpeedWithoutDevice, Warning, 0, "Device not defined, cannot set speed.\n")                     \
  X(NoExternalName, Warning, 0, "Device %s has NO external name.\n")                               \
  X(NoInternalName, Warning, 0, "Device %s has NO internal name.\n")                               \
  X(NoInternalNames, Warning, 0, "Device %s has NO internal names.\n")                             \
  /* Validating and completing a part. */                                                         \
  X(PicNotDownToSpeed, Internal, 0, "PIC is not specified down to the speed level")                \
  X(PicNotDownToPackage, Internal, 0, "PIC is not specified down to the package level")            \
  X(InvalidModule, Internal, 0, "Personality module \"%s\" is not valid.\n")                       \
  X(InvalidDevice, Internal, 0, "device \"%s\" is not valid.\n")                                   \
  X(InvalidPackage, Internal, 0, "package \"%s\" is not valid.\n")                                 \
  X(InvalidSpeed, Internal, 0, "speed \"%s\" is not valid.\n")                                     \
  X(NoDefault, Fatal, 19, "fill_defaults: cannot find a default %s\n")                             \
  X(FillDefaultsOnEmptyPic, Internal, 0, "fill defaults called on empty PM_PIC\n")                 \
  X(ValidatorSetupFailed, Fatal, 101, "Error in setting up validator\n")                           \
  /* Data files of devices. */                                                                    \
  X(NoInternalNameForPackages, Warning, 0,                                                         \
    "No internal device name, using external device to build package list.\n")                     \
  X(NoInternalNameForSpeeds, Warning, 0,                                                           \
    "No internal device name, using external device to build speed list.\n")                       \
  X(DataFilesWithoutInternalName, Internal, 0,                                                     \
    "nph data files found with no internal name.  Please check the PM level acd file %s.acd.\n")   \
  X(CannotReadSpeedFile, Fatal, 30, "Can't read speed file %s\n")                                  \
  X(CannotReadPackageFile, Fatal, 30, "Can't read package file %s\n")                              \
  /* Device keys. */                                                                              \
  X(SecondDevKeyManager, Fatal, 22, "Attempt to create second PM_INTDEVKEY_MGR\n")                 \
  X(NoSpec, Internal, 0, "No PM_SPEC specified.\n")                                                \
  X(KeySearchFailed, Fatal, 1,                                                                     \
    "search for key %s in acd file %s encountered NULL ptr.Make sure this file is correct\n")      \
  X(StringSearchFailed, Fatal, 1,                                                                  \
    "search for string %s in acd file %s encountered NULL ptr.Make sure this file is correct\n")   \
  /* Module libraries. */                                                                         \
  X(LibraryMissing, Fatal, 92, "dll library <%s> does not exist.\n")                               \
  X(LibraryOpenFailed, Fatal, 91, "dll open of library <%s> failed due to %s.\n")                  \
  X(BadDependencyFile, Fatal, 33, "bad load of library dependency file \"%s\"\n")                  \
  X(MissingLibraryEntry, Internal, 0,                                                              \
    "Dynamic lib <%s> does not contain entry for function <%s>\n")                                 \
  /* Help of command-line programs. */                                                            \
  X(NoArchitectureHelp, Status, 0,                                                                 \
    "There is no %s architecture specific help available for %s.  The architecture "               \
    "independent help is instead provided below.\n")                                               \
  X(UsageStart, Status, 0, " ")                                                                    \
  X(UsageLine, Status, 0, "%s\n")                                                                  \
  /* Dumps of a module and of a part. */                                                          \
  X(DumpSpecName, Status, 0, "%s:%s\n")                                                            \
  X(DumpFriendCount, Status, 0, "   %d pm_friends\n")                                              \
  X(DumpFriend, Status, 0, "      friend %d = <%s>\n")                                             \
  X(DumpListSize, Status, 0, "   list has %d entries: \n")                                         \
  X(DumpListEntry, Status, 0, "      entry %d: <%s>\n")                                            \
  X(DumpPicStatus, Status, 0, "   pic is officially %s, and %svalid\n")                            \
  X(DumpPicNames, Status, 0, "   vendor:family:device:package:speed = <%s:%s:%s:%s:%s>\n")         \
  X(DumpDatabook, Status, 0, "   Databook spec = [%s]\n")                                          \
  X(DumpMinimumSpeed, Status, 0, "   Has %sminimum speed\n")                                       \
  X(DumpRange, Status, 0, "   Power Temperature Range = [%s]\n")                                   \
  X(DumpSupportedRanges, Status, 0, "   The Supported Power Temperature Ranges are:")              \
  X(DumpSupportedRange, Status, 0, " %s")                                                          \
  X(DumpLineEnd, Status, 0, "\n")
// clang-format on

namespace pmlib {
namespace msg {

PMPORT_MESSAGE_TABLE(PMLIB_MESSAGES)

}  // namespace msg
}  // namespace pmlib

// Issues the library's message `NAME` from this place of the unit (see PM_MSG), with the
// arguments its text asks for.
#define PM_ISSUE(NAME, ...) \
  PM_MSG().issue(::pmlib::msg::NAME, ::pmlib::msg::text::NAME, ##__VA_ARGS__)

#endif  // PMLIB_S_PMMESSAGES_H
