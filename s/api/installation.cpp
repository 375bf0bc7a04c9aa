// The installation: its folders through Port::KorvanPath, its modules through an empty PM_SPEC's
// listing and the registry's unsupported list, its architectures through an empty part's.
#include <pmlib/installation.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "api_support.h"
#include "baspmpic.h"
#include "baspmspec.h"
#include "pmlayout.h"
#include "pmlib/pmpic.h"
#include "pmport/port_file.h"
#include "pmport/port_path.h"

namespace pmlib {

namespace {

const char* OrNull(const std::optional<std::string>& text) {
  return text ? text->c_str() : nullptr;
}

// What the library reads as the module's definition, with unsupported ones found too.
std::string DefinitionOf(const std::string& name) {
  const PM_SPEC spec(name.c_str(), PM_BINDING_ALLOW_UNSUPPORTED);
  return spec.GetDatafileName(1, ".acd", true, -2).str();
}

ModuleEntry EntryOf(const std::string& name, const char* aliased, bool unsupported) {
  ModuleEntry entry{name, std::nullopt, unsupported, DefinitionOf(name)};
  if (aliased && name != aliased) entry.alias = aliased;
  return entry;
}

namespace Layout = PersonalityModule::Layout;

// A data folder that makes its parent folder a module: it holds the definition or the marker.
bool IsModuleDataFolder(const Port::String& folder, const Port::String& name) {
  return Port::File::exist(folder + name + ".acd") ||
         Port::File::exist(folder + Layout::kModuleMarker);
}

// Every module folder under `root` among its supported or its unsupported modules.
void AddModuleFolders(const Port::String& root, bool unsupported, std::set<std::string>& names) {
  const UT_DIR listing(root + Layout::ModulesPrefix(unsupported), UT_DIR::WithDirectories);
  if (!listing.isvalid()) return;
  const std::set<Port::String>& skipped = PMSkippedDirectories();
  for (const Port::String& entry : listing) {
    if (skipped.count(entry)) continue;
    if (IsModuleDataFolder(Layout::DataDir(root, entry, unsupported), entry)) {
      names.insert(entry.str());
    }
  }
}

// The module's data folders among the supported (or the unsupported) ones, with the first
// definition found in them.
ModuleLocation LocateAmong(const std::string& name, bool unsupported) {
  ModuleLocation location{name, std::nullopt, {}, unsupported};
  for (const Port::String& root : Port::KorvanPath::GetInstance()) {
    const Port::String folder = Layout::DataDir(root, name.c_str(), unsupported);
    std::error_code unreadable;
    if (!std::filesystem::is_directory(folder.str(), unreadable)) continue;
    location.dataFolders.push_back(folder.str());
    const Port::String definition = folder + name.c_str() + ".acd";
    if (!location.definition && Port::File::exist(definition))
      location.definition = definition.str();
  }
  return location;
}

}  // namespace

std::vector<std::string> moduleFolders() {
  detail::RequireInstallation();
  std::set<std::string> names;
  for (const Port::String& root : Port::KorvanPath::GetInstance()) {
    AddModuleFolders(root, false, names);
    AddModuleFolders(root, true, names);
  }
  return std::vector<std::string>(names.begin(), names.end());
}

ModuleLocation locateModule(std::string_view name) {
  detail::RequireInstallation();
  const std::string given = detail::Terminated(name);
  if (!Layout::IsModuleName(given)) return ModuleLocation{given, std::nullopt, {}, false};
  const ModuleLocation supported = LocateAmong(given, false);
  if (!supported.dataFolders.empty()) return supported;
  const ModuleLocation unsupported = LocateAmong(given, true);
  return unsupported.dataFolders.empty() ? supported : unsupported;
}

std::vector<std::string> installation() {
  std::vector<std::string> folders;
  for (const Port::String& folder : Port::KorvanPath::GetInstance())
    folders.push_back(folder.str());
  return folders;
}

void setInstallation(const std::vector<std::string>& folders) { Port::KorvanPath::Set(folders); }

std::vector<ModuleEntry> modules(const ModuleQuery& query) {
  detail::RequireInstallation();
  PM_SPEC lister(nullptr, PM_BINDING_SUPPORTED_ONLY);
  lister.make_list(OrNull(query.key), OrNull(query.value), query.withBaseMode ? 1 : 0);
  const std::vector<std::string> names = detail::Names(lister.begin(false), lister.end(false));
  const char* const* aliased = lister.begin(true);
  std::vector<ModuleEntry> entries;
  for (std::size_t i = 0; i < names.size(); ++i) {
    entries.push_back(EntryOf(names[i], aliased[i], false));
  }
  if (query.withUnsupported) {
    for (const std::string& name : unsupportedModules()) {
      entries.push_back(EntryOf(name, nullptr, true));
    }
  }
  return entries;
}

// The registry tags each entry "VENDOR:" as its list format says; the modules are the names.
std::vector<std::string> unsupportedModules() {
  detail::RequireInstallation();
  pm_specmgr.InitUnsuppPMsOnce();
  std::vector<std::string> names;
  for (const Port::String& listed : pm_specmgr.unsupportedlist()) {
    const std::string text = listed.str();
    const std::string::size_type colon = text.find(':');
    names.push_back(colon == std::string::npos ? text : text.substr(colon + 1));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> architectures(const ArchitectureQuery& query) {
  detail::RequireInstallation();
  PMPicImp lister(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  lister.make_list(OrNull(query.key), OrNull(query.value), query.withBaseMode,
                   query.withConfiguration ? 1 : 0);
  const std::vector<char*>& listed = lister.GetListVector(false);
  return std::vector<std::string>(listed.begin(), listed.end());
}

}  // namespace pmlib
