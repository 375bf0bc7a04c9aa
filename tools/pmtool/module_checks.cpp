// pmtool check, one module at a time: its definition is read as the library reads it, its friend
// chain walked, its formats compiled, its devices, data files and virtual entries looked up
// through the library. Whatever the library says meanwhile becomes a finding too.
#include "module_checks.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <unordered_map>
#include <utility>

#include "PMLists.h"
#include "PkgRder.h"
#include "SpdRder.h"
#include "baspmdlm.h"
#include "baspmpic.h"
#include "baspmpicutil.h"
#include "baspmspec.h"
#include "pmlayout.h"
#include "output.h"
#include "pmlib/pmdevkey.h"
#include "pmlib/pmspec.h"
#include "pmport/port_env.h"
#include "pmport/port_file.h"
#include "pmport/port_path.h"
#include "pmport/port_regexp.h"

namespace pmtool {

using Names = std::vector<std::string>;

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

Names Roots() {
  Names roots;
  for (const Port::String& root : Port::KorvanPath::GetInstance()) roots.push_back(root.str());
  return roots;
}

namespace {

namespace fs = std::filesystem;
namespace Layout = PersonalityModule::Layout;

const char kKeyArchFriend[] = "ARCH_FRIEND";
const char kKeyDeviceInternal[] = "DEVICE_INTERNAL";
const char kKeyTestDeviceInternal[] = "TEST_DEVICE_INTERNAL";
const char kKeyDisallowSpeeds[] = "DISALLOW_SPEEDS";
const char kVentryPrefix[] = "VENTRY_";

bool IsDirectory(const std::string& path) {
  std::error_code ignored;
  return fs::is_directory(path, ignored);
}

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

// ---------------------------------------------------------------------------------------------
// Where a module lives

// The module's data folder under `root`, with its trailing "/".
std::string DataDir(const std::string& root, const std::string& name, bool unsupported) {
  return Layout::DataDir(root, name, unsupported).str();
}

// A data folder that makes its parent folder a module: it holds the definition or the marker.
// Why a name read from a definition names nothing.
std::string NoNameProblem(const std::string& name, const char* what) {
  return Quoted(name) + " is no " + what +
         " name (empty, \".\", \"..\", or holds \"/\"): it would lead out of the installation, "
         "so the library ignores it";
}

bool IsModuleDataDir(const std::string& dir, const std::string& name) {
  return Port::File::exist(dir + name + ".acd") || Port::File::exist(dir + Layout::kModuleMarker);
}

// Every module folder under `root` (among its supported or its unsupported modules).
void AddModulesOf(const std::string& root, bool unsupported, std::set<std::string>& modules) {
  const UT_DIR listing(root + Layout::ModulesPrefix(unsupported), UT_DIR::WithDirectories);
  if (!listing.isvalid()) return;
  const std::set<Port::String>& skipped = PMSkippedDirectories();
  for (const Port::String& entry : listing) {
    if (skipped.count(entry)) continue;
    if (IsModuleDataDir(DataDir(root, entry.str(), unsupported), entry.str())) {
      modules.insert(entry.str());
    }
  }
}

}  // namespace

ModuleLocation LocateModule(const std::string& name) {
  ModuleLocation location;
  location.name = name;
  if (!Layout::IsModuleName(name)) return location;  // names no folder of the installation
  for (const bool unsupported : {false, true}) {
    for (const std::string& root : Roots()) {
      const std::string dir = DataDir(root, name, unsupported);
      if (!IsDirectory(dir)) continue;
      location.dataDirs.push_back(dir);
      const std::string definition = dir + name + ".acd";
      if (location.definition.empty() && Port::File::exist(definition)) {
        location.definition = definition;
      }
    }
    if (!location.dataDirs.empty()) break;
  }
  return location;
}

Names InstalledModules() {
  std::set<std::string> modules;
  for (const std::string& root : Roots()) {
    AddModulesOf(root, false, modules);
    AddModulesOf(root, true, modules);
  }
  return Names(modules.begin(), modules.end());
}

// ---------------------------------------------------------------------------------------------
// Definitions as the library's reader reads them, each file once

const StaticAcdRead& Definitions::Read(const std::string& path) {
  auto found = readers_.find(path);
  if (found == readers_.end()) {
    found = readers_.emplace(path, std::make_unique<StaticAcdRead>(path.c_str(), "", nullptr, 1,
                                                                    0, 0))
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

  bool CheckDefinitionOpens(const ModuleLocation& location);
  bool CheckIdentity(const ChainLink& link);
  Chain FriendChain(const ChainLink& own);
  void ReportFriendLoop(Chain loop);
  void CheckFormats(const Chain& chain);
  void CheckDevices(PMPicImp& part, const Chain& chain, const ModuleLocation& location);
  void CheckDeviceData(PMPicImp& part, const ChainLink& table, const Names& devices,
                       const NameSet& listed);
  void CheckDisallowedSpeeds(PMPicImp& part, const ChainLink& own, const NameSet& devices);
  void CheckDeviceFiles(const Chain& chain, const ModuleLocation& location);
  void CheckDeviceNames(const ChainLink& table, const char* key,
                        const PersonalityModule::DeviceTable& entries);
  void CheckDataFiles(const ModuleLocation& location);
  template <typename Reader>
  void CheckDataFile(const std::string& path, const std::string& arch, const char* what,
                     const char* nothingListed);
  void CheckRepeatedSegments(const std::string& path, const std::string& arch,
                             const Names& segments);
  void CheckVentries(const Chain& chain);
  // The virtual-entry keys of a definition, found once per run: every module of a chain looks
  // through the definitions of the rest of it.
  const Names& VentryKeysOf(const StaticAcdRead& reader);
  void CheckLibrary(PM_SPEC& spec, const ChainLink& link, const std::string& key,
                    const std::string& library, const std::string& neededBy,
                    std::set<std::string>& visited);

  // Where a module lives, looked up once per run: every module of a chain walks the rest of it.
  const ModuleLocation& Locate(const std::string& name);

  Definitions& definitions_;
  FindingFilter& findings_;
  std::unordered_map<std::string, ModuleLocation> locations_;
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
    const bool aboutBadFile =
        std::any_of(badDataFiles_.begin(), badDataFiles_.end(), [&](const std::string& path) {
          return message.text.find(path) != std::string::npos;
        });
    if (aboutBadFile || !toldMessages_.insert(message.text).second) continue;
    Report(file, key, arch, "library-message", MessageText(message));
  }
}

const ModuleLocation& ModuleLinter::Locate(const std::string& name) {
  auto found = locations_.find(name);
  if (found == locations_.end()) found = locations_.emplace(name, LocateModule(name)).first;
  return found->second;
}

bool ModuleLinter::CheckDefinitionOpens(const ModuleLocation& location) {
  if (location.dataDirs.empty()) {
    const Names roots = Roots();
    Report(Layout::DefinitionPath(roots.empty() ? "." : roots.front(), location.name, false).str(),
           "", location.name, "unreadable-definition",
           "no module " + Quoted(location.name) + " is installed");
    return false;
  }
  if (location.definition.empty()) {
    Report(location.dataDirs.front() + location.name + ".acd", "", location.name,
           "unreadable-definition", "the module has no definition file");
    return false;
  }
  if (definitions_.Read(location.definition).IsValid()) return true;
  const std::string reason = UnreadableReason(location.definition);
  Report(location.definition, "", location.name, "unreadable-definition",
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
      ReportFriendLoop(Chain(chain.begin() + static_cast<std::ptrdiff_t>(repeated->second),
                             chain.end()));
      break;
    }
    if (!Layout::IsModuleName(friendName)) {
      Report(last.path, kKeyArchFriend, last.module, "bad-name",
             NoNameProblem(friendName, "module"));
      break;
    }
    const ModuleLocation& location = Locate(friendName);
    if (location.definition.empty()) {
      Report(last.path, kKeyArchFriend, last.module, "missing-friend",
             "names " + Quoted(friendName) + ", which is not installed");
      break;
    }
    const StaticAcdRead& reader = definitions_.Read(location.definition);
    if (!reader.IsValid()) break;  // the friend's own check tells why
    positions.emplace(friendName, chain.size());
    chain.push_back({friendName, location.definition, &reader});
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
  return PersonalityModule::DeviceExpression(value);
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

// The names of a built list.
Names ListNames(const boost::shared_ptr<PersonalityModule::BaseList>& list) {
  PersonalityModule::EnsureBuilt(*list);
  Names names;
  if (list->names()) {
    for (const Port::String& name : *list->names()) names.push_back(name.str());
  }
  return names;
}

Names SpeedsOf(PMPicImp& part, const std::string& device) {
  return ListNames(PersonalityModule::GetSpeedList(part, device));
}

void ModuleLinter::CheckDevices(PMPicImp& part, const Chain& chain,
                                const ModuleLocation& location) {
  const ChainLink* table = Defining(chain, kKeyDeviceInternal);
  const NameSet listed = LoweredNames(ListNames(PersonalityModule::GetDeviceList(part)));
  ReportLibraryMessages(table ? table->path : chain.front().path, kKeyDeviceInternal,
                        location.name);
  Names declared;
  if (table) {
    const PersonalityModule::DeviceTable entries(Value(*table->reader, kKeyDeviceInternal).c_str());
    for (const auto& group : entries.groups()) {
      if (!group.empty() && !group.front().empty()) declared.push_back(Lowered(group.front()));
    }
    CheckDeviceNames(*table, kKeyDeviceInternal, entries);
    CheckDeviceData(part, *table, declared, listed);
    CheckDeviceFiles(chain, location);
  }
  NameSet devices = listed;
  devices.insert(declared.begin(), declared.end());
  CheckDisallowedSpeeds(part, chain.front(), devices);
}

// Every name of a device table names data files: one that is not plain is ignored by the
// library, as if the entry did not have it.
void ModuleLinter::CheckDeviceNames(const ChainLink& table, const char* key,
                                    const PersonalityModule::DeviceTable& entries) {
  for (const auto& group : entries.groups()) {
    for (const std::string& name : group) {
      if (!name.empty() && !Layout::IsModuleName(name)) {
        Report(table.path, key, table.module, "bad-name", NoNameProblem(name, "device"));
      }
    }
  }
}

// A declared device needs some data: a package file, a speed file or (FPGA) a device file; with
// packages it needs speed grades too and the other way round, or no part name of it is whole. A
// configuration memory needs none, its entry is all there is; nor does an unsupported module,
// whose parts take their devices as given and whose lists the library never reads from disk.
void ModuleLinter::CheckDeviceData(PMPicImp& part, const ChainLink& table, const Names& devices,
                                   const NameSet& listed) {
  const std::string type = part.architectureType().str();
  if (type == "CONFIG" || part.isunsupported()) return;
  const bool fpga = type == "FPGA";
  for (const std::string& device : devices) {
    const bool hasPackages = !ListNames(PersonalityModule::GetPackageList(part, device)).empty();
    const bool hasSpeeds = !SpeedsOf(part, device).empty();
    const bool hasDeviceFile = fpga && listed.count(device) != 0;
    ReportLibraryMessages(table.path, kKeyDeviceInternal, table.module);
    if (hasPackages != hasSpeeds) {
      Report(table.path, kKeyDeviceInternal, part.pmName().str(), "incomplete-device-data",
             device + (hasPackages ? ": packages but no speed grade"
                                   : ": speed grades but no package") +
                 ", so no part name of it is complete");
    }
    if (hasPackages || hasSpeeds || hasDeviceFile) continue;
    Report(table.path, kKeyDeviceInternal, part.pmName().str(), "no-device-data",
           device + ": no package file, no speed file" +
               std::string(fpga ? " and no device file (.nph)" : "") + " under any of its names");
  }
}

// DISALLOW_SPEEDS is checked where the module writes it: a friend's own check covers the value
// it passes on.
void ModuleLinter::CheckDisallowedSpeeds(PMPicImp& part, const ChainLink& own,
                                         const NameSet& devices) {
  const std::string value = Value(*own.reader, kKeyDisallowSpeeds);
  if (value.empty()) return;
  NameSet speeds;
  for (const std::string& device : devices) {
    const NameSet deviceSpeeds = LoweredNames(SpeedsOf(part, device));
    speeds.insert(deviceSpeeds.begin(), deviceSpeeds.end());
  }
  ReportLibraryMessages(own.path, kKeyDisallowSpeeds, own.module);
  for (const std::string& speed : PersonalityModule::SplitNames(value.c_str(), ',')) {
    if (speed.empty() || speeds.count(Lowered(speed))) continue;
    Report(own.path, kKeyDisallowSpeeds, own.module, "bad-disallowed-speed",
           Quoted(speed) + " is no speed grade of any device of " + own.module);
  }
}

// A device file of the module's own data folders that no entry of the device tables names is
// never listed.
void ModuleLinter::CheckDeviceFiles(const Chain& chain, const ModuleLocation& location) {
  std::set<std::string> names;
  for (const char* key : {kKeyDeviceInternal, kKeyTestDeviceInternal}) {
    const ChainLink* link = Defining(chain, key);
    if (!link) continue;
    const PersonalityModule::DeviceTable table(Value(*link->reader, key).c_str());
    for (const auto& group : table.groups()) names.insert(group.begin(), group.end());
  }
  const std::string extension = ".nph";
  for (const std::string& dir : location.dataDirs) {
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

// `Reader` is the library's reader of the data file kind that `what` names; `nothingListed` is
// the finding for a file it loads but that names nothing.
template <typename Reader>
void ModuleLinter::CheckDataFile(const std::string& path, const std::string& arch,
                                 const char* what, const char* nothingListed) {
  const Reader reader(path);
  const bool complained = !messages_.take().empty();
  if (!reader.loaded()) {
    const LoadProblem problem = WhyNotLoaded(path, complained, what);
    if (problem.kind == std::string("bad-data-file")) badDataFiles_.insert(path);
    Report(path, "", arch, problem.kind, problem.message);
  } else if (reader.begin() == reader.end()) {
    Report(path, "", arch, "empty-data-file", nothingListed);
  } else {
    Names segments;
    for (const Port::String& segment : reader) segments.push_back(segment.str());
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

void ModuleLinter::CheckDataFiles(const ModuleLocation& location) {
  for (const std::string& dir : location.dataDirs) {
    const UT_DIR listing(dir.c_str(), 0);
    for (auto file = listing.begin("*.spd"); file != listing.end(); ++file) {
      CheckDataFile<PersonalityModule::SpdRder>(dir + file->str(), location.name,
                                                "speed file", "lists no speed grade");
    }
    for (auto file = listing.begin("*.pkg"); file != listing.end(); ++file) {
      CheckDataFile<PersonalityModule::PkgRder>(dir + file->str(), location.name,
                                                "package file", "lists no package");
    }
  }
}

std::string VentryProblem(PMVentryStatus status) {
  switch (status) {
    case PMVentryStatus::Empty:
      return "the entry is empty";
    case PMVentryStatus::NoParen:
      return "no closing parenthesis after the symbol";
    case PMVentryStatus::NoLibrary:
      return "no library after the symbol (\"symbol,library\" or \"symbol(...),library\")";
    case PMVentryStatus::Found:
    case PMVentryStatus::Absent:
    case PMVentryStatus::Null:
      break;
  }
  return std::string();
}

// Every virtual entry of the chain, each key taken from the definition that gives its value; an
// entry naming a library needs the library and every library its dependency file lists.
void ModuleLinter::CheckVentries(const Chain& chain) {
  std::set<std::string> keys;
  for (const ChainLink& link : chain) {
    const Names& own = VentryKeysOf(*link.reader);
    keys.insert(own.begin(), own.end());
  }
  if (keys.empty()) return;
  const std::string& module = chain.front().module;
  PM_SPEC spec(module.c_str(), PM_BINDING_ALLOW_UNSUPPORTED);
  ReportLibraryMessages(chain.front().path, "", module);
  // An empty entry of this platform's key only sends the lookup on to the plain key.
  const std::string platformPrefix = PMVentryPlatformKey("");
  for (const std::string& key : keys) {
    const ChainLink* link = Defining(chain, key);
    if (!link && key.compare(0, platformPrefix.size(), platformPrefix) == 0) continue;
    if (!link) link = &*std::find_if(chain.begin(), chain.end(), [&](const ChainLink& holder) {
      return Has(*holder.reader, key);
    });
    const std::string field = link->reader->GetStringByKey(key.c_str(), ";", 0, nullptr, 0).str();
    const PMVentry ventry = PMParseVentryField(field);
    const std::string problem = VentryProblem(ventry.status);
    if (!problem.empty()) {
      Report(link->path, key, link->module, "bad-ventry", problem);
    } else if (ventry.status == PMVentryStatus::Found) {
      std::set<std::string> visited;
      CheckLibrary(spec, *link, key, ventry.library, "", visited);
    }
  }
}

const Names& ModuleLinter::VentryKeysOf(const StaticAcdRead& reader) {
  const auto [place, added] = ventryKeys_.try_emplace(&reader);
  if (added) {
    for (const auto& keyValue : reader) {
      const std::string key = keyValue.first.get();
      if (key.compare(0, sizeof kVentryPrefix - 1, kVentryPrefix) == 0) place->second.push_back(key);
    }
  }
  return place->second;
}

void ModuleLinter::CheckLibrary(PM_SPEC& spec, const ChainLink& link, const std::string& key,
                                const std::string& library, const std::string& neededBy,
                                std::set<std::string>& visited) {
  if (!visited.insert(library).second) return;
  const std::string needed = neededBy.empty() ? "" : " (needed by " + Quoted(neededBy) + ")";
  if (!spec.getdllfilename(library.c_str())) {
    Report(link.path, key, link.module, "missing-library",
           "the library " + Quoted(library) + needed + " is not installed: no lib/" +
               std::string(Port_Env::GetPlatformPath()) + "/lib" + library + ".so");
    return;
  }
  const std::string dependencies = "lib" + library + ".acd";
  if (spec.GetDatafileName(1, dependencies.c_str(), true, -1).empty()) return;
  const PM_DEVKEY store(dependencies.c_str(), &spec, 1, 1, 1);
  ReportLibraryMessages(link.path, key, link.module);
  const short count = store.GetMaxIndex("DEPEND", ',', 0).first;
  for (short index = 0; index < count; ++index) {
    const std::string dependency =
        PMLibraryName(store.GetStringByKey("DEPEND", ',', index, 0, 0).str());
    if (!dependency.empty()) CheckLibrary(spec, link, key, dependency, library, visited);
  }
}

void ModuleLinter::Lint(const std::string& name) {
  toldMessages_.clear();
  const ModuleLocation location = LocateModule(name);
  if (!CheckDefinitionOpens(location)) return;
  const ChainLink own{name, location.definition, &definitions_.Read(location.definition)};
  if (!CheckIdentity(own)) return;
  const Chain chain = FriendChain(own);
  CheckFormats(chain);
  CheckDataFiles(location);

  PMPicImp part(nullptr, PM_BINDING_ALLOW_UNSUPPORTED);
  part.verify_and_set_pm(name.c_str(), true);
  ReportLibraryMessages(own.path, "", name);
  if (part.defdataStore()) CheckDevices(part, chain, location);
  CheckVentries(chain);
}

}  // namespace

void LintModules(const Names& modules, Definitions& definitions, FindingFilter& findings) {
  ModuleLinter linter(definitions, findings);
  for (const std::string& module : modules) linter.Lint(module);
}

}  // namespace pmtool
