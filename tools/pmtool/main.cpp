// pmtool: reads and checks the device data of a design-suite installation.
//
//   pmtool [--install DIRS]... FAMILY COMMAND [OPTIONS] [ARGS...]
//   pmtool [--install DIRS]... -help ARCH
//
// Global options come before the command; everything after the command's name belongs to it and
// is checked against the command's own option specification.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "command.h"
#include "installation.h"
#include "output.h"
#include "pmlib/pmcmdargs.h"
#include "pmlib/pmversion.h"
#include "pmport/ut_cmdargs.h"

namespace pmtool {
namespace {

const char* const kGlobalSpec = "pmtool -version -install=";

using Arguments = std::vector<const char*>;

// The number of leading arguments that are global options (with their values).
std::size_t GlobalOptionCount(const Arguments& args) {
  const UT_CMDOPCODES opcodes(kGlobalSpec);
  std::size_t count = 0;
  while (count < args.size() && args[count][0] == '-' && args[count][1] != '\0') {
    const std::string arg = args[count++];
    if (arg == "--") break;
    if (opcodes.find(arg.c_str()) == UT_CMDOPCODES::Value && count < args.size()) ++count;
  }
  return count;
}

const Family* FindFamily(const std::string& name) {
  for (const Family* family : Families()) {
    if (name == family->name) return family;
  }
  return nullptr;
}

const Command* FindCommand(const Family& family, const std::string& name) {
  for (const Command& command : family.commands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

// A family that is a single command (like a later "check") has one command with an empty name.
const Command* SingleCommand(const Family& family) {
  const bool single = family.commands.size() == 1 && !*family.commands.front().name;
  return single ? &family.commands.front() : nullptr;
}

// "pmtool help [FAMILY [COMMAND]]" and "pmtool --help ...": the help on standard output.
int ShowHelp(const Arguments& words) {
  if (words.empty()) {
    std::cout << OverviewHelp();
    return kExitOk;
  }
  const Family* family = FindFamily(words[0]);
  if (!family) return UsageError("no command " + Quoted(words[0]), "pmtool");
  const Command* command = SingleCommand(*family);
  if (!command && words.size() == 1) {
    std::cout << FamilyHelp(*family);
    return kExitOk;
  }
  const std::string path = std::string("pmtool ") + family->name;
  if (!command) command = FindCommand(*family, words[1]);
  if (!command) return UsageError("no command " + Quoted(words[1]) + " in " + path, path);
  std::cout << CommandHelp(*command, *command->name ? path + " " + command->name : path);
  return kExitOk;
}

// A help option followed by a word that is no command of pmtool asks for an architecture's usage
// text.
bool AsksForArchitectureHelp(const Arguments& words) {
  return !words.empty() && !FindFamily(words[0]);
}

void PrintOverviewHelp() { std::cout << OverviewHelp(); }

// "pmtool -help ARCH": the library prints ARCH's pmtool.usg, or the installation's, or (when
// there is none) pmtool's overview. `argv` is main's, starting with the program name; the
// global options and the word after them are handed over, so the word follows the help option.
int ShowArchitectureHelp(std::size_t globalCount, char** argv) {
  const PM_CMDARGS parsed(static_cast<int>(globalCount + 2), argv, kGlobalSpec, nullptr,
                          PrintOverviewHelp, PM_CMDARGS_NO_COMMAND_FILES);
  return parsed.iserror() ? UsageHint("pmtool") : kExitOk;
}

int RunCommand(const Command& command, const std::string& path, const Arguments& args) {
  SetMessagePrefix(path);
  const UT_CMDARGS parsed(static_cast<int>(args.size()), args.data(), OptionSpec(command).c_str());
  if (parsed.gaveusage()) {
    std::cout << CommandHelp(command, path);
    return kExitOk;
  }
  if (parsed.iserror()) return UsageHint(path);
  const std::size_t count = parsed.getinfo().npositionals();
  if (count < command.minPositionals || count > command.maxPositionals) {
    const char* const problem = count < command.minPositionals ? "missing" : "too many";
    return UsageError(std::string(problem) + " arguments; usage: " + CommandUsage(command, path),
                      path);
  }
  return command.run(Invocation{command, path, parsed.getinfo()});
}

int Dispatch(const Arguments& words) {
  const Family* family = FindFamily(words[0]);
  if (!family) return UsageError("no command " + Quoted(words[0]), "pmtool");
  std::string path = std::string("pmtool ") + family->name;
  if (const Command* single = SingleCommand(*family)) {
    return RunCommand(*single, path, Arguments(words.begin() + 1, words.end()));
  }
  if (words.size() < 2) {
    std::cerr << FamilyHelp(*family);
    return kExitUsage;
  }
  if (UT_CMDCHK::ishelpoption(words[1])) {
    std::cout << FamilyHelp(*family);
    return kExitOk;
  }
  const Command* command = FindCommand(*family, words[1]);
  if (!command) return UsageError("no command " + Quoted(words[1]) + " in " + path, path);
  path += std::string(" ") + command->name;
  return RunCommand(*command, path, Arguments(words.begin() + 2, words.end()));
}

int Main(int argc, char** argv) {
  InstallMessageHandler();
  const Arguments args(argv + 1, argv + argc);
  const std::size_t globalCount = GlobalOptionCount(args);
  const UT_CMDARGS globals(static_cast<int>(globalCount), args.data(), kGlobalSpec);
  if (globals.iserror()) return UsageHint("pmtool");
  const Arguments words(args.begin() + static_cast<std::ptrdiff_t>(globalCount), args.end());
  if (globals.gaveusage() && !AsksForArchitectureHelp(words)) return ShowHelp(words);

  const std::string source = SelectInstallation(globals.getinfo().getvalues("install"));
  if (globals.gaveusage()) return ShowArchitectureHelp(globalCount, argv);
  if (globals.getinfo().hasflag("version")) {
    std::cout << "pmtool " << PMLibVersion() << "\ninstallation: " << InstallationText() << " ("
              << source << ")\n";
    return kExitOk;
  }
  if (words.empty()) {
    std::cerr << OverviewHelp();
    return kExitUsage;
  }
  if (std::string(words[0]) == "help") return ShowHelp(Arguments(words.begin() + 1, words.end()));
  return Dispatch(words);
}

}  // namespace
}  // namespace pmtool

int main(int argc, char** argv) {
  try {
    return pmtool::Main(argc, argv);
  } catch (const std::exception& error) {
    pmtool::PrintError(std::string("internal error: ") + error.what());
  } catch (...) {
    pmtool::PrintError("internal error");
  }
  return pmtool::kExitProblem;
}
