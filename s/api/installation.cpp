// The installation: its folders through Port::KorvanPath, its modules through an empty PM_SPEC's
// listing and the registry's unsupported list, its architectures through an empty part's.
#include <pmlib/installation.h>

#include <algorithm>

#include "api_support.h"
#include "baspmpic.h"
#include "pmlib/pmpic.h"
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

std::vector<std::string> UnsupportedModules() {
  pm_specmgr.InitUnsuppPMsOnce();
  const std::string tag = "Korvan:";
  std::vector<std::string> names;
  for (const Port::String& listed : pm_specmgr.unsupportedlist()) {
    const std::string text = listed.str();
    names.push_back(text.compare(0, tag.size(), tag) == 0 ? text.substr(tag.size()) : text);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::vector<std::string> installation() {
  std::vector<std::string> folders;
  for (const Port::String& folder : Port::KorvanPath::GetInstance()) folders.push_back(folder.str());
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
    for (const std::string& name : UnsupportedModules()) {
      entries.push_back(EntryOf(name, nullptr, true));
    }
  }
  return entries;
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
