// pmtool: reads and checks the device data of a design-suite installation.
//
//   pmtool [--install DIRS]... FAMILY COMMAND [OPTIONS] [ARGS...]
//   pmtool [--install DIRS]... -help ARCH
//
// --install may stand anywhere before "--"; the other global options (--version, --json, the help
// options) come before the command. Everything else after the command's name belongs to it and is
// checked against the command's own option specification; a --json given before the command is
// handed to it.
#include <csignal>
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
#include "suggest.h"

namespace pmtool {
namespace {

const char* const kGlobalSpec = "pmtool -version -json -verbose -install=";

using Arguments = std::vector<const char*>;

// The command line split into pmtool's own options and the words of the command.
struct CommandLine {
  Arguments globals;  // the global options with their values
  Arguments words;    // the command's name and its arguments
};

// The global options that may also stand after the command.
bool IsAnywhereOption(const std::string& arg) {
  for (const char* name : {"install", "verbose"}) {
    if (arg == std::string("-") + name || arg == std::string("--") + name) return true;
  }
  return false;
}

// Takes the leading global options, then every --install (with its value) and --verbose up to
// "--".
CommandLine SplitCommandLine(const Arguments& args) {
  const UT_CMDOPCODES opcodes(kGlobalSpec);
  CommandLine line;
  std::size_t index = 0;
  for (; index < args.size() && args[index][0] == '-' && args[index][1] != '\0'; ++index) {
    const std::string arg = args[index];
    if (arg == "--") break;
    line.globals.push_back(args[index]);
    if (opcodes.find(arg.c_str()) == UT_CMDOPCODES::Value && index + 1 < args.size()) {
      line.globals.push_back(args[++index]);
    }
  }
  bool optionsEnded = false;
  for (; index < args.size(); ++index) {
    optionsEnded = optionsEnded || std::string(args[index]) == "--";
    if (!optionsEnded && IsAnywhereOption(args[index])) {
      line.globals.push_back(args[index]);
      const bool takesValue = opcodes.find(args[index]) == UT_CMDOPCODES::Value;
      if (takesValue && index + 1 < args.size()) line.globals.push_back(args[++index]);
    } else {
      line.words.push_back(args[index]);
    }
  }
  return line;
}

// `problem` about the word `typed`, with the closest of `choices` when one is a plausible slip.
int UnknownWord(const std::string& problem, const std::string& typed,
                const std::vector<std::string>& choices, const std::string& helpCommand) {
  std::string text = problem;
  const std::vector<std::string> closest = ClosestNames(typed, choices);
  for (std::size_t i = 0; i < closest.size(); ++i) {
    text += (i == 0 ? "; did you mean " : " or ") + Quoted(closest[i]);
  }
  return UsageError(closest.empty() ? text : text + "?", helpCommand);
}

std::vector<std::string> FamilyNames() {
  std::vector<std::string> names{"help"};
  for (const Family* family : Families()) names.emplace_back(family->name);
  return names;
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

// A family that is a single command ("check", "parts") has one command with an empty name.
const Command* SingleCommand(const Family& family) {
  const bool single = family.commands.size() == 1 && !*family.commands.front().name;
  return single ? &family.commands.front() : nullptr;
}

int UnknownFamily(const std::string& typed) {
  return UnknownWord("unknown command " + Quoted(typed), typed, FamilyNames(), "pmtool");
}

int UnknownCommand(const Family& family, const std::string& typed, const std::string& path) {
  std::vector<std::string> names;
  for (const Command& command : family.commands) names.emplace_back(command.name);
  return UnknownWord("unknown command " + Quoted(typed) + " in " + path, typed, names, path);
}

const char* const kHelpUsage =
    "Usage: pmtool help [COMMAND [SUBCOMMAND]]\n"
    "\n"
    "Shows pmtool's overview, or the help of a command (the same text as COMMAND --help).\n"
    "\n"
    "Examples:\n"
    "  pmtool help                # every command\n"
    "  pmtool help acd get        # the help of one command\n"
    "\n"
    "Exit status:\n"
    "  0  the help is shown\n"
    "  2  the command line is wrong\n";

// "pmtool help [FAMILY [COMMAND]]" and "pmtool --help ...": the help on standard output.
int ShowHelp(const Arguments& words) {
  if (words.empty()) {
    std::cout << OverviewHelp();
    return kExitOk;
  }
  if (std::string(words[0]) == "help" || UT_CMDCHK::ishelpoption(words[0])) {
    std::cout << kHelpUsage;
    return kExitOk;
  }
  const Family* family = FindFamily(words[0]);
  if (!family) return UnknownFamily(words[0]);
  const Command* command = SingleCommand(*family);
  if (!command && words.size() == 1) {
    std::cout << FamilyHelp(*family);
    return kExitOk;
  }
  const std::string path = std::string("pmtool ") + family->name;
  if (!command) command = FindCommand(*family, words[1]);
  if (!command) return UnknownCommand(*family, words[1], path);
  std::cout << CommandHelp(*command, *command->name ? path + " " + command->name : path);
  return kExitOk;
}

// A help option followed by a word that is no command of pmtool asks for an architecture's usage
// text.
bool AsksForArchitectureHelp(const Arguments& words) {
  return !words.empty() && !FindFamily(words[0]) && std::string(words[0]) != "help";
}

void PrintOverviewHelp() { std::cout << OverviewHelp(); }

// "pmtool -help ARCH": the library prints ARCH's pmtool.usg, or the installation's, or (when
// there is none) pmtool's overview. The library is handed the program name, the global options
// and the word after them, so the word follows the help option.
int ShowArchitectureHelp(const char* program, const CommandLine& line) {
  std::vector<char*> argv{const_cast<char*>(program)};
  for (const char* arg : line.globals) argv.push_back(const_cast<char*>(arg));
  argv.push_back(const_cast<char*>(line.words.front()));
  const PM_CMDARGS parsed(static_cast<int>(argv.size()), argv.data(), kGlobalSpec, nullptr,
                          PrintOverviewHelp, PM_CMDARGS_NO_COMMAND_FILES);
  return parsed.iserror() ? UsageHint("pmtool") : kExitOk;
}

// check reports a broken installation entry as a finding; every other command warns about it.
void WarnAboutBrokenEntries(const Command& command) {
  if (&command == SingleCommand(CheckFamily())) return;
  for (const BrokenEntry& broken : BrokenInstallationEntries()) {
    PrintError("warning: " + broken.entry + ": " + broken.problem);
  }
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
  WarnAboutBrokenEntries(command);
  return command.run(Invocation{command, path, parsed.getinfo()});
}

// `json`: a --json given before the command, handed to it (a command without --json rejects it).
int Dispatch(const Arguments& words, bool json) {
  const auto argumentsFrom = [&](std::size_t first) {
    Arguments args(words.begin() + static_cast<std::ptrdiff_t>(first), words.end());
    if (json) args.insert(args.begin(), "--json");
    return args;
  };
  const Family* family = FindFamily(words[0]);
  if (!family) return UnknownFamily(words[0]);
  std::string path = std::string("pmtool ") + family->name;
  if (const Command* single = SingleCommand(*family)) {
    return RunCommand(*single, path, argumentsFrom(1));
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
  if (!command) return UnknownCommand(*family, words[1], path);
  path += std::string(" ") + command->name;
  return RunCommand(*command, path, argumentsFrom(2));
}

int Main(int argc, char** argv) {
  InstallMessageHandler();
  CommandLine line = SplitCommandLine(Arguments(argv + 1, argv + argc));
  const UT_CMDARGS globals(static_cast<int>(line.globals.size()), line.globals.data(), kGlobalSpec);
  if (globals.iserror()) return UsageHint("pmtool");
  Arguments& words = line.words;
  if (globals.gaveusage() && !AsksForArchitectureHelp(words)) return ShowHelp(words);

  const std::vector<std::string> installs = globals.getinfo().getvalues("install");
  for (const std::string& install : installs) {
    if (NamesNoFolder(install)) {
      return UsageError("--install " + Quoted(install) + " names no installation folder", "pmtool");
    }
  }
  const std::string source = SelectInstallation(installs);
  if (globals.gaveusage()) return ShowArchitectureHelp(argv[0], line);
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
  // Overrides are what check looks for; elsewhere they are shown on request.
  ShowOverrideMessages(globals.getinfo().hasflag("verbose") || std::string(words[0]) == "check");
  return Dispatch(words, globals.getinfo().hasflag("json"));
}

}  // namespace
}  // namespace pmtool

int main(int argc, char** argv) {
  pmtool::ReserveStandardDescriptors();
  // A file size limit makes a write fail with EFBIG, reported like a full disk, instead of
  // ending pmtool before it can clean up.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    return pmtool::FinishOutput(pmtool::Main(argc, argv));
  } catch (const std::exception& error) {
    pmtool::PrintError(std::string("internal error: ") + error.what());
  } catch (...) {
    pmtool::PrintError("internal error");
  }
  return pmtool::kExitProblem;
}
