// pmtool parts, archs and check-part: what may come next at each level of a part, the installed
// architectures, and whether a part's levels are valid, completed with defaults.
#include <algorithm>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "checker.h"
#include "choices.h"
#include "command.h"
#include "module.h"
#include "output.h"
#include "partwalk.h"
#include "pmlib/installation.h"
#include "pmlib/pmpic.h"

namespace pmtool {
namespace {

const OptionDoc kJson = {"json", nullptr, "print the result as JSON"};

// Sets the levels given after the architecture, each one tested first. Returns the index (1 to 3)
// of the first level that is not valid, or 0 when all are.
std::size_t SetLevels(PM_PIC& part, const Names& levels) {
  for (std::size_t i = 0; i < levels.size(); ++i) {
    const char* name = levels[i].c_str();
    switch (i) {
      case 0:
        if (!part.isvaliddevicename(name, 1)) return 1;
        part.set_device(name);
        break;
      case 1:
        if (!part.isvalidpackagename(name, 1)) return 2;
        part.set_package(name);
        break;
      default:
        if (!part.isvalidspeedname(name, 1)) return 3;
        part.set_speed(name);
    }
  }
  return 0;
}

Names GivenLevels(const Invocation& invocation) {
  Names levels;
  for (std::size_t i = 1; i < invocation.npositionals(); ++i) {
    levels.push_back(invocation.positional(i));
  }
  return levels;
}

// The choices at the first level that failed, `failed` (1 to 3) being SetLevels' answer.
LevelChoices ChoicesAtFailure(const PM_PIC& part, const Names& levels, std::size_t failed) {
  return PartLevelChoices(part.get_arch(), Names(levels.begin(), levels.begin() + failed - 1),
                          levels[failed - 1]);
}

using PartNameSink = std::function<void(const std::string&)>;

// ---------------------------------------------------------------------------------------------
// parts

// The architecture and the levels given, as the JSON result of parts starts.
nlohmann::ordered_json GivenLevelsJson(const PM_PIC& part, const Names& levels) {
  nlohmann::ordered_json result = {{"arch", part.get_arch()}};
  for (std::size_t i = 0; i < levels.size(); ++i) result[kPartLevels[i + 1]] = levels[i];
  return result;
}

// Says that the level `failed` (1 to 3) is not valid, and what it could have been.
void PrintInvalidLevel(const PM_PIC& part, const Names& levels, std::size_t failed,
                       const LevelChoices& choices) {
  PrintError(Quoted(levels[failed - 1]) + " is no " + kPartLevels[failed] + " of " +
             part.get_arch() + (failed > 1 ? " " + levels[0] : ""));
  PrintChoices(choices);
}

int ReportInvalidLevel(const Invocation& invocation, const PM_PIC& part, const Names& levels,
                       std::size_t failed) {
  const LevelChoices choices = ChoicesAtFailure(part, levels, failed);
  PrintInvalidLevel(part, levels, failed, choices);
  if (invocation.json()) {
    nlohmann::ordered_json result = GivenLevelsJson(part, levels);
    result["fails_at"] = kPartLevels[failed];
    AddChoices(result, choices);
    PrintJson(result);
  }
  return kExitProblem;
}

int RunParts(const Invocation& invocation) {
  const std::unique_ptr<PM_PIC> part = LoadPart(invocation.positional(0));
  if (!part) return kExitProblem;
  const Names levels = GivenLevels(invocation);
  if (const std::size_t failed = SetLevels(*part, levels)) {
    return ReportInvalidLevel(invocation, *part, levels, failed);
  }
  const bool all = invocation.args.hasflag("all");
  const auto produce = [&](const PartNameSink& sink) {
    if (all) {
      ForEachPartName(*part, [&sink](const PM_PIC&, const std::string& name) { sink(name); });
    } else {
      for (const std::string& name : CurrentList(*part)) sink(name);
    }
  };
  if (invocation.json()) {
    nlohmann::ordered_json head = GivenLevelsJson(*part, levels);
    head["list"] = all ? "parts" : std::string(kPartLevels[levels.size() + 1]) + "s";
    JsonArrayStream names(head, "names");
    produce([&names](const std::string& name) { names.add(name); });
  } else {
    produce([](const std::string& name) {
      PrintLine(name);
      StopIfOutputFailed();
    });
  }
  return kExitOk;
}

// ---------------------------------------------------------------------------------------------
// archs

int RunArchs(const Invocation& invocation) {
  const UT_ARGINFO& args = invocation.args;
  const bool logical = args.hasflag("logical");
  const bool physical = args.hasflag("physical");
  if (logical && physical) {
    return UsageError("--logical and --physical exclude each other", invocation.path);
  }
  pmlib::ArchitectureQuery query;
  if (logical || physical) query.key = logical ? "LOGICAL" : "PHYSICAL";
  query.withBaseMode = args.hasflag("base");
  query.withConfiguration = args.hasflag("config");
  const Names archs = pmlib::architectures(query);
  if (invocation.json()) {
    PrintJson({{"archs", archs}});
  } else {
    PrintLines(archs);
  }
  return kExitOk;
}

// ---------------------------------------------------------------------------------------------
// check-part

struct LevelCheck {
  std::string level;
  std::string name;
  bool valid;
};

// What check-part found: each level checked, the first that fails and what it could have been.
struct PartCheck {
  Names given;
  std::size_t failed = 0;  // SetLevels' answer
  std::vector<LevelCheck> levels;
  std::string failsAt;   // empty when every level is valid
  LevelChoices choices;  // at the failing level below the architecture
};

PartCheck CheckLevels(PM_PIC& part, const Names& levels) {
  PartCheck check;
  check.given = levels;
  check.failed = SetLevels(part, levels);
  check.levels.push_back({kPartLevels[0], part.get_arch(), part.IsValid()});
  for (std::size_t i = 0; i < levels.size(); ++i) {
    if (check.failed && i + 1 > check.failed) break;
    check.levels.push_back({kPartLevels[i + 1], levels[i], check.failed != i + 1});
  }
  if (!check.levels.front().valid) {
    check.failsAt = kPartLevels[0];
  } else if (check.failed) {
    check.failsAt = kPartLevels[check.failed];
    check.choices = ChoicesAtFailure(part, levels, check.failed);
  }
  return check;
}

void ReportFailure(const PM_PIC& part, const PartCheck& check) {
  if (check.failsAt == kPartLevels[0]) {
    PrintError(Quoted(part.get_arch()) +
               " is not installed as a physical architecture with device data");
    return;
  }
  PrintInvalidLevel(part, check.given, check.failed, check.choices);
}

nlohmann::ordered_json NameOrNull(const char* value) {
  return value ? nlohmann::ordered_json(value) : nlohmann::ordered_json();
}

void PrintCheckJson(const PM_PIC& part, const PartCheck& check, const char* completedName) {
  nlohmann::ordered_json result = {{"arch", part.get_arch()}};
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const LevelCheck& level : check.levels) {
    list.push_back({{"level", level.level}, {"name", level.name}, {"valid", level.valid}});
  }
  result["levels"] = list;
  result["fails_at"] =
      check.failsAt.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(check.failsAt);
  AddChoices(result, check.choices);
  result["completed"] = {{"device", NameOrNull(part.get_device())},
                         {"package", NameOrNull(part.get_package())},
                         {"speed", NameOrNull(part.get_speed())},
                         {"partname", NameOrNull(completedName)}};
  PrintJson(result);
}

// Completion stops at the first level that has nothing to choose from.
const char* IncompleteLevel(const PM_PIC& part) {
  return kPartLevels[std::min(static_cast<int>(part.get_depth()), 3)];
}

void PrintCheckText(const PM_PIC& part, const PartCheck& check, const char* completedName) {
  Table levelTable;
  for (const LevelCheck& level : check.levels) {
    levelTable.add({level.level + ":", level.name, level.valid ? "valid" : "not valid"});
  }
  Table outcome;
  outcome.add({"fails at:", check.failsAt.empty() ? "(none)" : check.failsAt});
  const std::string incomplete =
      std::string("(cannot be completed: no ") + IncompleteLevel(part) + " to choose)";
  outcome.add({"completed:", completedName ? completedName : incomplete});
  std::cout << levelTable.str() << outcome.str();
}

// Completes the part with defaults. One that cannot be completed is shown with the level that
// stopped it; the library's error about the missing default would only say it twice.
bool CompleteQuietly(PM_PIC& part) {
  const LibraryMessages quiet;
  return part.fill_defaults();
}

int RunCheckPart(const Invocation& invocation) {
  const std::unique_ptr<PM_PIC> part = LoadPart(invocation.positional(0));
  if (!part) return kExitProblem;
  const PartCheck check = CheckLevels(*part, GivenLevels(invocation));
  const bool completed = CompleteQuietly(*part);
  const std::unique_ptr<char[]> completedName(completed ? part->get_partname() : nullptr);
  if (invocation.json()) {
    PrintCheckJson(*part, check, completedName.get());
  } else {
    PrintCheckText(*part, check, completedName.get());
  }
  if (!check.failsAt.empty()) {
    ReportFailure(*part, check);
    return kExitProblem;
  }
  if (!completed) {
    PrintError(std::string("the part cannot be completed: no ") + IncompleteLevel(*part) +
               " to choose");
    return kExitProblem;
  }
  return kExitOk;
}

Family MakePartsFamily() {
  Command parts{
      "",
      "ARCH [DEVICE [PACKAGE]]",
      "list the devices, packages or speeds that may come next in a part",
      {kJson, {"all", nullptr, "list every valid full part name instead"}},
      "Lists what may come next in a part of the personality module ARCH (a name or an alias):\n"
      "its devices, the packages of DEVICE, or the speed grades of DEVICE in PACKAGE (those the\n"
      "definition's DISALLOW_SPEEDS names left out), one a line in list order. DEVICE may be any\n"
      "name of a device (external or internal, any letter case); each given level must be valid.\n"
      "\n"
      "The lists follow the architecture type: an FPGA device needs its device file (.nph) and\n"
      "package file (.pkg), a CPLD device its package file, a configuration memory only its\n"
      "entry in DEVICE_INTERNAL. Package files are also taken from the friend chain; speed\n"
      "files (.spd) only from the module itself.\n"
      "\n"
      "With --all: every valid full part name (device, package and speed run together, as\n"
      "parts are named) from the given levels down, one a line, each printed as it is made.\n"
      "\n"
      "A given level that is not valid is reported with the valid choices at that level and the\n"
      "closest of them to what was given (\"did you mean tq144?\").\n"
      "\n"
      "With --json: {\"arch\", \"device\", \"package\" (the given levels), \"list\" (\"devices\",\n"
      "\"packages\", \"speeds\" or \"parts\"), \"names\"}, streamed as the names are made; for\n"
      "a level that is not valid {\"arch\", the given levels, \"fails_at\", \"choices\",\n"
      "\"suggestions\"}.\n",
      "  pmtool parts alpha                  # xcab12e, xcab40e\n"
      "  pmtool parts beta xcbe10            # its packages, from the friend alpha\n"
      "  pmtool parts alpha xcab40e pq208    # -4 (-5 is disallowed)\n"
      "  pmtool parts --all alpha\n",
      "  0  the list is shown (it may be empty)\n"
      "  1  ARCH is not usable, or a given level is not valid\n",
      1,
      3,
      RunParts};
  return Family{"parts", "Devices, packages and speeds of an architecture.", {std::move(parts)}};
}

Family MakeArchsFamily() {
  Command archs{
      "",
      "",
      "list the installed architectures as VENDOR:FAMILY",
      {kJson,
       {"base", nullptr, "include base architectures (BASE_MODE TRUE)"},
       {"config", nullptr, "include configuration-memory architectures (ARCH_TYPE CONFIG)"},
       {"logical", nullptr, "only architectures whose SUPPORT_MODE is LOGICAL"},
       {"physical", nullptr, "only architectures whose SUPPORT_MODE is PHYSICAL"}},
      "Lists the architectures installed as physical architectures with device data, as the\n"
      "architecture list of an empty part has them: VENDOR, then \":\" and FAMILY when the\n"
      "definition has a FAMILY, sorted ignoring case, each once. A module under more than one\n"
      "installation root is taken from the first (an override message names it).\n"
      "\n"
      "Base and configuration-memory architectures are left out unless asked for. Every\n"
      "listed architecture must have device data, which only a PHYSICAL one can have, so\n"
      "--logical lists nothing.\n"
      "\n"
      "With --json: {\"archs\": [...]}.\n",
      "  pmtool archs\n"
      "  pmtool archs --config --base\n",
      "  0  the list is shown (it may be empty)\n",
      0,
      0,
      RunArchs};
  return Family{"archs", "Installed architectures.", {std::move(archs)}};
}

Family MakeCheckPartFamily() {
  Command check{
      "",
      "ARCH DEVICE [PACKAGE [SPEED]]",
      "check each level of a part and complete it with defaults",
      {kJson},
      "Checks the part of the personality module ARCH given by DEVICE, PACKAGE and SPEED level\n"
      "by level: the architecture (installed as a physical architecture with device data), then\n"
      "each given level against what the architecture lists for the level above. Checking stops\n"
      "at the first level that is not valid.\n"
      "\n"
      "The valid levels are then completed with defaults, the first device, package and speed\n"
      "of their lists, and the completed part name is shown.\n"
      "\n"
      "A level that is not valid is reported on standard error with the valid choices at that\n"
      "level and the closest of them to what was given (\"did you mean tq144?\").\n"
      "\n"
      "With --json: {\"arch\", \"levels\": [{\"level\", \"name\", \"valid\"}], \"fails_at\",\n"
      "\"choices\", \"suggestions\", \"completed\": {\"device\", \"package\", \"speed\",\n"
      "\"partname\"}}; absent values are null, choices and suggestions empty when no level below\n"
      "the architecture fails.\n",
      "  pmtool check-part alpha xcab12e tq144 -3\n"
      "  pmtool check-part alpha xcab40e pq208 -5   # fails at speed: -5 is disallowed\n"
      "  pmtool check-part prom xcpr01               # cannot be completed: no package listed\n",
      "  0  every given level is valid and the part is completed\n"
      "  1  ARCH is not usable, some level is not valid, or the part cannot be completed\n",
      2,
      4,
      RunCheckPart};
  return Family{"check-part", "Validity of a part.", {std::move(check)}};
}

}  // namespace

const Family& PartsFamily() {
  static const Family family = MakePartsFamily();
  return family;
}

const Family& ArchsFamily() {
  static const Family family = MakeArchsFamily();
  return family;
}

const Family& CheckPartFamily() {
  static const Family family = MakeCheckPartFamily();
  return family;
}

}  // namespace pmtool
