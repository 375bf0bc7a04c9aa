// pmtool modules, info, key and locate: the installed personality modules, one module's
// specification, its keys (friends merged) and its data files.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "choices.h"
#include "command.h"
#include "module.h"
#include "installation.h"
#include "output.h"
#include "pmlib/error.h"
#include "pmlib/installation.h"
#include "pmlib/part.h"
#include "pmlib/pmdevkey.h"
#include "pmlib/pmspec.h"

namespace pmtool {
namespace {

const char kFieldSeparator = ':';
const char kSubfieldSeparator = ',';
const long kMaxIndex = 32767;  // field indexes are shorts in the key store's interface

const OptionDoc kJson = {"json", nullptr, "print the result as JSON"};

// A decimal number within [low, high] given on the command line.
std::optional<long> ParseNumber(const std::string& text, long low, long high) {
  if (text.empty() || text.size() > 6) return std::nullopt;
  char* end = nullptr;
  const long number = UT_STR::StrToL(text.c_str(), &end, 10);
  if (*end != '\0' || number < low || number > high) return std::nullopt;
  return number;
}

std::string RangeProblem(const char* what, long low, long high, const std::string& given) {
  return std::string(what) + " is a number from " + std::to_string(low) + " to " +
         std::to_string(high) + ", not " + Quoted(given);
}

}  // namespace

// The registry learns the unsupported modules first, so that they can be named too.
std::optional<std::string> InstalledModuleName(const std::string& arch) {
  pm_specmgr.InitUnsuppPMsOnce();
  PM_SPEC lookup(nullptr, PM_BINDING_ALLOW_UNSUPPORTED);
  if (lookup.isvalidpmname(arch.c_str(), 1) || pm_specmgr.isunsupported_pm(arch.c_str())) {
    return arch;
  }
  const auto_array<char> proper = lookup.GetProperName(arch.c_str(), true);
  if (proper) return std::string(proper.get());
  return std::nullopt;
}

std::string ResolveModuleName(const std::string& arch) {
  return InstalledModuleName(arch).value_or(arch);
}

namespace {

// `make` builds the handle for an installed module's name; a module whose definition does not
// load has already been complained about by the library while it was built.
template <class Handle, class Make>
std::unique_ptr<Handle> LoadChecked(const std::string& arch, Make make) {
  std::unique_ptr<Handle> loaded;
  if (const std::optional<std::string> name = InstalledModuleName(arch)) loaded = make(*name);
  if (loaded && loaded->get_defdata()) return loaded;
  PrintError("no usable personality module " + Quoted(arch));
  PrintChoices(ModuleChoices(arch));
  return nullptr;
}

}  // namespace

std::unique_ptr<PM_SPEC> LoadModule(const std::string& arch) {
  return LoadChecked<PM_SPEC>(arch, [](const std::string& name) {
    return std::make_unique<PM_SPEC>(name.c_str(), PM_BINDING_ALLOW_UNSUPPORTED);
  });
}

// A module that does not load makes no part: the library has said why.
std::unique_ptr<PM_PIC> LoadPart(const std::string& arch) {
  return LoadChecked<PM_PIC>(arch, [](const std::string& name) -> std::unique_ptr<PM_PIC> {
    try {
      return std::make_unique<PM_PIC>(pmlib::Part::fromLevels(name, std::nullopt).handle());
    } catch (const pmlib::Error&) {
      return nullptr;
    }
  });
}

namespace {

std::vector<std::string> Friends(const PM_SPEC& spec) {
  std::vector<std::string> friends;
  for (int i = 0; i < spec.get_num_friends(); ++i) friends.push_back(spec.get_pm_friend(i));
  return friends;
}

// ---------------------------------------------------------------------------------------------
// modules

// An installed module's name and its alias (empty when it has none).
struct ListedModule {
  std::string name;
  std::string alias;
};

std::vector<ListedModule> InstalledModules(const UT_ARGINFO& args) {
  PM_SPEC lister(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  lister.make_list(args.getvalue("key"), args.getvalue("value"), args.hasflag("base") ? 1 : 0);
  std::vector<ListedModule> modules;
  auto alias = lister.begin(true);
  for (auto name = lister.begin(false); name != lister.end(false); ++name, ++alias) {
    const std::string aliasText = *alias;
    modules.push_back({*name, aliasText == *name ? std::string() : aliasText});
  }
  return modules;
}

void PrintInstalledModules(const std::vector<ListedModule>& modules, bool aliases, bool json) {
  if (json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const ListedModule& module : modules) {
      if (!aliases) {
        list.push_back(module.name);
        continue;
      }
      list.push_back({{"name", module.name},
                      {"alias", module.alias.empty() ? nlohmann::ordered_json()
                                                     : nlohmann::ordered_json(module.alias)}});
    }
    PrintJson({{"modules", list}});
    return;
  }
  Table table;
  for (const ListedModule& module : modules) {
    table.add(aliases && !module.alias.empty() ? std::vector<std::string>{module.name, module.alias}
                                               : std::vector<std::string>{module.name});
  }
  std::cout << table.str();
}

int RunModules(const Invocation& invocation) {
  const UT_ARGINFO& args = invocation.args;
  if (args.getvalue("value") && !args.getvalue("key")) {
    return UsageError("--value needs --key", invocation.path);
  }
  if (args.hasflag("unsupported")) {
    const std::vector<std::string> modules = pmlib::unsupportedModules();
    if (invocation.json()) {
      PrintJson({{"unsupported", modules}});
    } else {
      PrintLines(modules);
    }
    return kExitOk;
  }
  PrintInstalledModules(InstalledModules(args), args.hasflag("aliases"), invocation.json());
  return kExitOk;
}

// ---------------------------------------------------------------------------------------------
// info

int RunInfo(const Invocation& invocation) {
  const std::unique_ptr<PM_SPEC> spec = LoadModule(invocation.positional(0));
  if (!spec) return kExitProblem;
  const std::string name = spec->get_pm();
  const std::string alias = spec->GetName().get();
  const std::vector<std::string> friends = Friends(*spec);
  const std::string definition = spec->get_defdata()->getlocation();
  const bool unsupported = spec->isunsupported() != 0;
  if (invocation.json()) {
    nlohmann::ordered_json result = {{"name", name}};
    result["alias"] = alias == name ? nlohmann::ordered_json() : nlohmann::ordered_json(alias);
    result["unsupported"] = unsupported;
    result["friends"] = friends;
    result["definition"] = definition;
    PrintJson(result);
    return kExitOk;
  }
  std::string chain;
  for (const std::string& friendName : friends) chain += (chain.empty() ? "" : " -> ") + friendName;
  Table table;
  table.add({"name:", name});
  table.add({"alias:", alias == name ? "(none)" : alias});
  table.add({"unsupported:", unsupported ? "yes" : "no"});
  table.add({"friends:", chain.empty() ? "(none)" : chain});
  table.add({"definition:", definition});
  std::cout << table.str() << '\n' << std::flush;
  spec->printme(nullptr);
  return kExitOk;
}

// ---------------------------------------------------------------------------------------------
// key

int RunKey(const Invocation& invocation) {
  const std::string& key = invocation.positional(1);
  std::optional<long> field;
  std::optional<long> subfield;
  for (std::size_t i = 2; i < invocation.npositionals(); ++i) {
    const std::optional<long> index = ParseNumber(invocation.positional(i), 0, kMaxIndex);
    if (!index) {
      return UsageError(RangeProblem("an index", 0, kMaxIndex, invocation.positional(i)),
                        invocation.path);
    }
    (i == 2 ? field : subfield) = index;
  }
  const std::unique_ptr<PM_SPEC> spec = LoadModule(invocation.positional(0));
  if (!spec) return kExitProblem;

  const char* const file = invocation.args.getvalue("file");
  std::unique_ptr<PM_DEVKEY> fileStore;
  if (file) fileStore = std::make_unique<PM_DEVKEY>(file, spec.get(), 1, 1, 1);
  const PM_DEVKEY& store = file ? *fileStore : *spec->get_defdata();
  if (!store.get_validity()) {
    PrintError("no copy of " + Quoted(file) + " for " + spec->get_pm() + " or its friends");
    return kExitProblem;
  }
  const Port::String value = store.GetStringByKey(
      key.c_str(), field ? kFieldSeparator : 0, static_cast<short>(field.value_or(0)),
      subfield ? kSubfieldSeparator : 0, static_cast<short>(subfield.value_or(0)));
  if (value.empty()) {
    PrintError(store.getlocation() + std::string(": no value for ") + Quoted(key) +
               (field ? " at field " + std::to_string(*field) : "") +
               (subfield ? " subfield " + std::to_string(*subfield) : ""));
    return kExitProblem;
  }
  if (invocation.json()) {
    nlohmann::ordered_json result = {{"arch", spec->get_pm()}, {"key", key}};
    if (field) result["field"] = *field;
    if (subfield) result["subfield"] = *subfield;
    result["value"] = value.str();
    PrintJson(result);
  } else {
    PrintLine(value.str());
  }
  return kExitOk;
}

// ---------------------------------------------------------------------------------------------
// locate

// What locate looks for, and which of its options apply.
struct LocateKind {
  const char* flag;  // null for a data file, the default
  const char* what;  // for messages
  bool takesLevel;
  bool takesIndex;
  bool takesSearch;
};

const std::vector<LocateKind>& LocateKinds() {
  static const std::vector<LocateKind> kinds = {{nullptr, "data file", true, true, true},
                                                {"help-file", "help file", true, true, true},
                                                {"exec", "executable", true, false, true},
                                                {"dll", "shared library", false, false, false},
                                                {"all", "data file", false, false, false}};
  return kinds;
}

// The kind chosen on the command line, or null after a usage error.
const LocateKind* ChosenKind(const Invocation& invocation) {
  const UT_ARGINFO& args = invocation.args;
  const LocateKind* chosen = &LocateKinds().front();
  for (const LocateKind& kind : LocateKinds()) {
    if (!kind.flag || !args.hasflag(kind.flag)) continue;
    if (chosen->flag) {
      UsageError("--help-file, --exec, --dll and --all exclude each other", invocation.path);
      return nullptr;
    }
    chosen = &kind;
  }
  const auto refuse = [&](const char* option) {
    UsageError(std::string("--") + option + " does not apply to --" + chosen->flag,
               invocation.path);
    return nullptr;
  };
  if (args.getvalue("level") && !chosen->takesLevel) return refuse("level");
  if (args.getvalue("index") && !chosen->takesIndex) return refuse("index");
  if (args.hasflag("no-search") && !chosen->takesSearch) return refuse("no-search");
  return chosen;
}

std::string Text(const char* path) { return path ? path : ""; }

// The path of `name` of the kind asked for; empty when there is none.
std::string Located(const LocateKind& kind, const PM_SPEC& spec, char level,
                    const std::string& name, bool search, int index) {
  const std::string flag = kind.flag ? kind.flag : "";
  const unsigned char searchFlag = search ? 1 : 0;
  if (flag == "help-file")
    return Text(spec.gethelpfilename(level, name.c_str(), searchFlag, index));
  if (flag == "exec") return Text(spec.getexecfilename(level, name.c_str(), searchFlag));
  if (flag == "dll") return Text(spec.getdllfilename(name.c_str()));
  return spec.GetDatafileName(level, name.c_str(), search, index).str();
}

int ReportAllCopies(const Invocation& invocation, PM_SPEC& spec, const std::string& name) {
  const std::unique_ptr<std::vector<Port::String>> copies = spec.getdatafiles(name.c_str());
  std::vector<std::string> paths;
  for (const Port::String& path : *copies) paths.push_back(path.str());
  if (invocation.json()) {
    PrintJson({{"arch", spec.get_pm()}, {"name", name}, {"paths", paths}});
  } else {
    PrintLines(paths);
  }
  if (!paths.empty()) return kExitOk;
  PrintError(Quoted(name) + " not found for " + spec.get_pm());
  return kExitProblem;
}

int RunLocate(const Invocation& invocation) {
  const UT_ARGINFO& args = invocation.args;
  const LocateKind* kind = ChosenKind(invocation);
  if (!kind) return kExitUsage;
  long level = 1;
  long index = -1;
  if (const char* given = args.getvalue("level")) {
    const std::optional<long> number = ParseNumber(given, 0, 4);
    if (!number) return UsageError(RangeProblem("--level", 0, 4, given), invocation.path);
    level = *number;
  }
  if (const char* given = args.getvalue("index")) {
    const std::optional<long> number = ParseNumber(given, -2, kMaxIndex);
    if (!number) return UsageError(RangeProblem("--index", -2, kMaxIndex, given), invocation.path);
    index = *number;
  }
  const std::string& name = invocation.positional(1);
  const std::unique_ptr<PM_SPEC> spec = LoadModule(invocation.positional(0));
  if (!spec) return kExitProblem;
  if (args.hasflag("all")) return ReportAllCopies(invocation, *spec, name);

  const std::string path = Located(*kind, *spec, static_cast<char>(level), name,
                                   !args.hasflag("no-search"), static_cast<int>(index));
  if (invocation.json()) {
    PrintJson({{"arch", spec->get_pm()},
               {"name", name},
               {"path", path.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(path)}});
  } else if (!path.empty()) {
    PrintLine(path);
  }
  if (!path.empty()) return kExitOk;
  const std::string what = kind->flag ? std::string(kind->what) + " " : std::string();
  PrintError(what + Quoted(name) + " not found for " + spec->get_pm());
  return kExitProblem;
}

// ---------------------------------------------------------------------------------------------
// The families

Family MakeModulesFamily() {
  Command modules{
      "",
      "",
      "list the installed personality modules",
      {{"base", nullptr, "also list modules whose BASE_MODE is TRUE"},
       {"key", "KEY", "only modules whose own definition file has KEY"},
       {"value", "VALUE", "with --key: only those whose KEY is VALUE (ignoring case)"},
       {"aliases", nullptr, "show each module's alias beside its name"},
       {"unsupported", nullptr, "list the unsupported modules (under data/unsupported/) instead"},
       kJson},
      "Lists the personality modules of the installation, once each, in byte order of their\n"
      "names (upper-case letters first). A module is a folder of an installation directory\n"
      "whose definition <name>/data/<name>.acd has BASE_MODE FALSE (or TRUE, with --base).\n"
      "\n"
      "--key and --value read each module's own definition file only: a key a module takes\n"
      "from its friends (as `pmtool key` shows it) does not count here.\n"
      "\n"
      "With --json: {\"modules\": [NAME, ...]}, with --aliases {\"modules\": [{\"name\",\n"
      "\"alias\"}, ...]} (alias null when there is none), or {\"unsupported\": [NAME, ...]}.\n",
      "  pmtool modules                       # alpha beta ...\n"
      "  pmtool modules --base --aliases\n"
      "  pmtool modules --key ARCH_TYPE --value cpld\n"
      "  pmtool modules --unsupported\n",
      "  0  the list was printed (it may be empty)\n",
      0,
      0,
      RunModules};
  return Family{"modules", "The installed personality modules.", {std::move(modules)}};
}

Family MakeInfoFamily() {
  Command info{
      "",
      "ARCH",
      "show a module: name, alias, friend chain, definition file",
      {kJson},
      "Loads the personality module ARCH (a name or an alias; unsupported modules too) and\n"
      "shows its name, its alias, whether it is unsupported, its friend chain (nearest first),\n"
      "the definition file used, and then the module's own dump.\n"
      "\n"
      "With --json: {\"name\", \"alias\" (null when none), \"unsupported\", \"friends\",\n"
      "\"definition\"}.\n",
      "  pmtool info alpha\n"
      "  pmtool info --json alpha\n",
      "  0  the module was shown\n"
      "  1  ARCH is not installed or its definition is unusable\n",
      1,
      1,
      RunInfo};
  return Family{"info", "One personality module.", {std::move(info)}};
}

Family MakeKeyFamily() {
  Command key{
      "",
      "ARCH KEY [FIELD [SUBFIELD]]",
      "print a key of a module, with its friends' keys merged",
      {{"file", "NAME", "read definition-format file NAME of the module and its friends instead"},
       kJson},
      "Prints the value of KEY for the personality module ARCH: the module's definition merged\n"
      "with its friend chain (a key the module lacks is taken from the nearest friend that has\n"
      "it). With FIELD, only that \":\"-separated field (from 0); with SUBFIELD too, only that\n"
      "\",\"-separated subfield of the field.\n"
      "\n"
      "With --file NAME, the file NAME (\".acd\" added when it has no extension) is read from\n"
      "every friend's data folder and then from the module's own, the module's own values\n"
      "winning.\n"
      "\n"
      "With --json: {\"arch\", \"key\", \"field\", \"subfield\", \"value\"}, FIELD and SUBFIELD\n"
      "only when given.\n",
      "  pmtool key alpha ARCH_TYPE                  # FPGA\n"
      "  pmtool key alpha DEVICE_INTERNAL 1 0        # xcab40e\n"
      "  pmtool key --file libarch alpha DEPEND\n",
      "  0  the value was printed\n"
      "  1  ARCH is not usable, the file is not there, or KEY, FIELD or SUBFIELD has no value\n",
      2,
      4,
      RunKey};
  return Family{"key", "Keys of a personality module.", {std::move(key)}};
}

Family MakeLocateFamily() {
  Command locate{
      "",
      "ARCH NAME",
      "find a data, help, executable or library file of a module",
      {{"level", "N", "0: the installation's common folder; 1 (default): the module's"},
       {"index", "I",
        "-1 (default): the module with fallbacks; -2: the module only; 0..: friend I"},
       {"no-search", nullptr, "answer an unchecked path (data: first directory; else the last)"},
       {"help-file", nullptr, "find help file NAME (help/<platform>/<language>/)"},
       {"exec", nullptr, "find executable NAME (\".exe\" appended; bin/<platform>/)"},
       {"dll", nullptr, "find shared library NAME (lib/<platform>/lib<NAME>.so)"},
       {"all", nullptr, "list every copy of data file NAME: the module's, each friend's, common"},
       kJson},
      "Finds the data file NAME of the personality module ARCH in the installation. A NAME\n"
      "starting with \".\" is completed by the module's name (\".nph\" is <arch>.nph). The\n"
      "module's data folder is searched in every installation directory first; then, with the\n"
      "default index, the bare NAME there, each friend's data folder and the common data/\n"
      "folder. A file found in a directory other than the last (the base installation) is\n"
      "reported as an override on standard error. NAME may reach into a sub-folder\n"
      "(\"sub/notes.txt\") but never above the folder searched: a NAME with a \"..\" part finds\n"
      "nothing.\n"
      "\n"
      "--help-file looks in the module's help/<platform>/<language>/ folder, then each friend's\n"
      "help/ folder, the module's usenglish/ copy and the common help/ folder. --exec looks in\n"
      "the module's, each friend's and the common bin/<platform>/ folder; --dll likewise in the\n"
      "lib/<platform>/ folders, a \"*\" in NAME standing for a version MAJOR.MINOR in the base\n"
      "installation. The platform is KORVAN_PLATFORM (default lin64), the language KORVAN_LANG\n"
      "(default usenglish); a value other than letters, digits, \"_\" and \"-\" counts as unset.\n"
      "--level applies to data, help and executables, --index to data and help files.\n"
      "\n"
      "With --json: {\"arch\", \"name\", \"path\"} (path null when not found); with --all\n"
      "{\"arch\", \"name\", \"paths\": [...]}.\n",
      "  pmtool locate alpha .acd\n"
      "  pmtool locate --level 0 alpha patternfile\n"
      "  pmtool locate --index -2 alpha .nph\n"
      "  pmtool locate --help-file alpha .hlp      # alpha's help in the current language\n"
      "  pmtool locate --dll gamma arch           # found in the friend alpha's lib folder\n"
      "  pmtool locate --all gamma libarch.acd    # gamma's copy, then alpha's\n",
      "  0  the path (or with --all at least one path) was printed\n"
      "  1  ARCH is not usable or NAME was not found\n",
      2,
      2,
      RunLocate};
  return Family{"locate", "Files of a personality module.", {std::move(locate)}};
}

}  // namespace

const Family& ModulesFamily() {
  static const Family family = MakeModulesFamily();
  return family;
}

const Family& InfoFamily() {
  static const Family family = MakeInfoFamily();
  return family;
}

const Family& KeyFamily() {
  static const Family family = MakeKeyFamily();
  return family;
}

const Family& LocateFamily() {
  static const Family family = MakeLocateFamily();
  return family;
}

}  // namespace pmtool
