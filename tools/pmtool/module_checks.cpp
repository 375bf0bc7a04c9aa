// pmtool check, one module at a time: its definition is read as the library reads it, its friend
// chain walked, its formats compiled, its devices, data files and virtual entries looked up
// through the library. Whatever the library says meanwhile becomes a finding too.
#include "module_checks.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>

#include "definition_checks.h"
#include "output.h"
#include "pmlib/datafile.h"
#include "pmlib/error.h"
#include "pmlib/installation.h"
#include "pmlib/module.h"
#include "pmport/port_env.h"
#include "pmport/port_file.h"
#include "pmport/port_path.h"
#include "pmport/port_regexp.h"

namespace pmtool {

using Names = std::vector<std::string>;

namespace {

const char kKeyArchFriend[] = "ARCH_FRIEND";
const char kKeyDeviceInternal[] = "DEVICE_INTERNAL";
const char kKeyTestDeviceInternal[] = "TEST_DEVICE_INTERNAL";
const char kKeyDisallowSpeeds[] = "DISALLOW_SPEEDS";
const char kVentryPrefix[] = "VENTRY_";

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return Port::stricmp(a.c_str(), b.c_str()) == 0;
}

// Names compared ignoring case, as the library compares devices and speed grades: lower-cased.
using NameSet = std::set<std::string>;

NameSet LoweredNames(const Names& names) {
  NameSet lowered;
  for (const std::string& name : names) lowered.insert(Lowered(name));
  return lowered;
}

std::string Joined(const Names& names, const std::string& separator) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : separator) + name;
  return text;
}

// Why a name read from a definition names nothing.
std::string NoNameProblem(const std::string& name, const char* what) {
  return Quoted(name) + " is no " + what +
         " name (empty, \".\", \"..\", or holds \"/\"): it would lead out of the installation, "
         "so the library ignores it";
}

// Where a module's definition would be in the first installation folder.
std::string ExpectedDefinition(const std::string& name) {
  if (!Port::IsPlainName(name)) return std::string();
  const Names roots = pmlib::installation();
  return (roots.empty() ? "." : roots.front()) + "/" + name + "/data/" + name + ".acd";
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Definitions as the library's reader reads them, each file once

const StaticAcdRead& Definitions::Read(const std::string& path) {
  auto found = readers_.find(path);
  if (found == readers_.end()) {
    found =
        readers_.emplace(path, std::make_unique<StaticAcdRead>(path.c_str(), "", nullptr, 1, 0, 0))
            .first;
  }
  return *found->second;
}

std::string Value(const StaticAcdRead& reader, const std::string& key) {
  return reader.GetStringByKey(key.c_str(), nullptr, 0, nullptr, 0).str();
}

namespace {

bool Has(const StaticAcdRead& reader, const std::string& key) {
  return reader.getkeyeddata(key.c_str()) != nullptr;
}

// One definition of a friend chain.
struct ChainLink {
  std::string module;
  std::string path;
  const StaticAcdRead* reader;
};

using Chain = std::vector<ChainLink>;

using DeviceGroups = std::vector<Names>;

// A kind of data file the library reads with a reader of its own.
struct DataFileKind {
  const char* pattern;        // its files in a data folder
  const char* what;           // for messages
  const char* nothingListed;  // the finding for a file that loads but names nothing
  Names (*read)(const std::string& path, bool& loaded);  // its segments in file order
};

// The module as the library opens it, unsupported ones too; none when its definition does not
// load (the library has said why).
std::optional<pmlib::Module> OpenModule(const std::string& name) {
  try {
    return pmlib::Module(name, pmlib::Unsupported::Allowed);
  } catch (const pmlib::Error&) {
    return std::nullopt;
  }
}

// The definition that gives `key` its value for the first module of `chain`: the nearest one
// with a value, as the library merges friends; null when none has one.
const ChainLink* Defining(const Chain& chain, const std::string& key) {
  for (const ChainLink& link : chain) {
    if (!Value(*link.reader, key).empty()) return &link;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// One module

class ModuleLinter {
 public:
  ModuleLinter(Definitions& definitions, FindingFilter& findings)
      : definitions_(definitions), findings_(findings) {}

  void Lint(const std::string& name);

 private:
  void Report(const std::string& file, const std::string& key, const std::string& arch,
              const char* kind, const std::string& message) {
    findings_.add({file, key, arch, kind, message});
  }
  // Every message the library gave since the last call, as findings on `file` and `key`.
  void ReportLibraryMessages(const std::string& file, const std::string& key,
                             const std::string& arch);

  bool CheckDefinitionOpens(const pmlib::ModuleLocation& location);
  bool CheckIdentity(const ChainLink& link);
  Chain FriendChain(const ChainLink& own);
  void ReportFriendLoop(Chain loop);
  void CheckFormats(const Chain& chain);
  void CheckDevices(const pmlib::Module& module, const Chain& chain,
                    const pmlib::ModuleLocation& location);
  void CheckDeviceData(const pmlib::Module& module, const ChainLink& table, const Names& devices,
                       const NameSet& listed);
  void CheckDisallowedSpeeds(const pmlib::Module& module, const ChainLink& own,
                             const NameSet& devices);
  void CheckDeviceFiles(const Chain& chain, const pmlib::ModuleLocation& location);
  void CheckDeviceNames(const ChainLink& table, const char* key, const DeviceGroups& entries);
  void CheckDataFiles(const pmlib::ModuleLocation& location);
  void CheckDataFile(const std::string& path, const std::string& arch, const DataFileKind& kind);
  void CheckRepeatedSegments(const std::string& path, const std::string& arch,
                             const Names& segments);
  void CheckVentries(const std::optional<pmlib::Module>& module, const Chain& chain);
  // The virtual-entry keys of a definition, found once per run: every module of a chain looks
  // through the definitions of the rest of it.
  const Names& VentryKeysOf(const StaticAcdRead& reader);
  void CheckLibrary(const pmlib::Module& module, const ChainLink& link, const std::string& key,
                    const std::string& library, const std::string& neededBy,
                    std::set<std::string>& visited);

  // Where a module lives, looked up once per run: every module of a chain walks the rest of it.
  const pmlib::ModuleLocation& Locate(const std::string& name);

  Definitions& definitions_;
  FindingFilter& findings_;
  std::unordered_map<std::string, pmlib::ModuleLocation> locations_;
  std::unordered_map<const StaticAcdRead*, Names> ventryKeys_;
  LibraryMessages messages_;
  std::set<std::string> badDataFiles_;  // data files found unreadable
  std::set<std::string> toldMessages_;  // the library's messages reported for this module
};

// The library repeats itself each time it reads the same thing again (every list builds its own
// part); a message is told once per module. A data file reported as unreadable already makes it
// complain wherever the file is read; those complaints add nothing either.
void ModuleLinter::ReportLibraryMessages(const std::string& file, const std::string& key,
                                         const std::string& arch) {
  for (const Port::Message& message : messages_.take()) {
    const bool aboutBadFile = std::any_of(
        badDataFiles_.begin(), badDataFiles_.end(),
        [&](const std::string& path) { return message.text.find(path) != std::string::npos; });
    if (aboutBadFile || !toldMessages_.insert(message.text).second) continue;
    Report(file, key, arch, "library-message", MessageText(message));
  }
}

const pmlib::ModuleLocation& ModuleLinter::Locate(const std::string& name) {
  auto found = locations_.find(name);
  if (found == locations_.end()) found = locations_.emplace(name, pmlib::locateModule(name)).first;
  return found->second;
}

bool ModuleLinter::CheckDefinitionOpens(const pmlib::ModuleLocation& location) {
  if (location.dataFolders.empty()) {
    Report(ExpectedDefinition(location.name), "", location.name, "unreadable-definition",
           "no module " + Quoted(location.name) + " is installed");
    return false;
  }
  if (!location.definition) {
    Report(location.dataFolders.front() + location.name + ".acd", "", location.name,
           "unreadable-definition", "the module has no definition file");
    return false;
  }
  if (definitions_.Read(*location.definition).IsValid()) return true;
  const std::string reason = UnreadableReason(*location.definition);
  Report(*location.definition, "", location.name, "unreadable-definition",
         reason.empty() ? "the definition holds no key" : "cannot be read: " + reason);
  return false;
}

// The library refuses a definition without ARCH_NAME or ARCH_FRIEND, or one that names another
// module.
bool ModuleLinter::CheckIdentity(const ChainLink& link) {
  bool usable = true;
  for (const char* key : {kKeyArchName, kKeyArchFriend}) {
    if (Has(*link.reader, key)) continue;
    Report(link.path, key, link.module, "missing-key", "the key is missing");
    usable = false;
  }
  const std::string archName = Value(*link.reader, kKeyArchName);
  if (Has(*link.reader, kKeyArchName) && !SameIgnoringCase(archName, link.module)) {
    Report(link.path, kKeyArchName, link.module, "wrong-arch-name",
           "names " + Quoted(archName) + ", not the module " + Quoted(link.module));
    usable = false;
  }
  return usable;
}

// The chain of definitions from `own` along ARCH_FRIEND, reporting a friend that is not
// installed and a chain that comes back to a module already on it.
Chain ModuleLinter::FriendChain(const ChainLink& own) {
  Chain chain = {own};
  // Where each module is on the chain, so that a long chain is not searched at every step.
  std::unordered_map<std::string, std::size_t> positions = {{Lowered(own.module), 0}};
  while (true) {
    const ChainLink& last = chain.back();
    const std::string friendName = Lowered(Value(*last.reader, kKeyArchFriend));
    if (friendName.empty() || friendName == Lowered(last.module)) break;
    const auto repeated = positions.find(friendName);
    if (repeated != positions.end()) {
      ReportFriendLoop(
          Chain(chain.begin() + static_cast<std::ptrdiff_t>(repeated->second), chain.end()));
      break;
    }
    if (!Port::IsPlainName(friendName)) {
      Report(last.path, kKeyArchFriend, last.module, "bad-name",
             NoNameProblem(friendName, "module"));
      break;
    }
    const std::optional<std::string>& definition = Locate(friendName).definition;
    if (!definition) {
      Report(last.path, kKeyArchFriend, last.module, "missing-friend",
             "names " + Quoted(friendName) + ", which is not installed");
      break;
    }
    const StaticAcdRead& reader = definitions_.Read(*definition);
    if (!reader.IsValid()) break;  // the friend's own check tells why
    positions.emplace(friendName, chain.size());
    chain.push_back({friendName, *definition, &reader});
  }
  return chain;
}

// Every module on a loop, and every module leading into it, meets the same loop from another
// start: it is told the same way from each, starting at its smallest name, on the file whose
// ARCH_FRIEND closes it, so that the findings' filter lets it through once.
void ModuleLinter::ReportFriendLoop(Chain loop) {
  std::rotate(loop.begin(),
              std::min_element(loop.begin(), loop.end(),
                               [](const ChainLink& a, const ChainLink& b) {
                                 return Lowered(a.module) < Lowered(b.module);
                               }),
              loop.end());
  Names members;
  for (const ChainLink& link : loop) members.push_back(link.module);
  const ChainLink& closing = loop.back();
  Report(closing.path, kKeyArchFriend, closing.module, "friend-loop",
         "the friend chain " + Joined(members, " -> ") + " loops back to its start");
}

// What the parser makes of a format before compiling it.
std::string ExpressionOf(const std::string& key, const std::string& value) {
  if (key == "SPEED_FORMAT") return "-" + value + "$";
  if (key == "SUBFAM_FORMAT") return value;
  return pmlib::deviceFormatExpression(value);
}

void ModuleLinter::CheckFormats(const Chain& chain) {
  for (const char* key : {"DEVICE_FORMAT", "ALT_DEVICE_FORMAT", "SPEED_FORMAT", "SUBFAM_FORMAT"}) {
    const ChainLink* link = Defining(chain, key);
    if (!link) continue;
    const std::string value = Value(*link->reader, key);
    const std::string expression = ExpressionOf(key, value);
    if (Port_Regexp(expression.c_str()).GetStatus() == 0) continue;
    Report(link->path, key, link->module, "bad-format",
           "the expression " + Quoted(expression) + " does not compile");
  }
}

// The device names of each group of a device table (its DEVICE_INTERNAL value, say).
DeviceGroups DeviceTableOf(const ChainLink& link, const char* key) {
  return pmlib::deviceTable(Value(*link.reader, key));
}

void ModuleLinter::CheckDevices(const pmlib::Module& module, const Chain& chain,
                                const pmlib::ModuleLocation& location) {
  const ChainLink* table = Defining(chain, kKeyDeviceInternal);
  const NameSet listed = LoweredNames(module.deviceNames());
  ReportLibraryMessages(table ? table->path : chain.front().path, kKeyDeviceInternal,
                        location.name);
  Names declared;
  if (table) {
    const DeviceGroups entries = DeviceTableOf(*table, kKeyDeviceInternal);
    for (const Names& group : entries) {
      if (!group.empty() && !group.front().empty()) declared.push_back(Lowered(group.front()));
    }
    CheckDeviceNames(*table, kKeyDeviceInternal, entries);
    CheckDeviceData(module, *table, declared, listed);
    CheckDeviceFiles(chain, location);
  }
  NameSet devices = listed;
  devices.insert(declared.begin(), declared.end());
  CheckDisallowedSpeeds(module, chain.front(), devices);
}

// Every name of a device table names data files: one that is not plain is ignored by the
// library, as if the entry did not have it.
void ModuleLinter::CheckDeviceNames(const ChainLink& table, const char* key,
                                    const DeviceGroups& entries) {
  for (const Names& group : entries) {
    for (const std::string& name : group) {
      if (!name.empty() && !Port::IsPlainName(name)) {
        Report(table.path, key, table.module, "bad-name", NoNameProblem(name, "device"));
      }
    }
  }
}

// A declared device needs some data: a package file, a speed file or (FPGA) a device file; with
// packages it needs speed grades too and the other way round, or no part name of it is whole. A
// configuration memory needs none, its entry is all there is; nor does an unsupported module,
// whose parts take their devices as given and whose lists the library never reads from disk.
void ModuleLinter::CheckDeviceData(const pmlib::Module& module, const ChainLink& table,
                                   const Names& devices, const NameSet& listed) {
  if (module.type() == pmlib::ModuleType::CONFIG || module.unsupported()) return;
  const bool fpga = module.type() == pmlib::ModuleType::FPGA;
  for (const std::string& device : devices) {
    const bool hasPackages = !module.listedPackages(device).empty();
    const bool hasSpeeds = !module.listedSpeedGrades(device).empty();
    const bool hasDeviceFile = fpga && listed.count(device) != 0;
    ReportLibraryMessages(table.path, kKeyDeviceInternal, table.module);
    if (hasPackages != hasSpeeds) {
      Report(table.path, kKeyDeviceInternal, module.name(), "incomplete-device-data",
             device +
                 (hasPackages ? ": packages but no speed grade" : ": speed grades but no package") +
                 ", so no part name of it is complete");
    }
    if (hasPackages || hasSpeeds || hasDeviceFile) continue;
    Report(table.path, kKeyDeviceInternal, module.name(), "no-device-data",
           device + ": no package file, no speed file" +
               std::string(fpga ? " and no device file (.nph)" : "") + " under any of its names");
  }
}

// DISALLOW_SPEEDS is checked where the module writes it: a friend's own check covers the value
// it passes on (the module's own value is the merged one).
void ModuleLinter::CheckDisallowedSpeeds(const pmlib::Module& module, const ChainLink& own,
                                         const NameSet& devices) {
  if (Value(*own.reader, kKeyDisallowSpeeds).empty()) return;
  NameSet speeds;
  for (const std::string& device : devices) {
    const NameSet deviceSpeeds = LoweredNames(module.listedSpeedGrades(device));
    speeds.insert(deviceSpeeds.begin(), deviceSpeeds.end());
  }
  ReportLibraryMessages(own.path, kKeyDisallowSpeeds, own.module);
  for (const std::string& speed : module.disallowedSpeeds()) {
    if (speeds.count(Lowered(speed))) continue;
    Report(own.path, kKeyDisallowSpeeds, own.module, "bad-disallowed-speed",
           Quoted(speed) + " is no speed grade of any device of " + own.module);
  }
}

// A device file of the module's own data folders that no entry of the device tables names is
// never listed.
void ModuleLinter::CheckDeviceFiles(const Chain& chain, const pmlib::ModuleLocation& location) {
  std::set<std::string> names;
  for (const char* key : {kKeyDeviceInternal, kKeyTestDeviceInternal}) {
    const ChainLink* link = Defining(chain, key);
    if (!link) continue;
    for (const Names& group : DeviceTableOf(*link, key)) names.insert(group.begin(), group.end());
  }
  const std::string extension = ".nph";
  for (const std::string& dir : location.dataFolders) {
    const UT_DIR listing(dir.c_str(), 0);
    for (auto file = listing.begin("*.nph"); file != listing.end(); ++file) {
      const std::string base = file->str().substr(0, file->length() - extension.size());
      if (names.count(base)) continue;
      Report(dir + file->str(), kKeyDeviceInternal, location.name, "unlisted-device-file",
             "no " + std::string(kKeyDeviceInternal) + " entry names " + Quoted(base));
    }
  }
}

// A data file the reader could not load: unreadable, empty or malformed.
struct LoadProblem {
  const char* kind;
  std::string message;
};

LoadProblem WhyNotLoaded(const std::string& path, bool libraryComplained, const char* what) {
  if (libraryComplained) return {"bad-data-file", std::string("is not a readable ") + what};
  const std::string reason = UnreadableReason(path);
  if (!reason.empty()) return {"bad-data-file", "cannot be read: " + reason};
  return {"empty-data-file", "the file is empty"};
}

void ModuleLinter::CheckDataFile(const std::string& path, const std::string& arch,
                                 const DataFileKind& kind) {
  bool loaded = false;
  const Names segments = kind.read(path, loaded);
  const bool complained = !messages_.take().empty();
  if (!loaded) {
    const LoadProblem problem = WhyNotLoaded(path, complained, kind.what);
    if (problem.kind == std::string("bad-data-file")) badDataFiles_.insert(path);
    Report(path, "", arch, problem.kind, problem.message);
  } else if (segments.empty()) {
    Report(path, "", arch, "empty-data-file", kind.nothingListed);
  } else {
    CheckRepeatedSegments(path, arch, segments);
  }
}

// The library lists every segment of a data file: a name given twice, or twice in different
// letter cases (it compares names ignoring case), makes every listing repeat it.
void ModuleLinter::CheckRepeatedSegments(const std::string& path, const std::string& arch,
                                         const Names& segments) {
  std::map<std::string, std::string> firstByLowered;
  for (const std::string& segment : segments) {
    const auto [first, isNew] = firstByLowered.emplace(Lowered(segment), segment);
    if (isNew) continue;
    Report(path, segment, arch, "duplicate-segment",
           first->second == segment
               ? "the segment " + Quoted(segment) + " is listed more than once"
               : "the segment " + Quoted(segment) + " repeats " + Quoted(first->second) +
                     " (names are compared ignoring letter case)");
  }
}

Names ReadSpeedFile(const std::string& path, bool& loaded) {
  pmlib::SpeedFile read = pmlib::readSpeedFile(path);
  loaded = read.loaded;
  return std::move(read.speeds);
}

Names ReadPackageFile(const std::string& path, bool& loaded) {
  pmlib::PackageFile read = pmlib::readPackageFile(path);
  loaded = read.loaded;
  return std::move(read.packages);
}

const DataFileKind kDataFileKinds[] = {
    {"*.spd", "speed file", "lists no speed grade", ReadSpeedFile},
    {"*.pkg", "package file", "lists no package", ReadPackageFile},
};

void ModuleLinter::CheckDataFiles(const pmlib::ModuleLocation& location) {
  for (const std::string& dir : location.dataFolders) {
    const UT_DIR listing(dir.c_str(), 0);
    for (const DataFileKind& kind : kDataFileKinds) {
      for (auto file = listing.begin(kind.pattern); file != listing.end(); ++file) {
        CheckDataFile(dir + file->str(), location.name, kind);
      }
    }
  }
}

std::string VentryProblem(pmlib::EntryForm form) {
  switch (form) {
    case pmlib::EntryForm::Empty:
      return "the entry is empty";
    case pmlib::EntryForm::NoParen:
      return "no closing parenthesis after the symbol";
    case pmlib::EntryForm::NoLibrary:
      return "no library after the symbol (\"symbol,library\" or \"symbol(...),library\")";
    case pmlib::EntryForm::Named:
    case pmlib::EntryForm::Absent:
    case pmlib::EntryForm::Null:
      break;
  }
  return std::string();
}

// Every virtual entry of the chain, each key taken from the definition that gives its value; an
// entry naming a library needs the library and every library its dependency file lists.
void ModuleLinter::CheckVentries(const std::optional<pmlib::Module>& module, const Chain& chain) {
  std::set<std::string> keys;
  for (const ChainLink& link : chain) {
    const Names& own = VentryKeysOf(*link.reader);
    keys.insert(own.begin(), own.end());
  }
  if (keys.empty()) return;
  // An empty entry of this platform's key only sends the lookup on to the plain key.
  const std::string platformPrefix = pmlib::virtualEntryKey("", true);
  for (const std::string& key : keys) {
    const ChainLink* link = Defining(chain, key);
    if (!link && key.compare(0, platformPrefix.size(), platformPrefix) == 0) continue;
    if (!link)
      link = &*std::find_if(chain.begin(), chain.end(),
                            [&](const ChainLink& holder) { return Has(*holder.reader, key); });
    const std::string field = link->reader->GetStringByKey(key.c_str(), ";", 0, nullptr, 0).str();
    const pmlib::VirtualEntry entry = pmlib::parseVirtualEntry(field);
    const std::string problem = VentryProblem(entry.form);
    if (!problem.empty()) {
      Report(link->path, key, link->module, "bad-ventry", problem);
    } else if (entry.form == pmlib::EntryForm::Named && module) {
      std::set<std::string> visited;
      CheckLibrary(*module, *link, key, *entry.library, "", visited);
    }
  }
}

const Names& ModuleLinter::VentryKeysOf(const StaticAcdRead& reader) {
  const auto [place, added] = ventryKeys_.try_emplace(&reader);
  if (added) {
    for (const auto& keyValue : reader) {
      const std::string key = keyValue.first.get();
      if (key.compare(0, sizeof kVentryPrefix - 1, kVentryPrefix) == 0)
        place->second.push_back(key);
    }
  }
  return place->second;
}

void ModuleLinter::CheckLibrary(const pmlib::Module& module, const ChainLink& link,
                                const std::string& key, const std::string& library,
                                const std::string& neededBy, std::set<std::string>& visited) {
  if (!visited.insert(library).second) return;
  const std::string needed = neededBy.empty() ? "" : " (needed by " + Quoted(neededBy) + ")";
  const pmlib::Library installed = module.library(library);
  if (!installed.file) {
    Report(link.path, key, link.module, "missing-library",
           "the library " + Quoted(library) + needed + " is not installed: no lib/" +
               std::string(Port_Env::GetPlatformPath()) + "/lib" + library + ".so");
    return;
  }
  ReportLibraryMessages(link.path, key, link.module);
  for (const std::string& dependency : installed.dependencies) {
    CheckLibrary(module, link, key, dependency, library, visited);
  }
}

void ModuleLinter::Lint(const std::string& name) {
  toldMessages_.clear();
  const pmlib::ModuleLocation location = Locate(name);
  if (!CheckDefinitionOpens(location)) return;
  const ChainLink own{name, *location.definition, &definitions_.Read(*location.definition)};
  if (!CheckIdentity(own) || !CheckOwnDefinition(name, own.path, findings_)) return;
  const Chain chain = FriendChain(own);
  CheckFormats(chain);
  CheckDataFiles(location);

  const std::optional<pmlib::Module> module = OpenModule(name);
  CheckDeviceFilesOfModule(name, findings_);
  ReportLibraryMessages(own.path, "", name);
  if (module) CheckDevices(*module, chain, location);
  CheckVentries(module, chain);
}

}  // namespace

void LintModules(const Names& modules, Definitions& definitions, FindingFilter& findings) {
  ModuleLinter linter(definitions, findings);
  for (const std::string& module : modules) linter.Lint(module);
}

}  // namespace pmtool
