// pmtool's command table: every subcommand is a Command within a family ("seg write" is the command
// "write" of the family "seg"). Each family is made in a cmd_*.cpp file (related families share
// one: cmd_arch.cpp makes modules, info, key and locate) and listed in Families().
#ifndef PMTOOL_COMMAND_H
#define PMTOOL_COMMAND_H

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "pmport/ut_cmdargs.h"

namespace pmtool {

// Exit statuses of every command.
enum ExitStatus : int {
  kExitOk = 0,       // done; the result is on standard output
  kExitProblem = 1,  // the command ran but found a problem: an unreadable or malformed file, a
                     // missing key
  kExitUsage = 2,    // the command line was wrong
};

// An option of a command, as its help shows it and its option specification declares it.
struct OptionDoc {
  const char* name;   // without dashes: "json"
  const char* value;  // the value's placeholder ("DIR"), or null for a flag
  const char* text;   // one line of explanation
};

struct Command;

// One run of a command: what it was called as and the checked arguments.
struct Invocation {
  const Command& command;
  std::string path;  // "pmtool seg write", for messages
  const UT_ARGINFO& args;

  bool json() const { return args.hasflag("json"); }
  const std::string& positional(std::size_t index) const { return args.positionals.at(index); }
  std::size_t npositionals() const { return args.positionals.size(); }
};

inline constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();

struct Command {
  const char* name;      // "write"; empty for a family that is a single command
  const char* synopsis;  // the positional arguments: "FILE NAME[:TYPE]..."
  const char* summary;   // one line, for the overview
  std::vector<OptionDoc> options;
  const char* description;  // what it does, in paragraphs ending with "\n"
  const char* examples;     // lines "  pmtool ...  # what it shows" ending with "\n"
  const char* exitStatus;   // what 0 and 1 mean for this command, ending with "\n"
  std::size_t minPositionals;
  std::size_t maxPositionals;
  int (*run)(const Invocation& invocation);
};

struct Family {
  const char* name;     // "seg"
  const char* summary;  // one line, for the overview
  std::vector<Command> commands;
};

// The families, each made by its cmd_*.cpp file.
const Family& ModulesFamily();
const Family& InfoFamily();
const Family& KeyFamily();
const Family& LocateFamily();
const Family& DeviceFamily();
const Family& PartFamily();
const Family& PartsFamily();
const Family& ArchsFamily();
const Family& CheckPartFamily();
const Family& VentryFamily();
const Family& AcdFamily();
const Family& SegFamily();
const Family& SpeedsFileFamily();
const Family& CheckFamily();
const Family& PackagesFileFamily();
// Every family, in the order the overview lists them.
const std::vector<const Family*>& Families();

// The option specification of a command for UT_CMDARGS: "pmtool -json -out=".
std::string OptionSpec(const Command& command);
// The usage line of a command invoked as `path`: "pmtool seg write FILE NAME[:TYPE]...".
std::string CommandUsage(const Command& command, const std::string& path);
// The full --help text of a command invoked as `path` ("pmtool seg write").
std::string CommandHelp(const Command& command, const std::string& path);
// The help of a family: its commands with their summaries.
std::string FamilyHelp(const Family& family);
// The overview: every family and command, the global options, exit statuses, environment.
std::string OverviewHelp();

}  // namespace pmtool

#endif  // PMTOOL_COMMAND_H
