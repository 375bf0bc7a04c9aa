// pmtool's command table and the help texts composed from it.
#include "command.h"

#include "output.h"

namespace pmtool {
namespace {

std::string OptionSpelling(const OptionDoc& option) {
  std::string spelling = std::string("--") + option.name;
  if (option.value) spelling += std::string(" ") + option.value;
  return spelling;
}

std::string CommandWords(const Family& family, const Command& command) {
  std::string text = family.name;
  if (*command.name) text += std::string(" ") + command.name;
  return text;
}

const char* const kExitUsageLine = "  2  the command line is wrong\n";

}  // namespace

const std::vector<const Family*>& Families() {
  static const std::vector<const Family*> families = {
      &ModulesFamily(),    &InfoFamily(),   &KeyFamily(),         &LocateFamily(),
      &DeviceFamily(),     &PartFamily(),   &PartsFamily(),       &ArchsFamily(),
      &CheckPartFamily(),  &VentryFamily(), &AcdFamily(),         &SegFamily(),
      &SpeedsFileFamily(), &CheckFamily(),  &PackagesFileFamily()};
  return families;
}

std::string CommandUsage(const Command& command, const std::string& path) {
  std::string usage = path;
  if (!command.options.empty()) usage += " [OPTIONS]";
  if (*command.synopsis) usage += std::string(" ") + command.synopsis;
  return usage;
}

std::string OptionSpec(const Command& command) {
  std::string spec = "pmtool";
  for (const OptionDoc& option : command.options) {
    spec += std::string(" -") + option.name + (option.value ? "=" : "");
  }
  return spec;
}

std::string CommandHelp(const Command& command, const std::string& path) {
  Table options;
  for (const OptionDoc& option : command.options)
    options.add({OptionSpelling(option), option.text});
  options.add({"-h, --help", "show this help"});
  return "Usage: " + CommandUsage(command, path) + "\n\n" + command.description + "\nOptions:\n" +
         options.str("  ") + "\nExamples:\n" + command.examples + "\nExit status:\n" +
         command.exitStatus + kExitUsageLine;
}

std::string FamilyHelp(const Family& family) {
  Table commands;
  for (const Command& command : family.commands) {
    commands.add(
        {CommandUsage(command, "pmtool " + CommandWords(family, command)), command.summary});
  }
  return std::string("Usage: pmtool ") + family.name + " COMMAND [ARGS...]\n\n" + family.summary +
         "\n\nCommands:\n" + commands.str("  ") + "\nRun 'pmtool " + family.name +
         " COMMAND --help' for a command's options and examples.\n";
}

std::string OverviewHelp() {
  Table commands;
  for (const Family* family : Families()) {
    for (const Command& command : family->commands) {
      std::string line = CommandWords(*family, command);
      if (*command.synopsis) line += std::string(" ") + command.synopsis;
      commands.add({line, command.summary});
    }
  }
  commands.add({"help [COMMAND]", "show the help of pmtool or of a command"});
  Table globals;
  globals.add({"--install DIRS",
               "installation directories, separated by \":\"; repeatable "
               "(instead of KORVAN_PATH)"});
  globals.add({"--verbose",
               "also show which files an earlier installation directory overrides "
               "(check always shows them)"});
  globals.add({"--json", "before the command: the same as the command's own --json"});
  globals.add({"--version", "print the version and the installation in use"});
  globals.add({"-h, --help [ARCH]", "show this help, or the usage notes of the architecture ARCH"});
  return "Usage: pmtool [GLOBAL OPTIONS] COMMAND [ARGS...]\n\n"
         "Reads and checks the device data of a design-suite installation: definition files\n"
         "(.acd) and segmented data files (.spd, .pkg).\n\nCommands:\n" +
         commands.str("  ") + "\nGlobal options:\n" + globals.str("  ") +
         "\nExit status:\n"
         "  0  done; the result is on standard output\n"
         "  1  a problem was found: a file that cannot be read or is malformed, a name that is\n"
         "     not valid, a value that is not there\n" +
         kExitUsageLine +
         "\nEnvironment:\n"
         "  KORVAN_PATH  the installation directories, separated by \":\"; the first overrides,\n"
         "               the last is the base installation. When it is unset or empty (and\n"
         "               --install is not given), pmtool uses its bundled sample installation.\n"
         "  PM_TRACE     when set, the library's debug traces are printed on standard error\n"
         "\nResults go to standard output, messages to standard error. Every command that\n"
         "answers a query takes --json and then prints one JSON document instead of aligned\n"
         "text; failures are still reported on standard error.\n"
         "--install and --verbose may also follow the command.\n"
         "\nRun 'pmtool COMMAND --help' for a command's options and examples.\n";
}

}  // namespace pmtool
