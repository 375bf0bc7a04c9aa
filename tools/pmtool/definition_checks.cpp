// pmtool check: the faults a definition file shows on its own, and those of definitions across
// the installation. Only the public API: definitions are read as files (readDefinitionFile), so
// that a module the library would refuse can still be looked at.
#include "definition_checks.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include "module_checks.h"
#include "output.h"
#include "pmlib/datafile.h"
#include "pmlib/error.h"
#include "pmlib/installation.h"
#include "pmlib/module.h"

namespace pmtool {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;
using Keys = std::vector<std::pair<std::string, std::string>>;

const char kArchType[] = "ARCH_TYPE";
const char kSupportMode[] = "SUPPORT_MODE";
const char kDeviceInternal[] = "DEVICE_INTERNAL";
const char kSubfamSpecs[] = "SUBFAM_SPECS";
const char kSubfamNames[] = "SUBFAM_NAMES";

// A key farther than this many edits from every key the library reads is some design tool's.
const std::size_t kMisspellingDistance = 2;

std::optional<std::string> OwnValue(const Keys& keys, const std::string& key) {
  const auto found = std::find_if(keys.begin(), keys.end(),
                                  [&](const auto& keyValue) { return keyValue.first == key; });
  if (found == keys.end()) return std::nullopt;
  std::string value = found->second;
  value.erase(0, value.find_first_not_of(" \t"));
  value.erase(value.find_last_not_of(" \t") + 1);
  return value;
}

std::string Uppered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Edits (insert, delete, replace, swap of neighbours) from `a` to `b`.
std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

// The key the library reads that `key` is likely a misspelling of; empty for a key it reads, a
// key of a family it reads, or one too far from all of them (a design tool's).
std::string LikelyMeant(const std::string& key) {
  const Names& known = pmlib::definitionKeys();
  if (std::find(known.begin(), known.end(), key) != known.end()) return std::string();
  for (const std::string& prefix : pmlib::definitionKeyPrefixes()) {
    if (StartsWith(key, prefix)) return std::string();
  }
  std::string closest;
  std::size_t best = kMisspellingDistance + 1;
  for (const std::string& candidate : known) {
    const std::size_t distance = EditDistance(Uppered(key), candidate);
    if (distance < best) {
      best = distance;
      closest = candidate;
    }
  }
  return closest;
}

std::size_t CountOf(const std::string& list) {
  return static_cast<std::size_t>(std::count(list.begin(), list.end(), ',')) + 1;
}

class OwnDefinition {
 public:
  OwnDefinition(std::string module, std::string path, const Keys& keys, FindingFilter& findings)
      : module_(std::move(module)), path_(std::move(path)), keys_(keys), findings_(findings) {}

  void Report(const std::string& key, const char* kind, const std::string& message) {
    findings_.add({path_, key, module_, kind, message});
  }

  void CheckSpelling() {
    for (const auto& keyValue : keys_) {
      const std::string meant = LikelyMeant(keyValue.first);
      if (meant.empty()) continue;
      Report(keyValue.first, "misspelled-key",
             "the library reads no key " + keyValue.first + ": did you mean " + meant + "?");
    }
  }

  // The parser takes a module for an architecture only when its own SUPPORT_MODE says
  // PHYSICAL: a friend's value is not asked.
  void CheckSupportMode() {
    const std::optional<std::string> devices = OwnValue(keys_, kDeviceInternal);
    if (!devices || devices->empty()) return;
    const std::optional<std::string> mode = OwnValue(keys_, kSupportMode);
    if (!mode || mode->empty()) {
      Report(kSupportMode, "missing-key",
             "the module declares devices but has no SUPPORT_MODE of its own (a friend's is not "
             "used for it), so part names never bind to it: add SUPPORT_MODE = PHYSICAL");
    } else if (Uppered(*mode) != "PHYSICAL" && Uppered(*mode) != "LOGICAL") {
      Report(kSupportMode, "bad-value",
             Quoted(*mode) +
                 " is no support mode, so part names never bind to the module: "
                 "write PHYSICAL (an architecture with devices) or LOGICAL");
    }
  }

  bool CheckArchType() {
    const std::optional<std::string> type = OwnValue(keys_, kArchType);
    if (!type || type->empty()) return true;
    const std::string upper = Uppered(*type);
    if (upper == "FPGA" || upper == "CPLD" || upper == "CONFIG") return true;
    Report(kArchType, "bad-value",
           Quoted(*type) +
               " is no architecture type, so the library refuses the module: "
               "write FPGA, CPLD or CONFIG");
    return false;
  }

  // Entry i of SUBFAM_NAMES names the subfamily of entry i of SUBFAM_SPECS.
  void CheckSubfamilies() {
    const std::optional<std::string> specs = OwnValue(keys_, kSubfamSpecs);
    const std::optional<std::string> names = OwnValue(keys_, kSubfamNames);
    if (!specs || !names || CountOf(*specs) == CountOf(*names)) return;
    Report(kSubfamNames, "bad-subfamily",
           std::to_string(CountOf(*names)) + " names for " + std::to_string(CountOf(*specs)) +
               " entries of SUBFAM_SPECS: give each specifier its name, in the same order");
  }

 private:
  std::string module_;
  std::string path_;
  const Keys& keys_;
  FindingFilter& findings_;
};

// Whether some name of a device has a file with `extension` in the module's or a friend's
// data folders.
bool HasFile(const pmlib::Module& module, const Names& names, const std::string& extension) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
    return module.dataFile(name + extension).has_value();
  });
}

Keys OwnKeysOf(const std::string& module) {
  const pmlib::ModuleLocation location = pmlib::locateModule(module);
  if (!location.definition) return Keys();
  return pmlib::readDefinitionFile(*location.definition).keys;
}

// A data folder of `root` that holds .acd files but no definition named after the folder.
void CheckDefinitionFileNames(const fs::path& modulesDir,
                              const std::function<bool(const std::string&)>& concerns,
                              FindingFilter& findings) {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(modulesDir, error)) {
    const std::string folder = entry.path().filename().string();
    const fs::path data = entry.path() / "data";
    if (!concerns(folder) || !fs::is_directory(data, error) ||
        fs::exists(data / (folder + ".acd"), error) || fs::exists(data / "qordata.etc", error)) {
      continue;
    }
    for (const fs::directory_entry& file : fs::directory_iterator(data, error)) {
      const std::string name = file.path().filename().string();
      if (file.path().extension() != ".acd" || StartsWith(name, "lib")) continue;
      findings.add({file.path().string(), "", folder, "misnamed-definition",
                    "the definition of the folder " + Quoted(folder) + " must be named " + folder +
                        ".acd (the folder's name, in the same case): the library "
                        "finds no module here; rename the file or the folder"});
    }
  }
}

// The file a device's data files are named after: its first internal name.
const std::string& FileNameOf(const Names& group) { return group.size() > 1 ? group[1] : group[0]; }

std::string NoDeviceFile(const Names& group) {
  return group.front() +
         ": no device file (.nph) under any of its names, so no FPGA part of it "
         "is valid (only a configuration part, pmtool part --config): add " +
         FileNameOf(group) + ".nph";
}

// The groups of the module's DEVICE_INTERNAL (friends merged) when it is a supported FPGA
// module, whose devices need their device files; empty otherwise.
std::vector<Names> FpgaDeviceTable(const pmlib::Module& module) {
  if (module.unsupported() || module.type() != pmlib::ModuleType::FPGA) return {};
  const std::optional<std::string> table = module.value(kDeviceInternal);
  return table ? pmlib::deviceTable(*table) : std::vector<Names>();
}

}  // namespace

bool CheckOwnDefinition(const std::string& module, const std::string& definition,
                        FindingFilter& findings) {
  const pmlib::DefinitionFile file = pmlib::readDefinitionFile(definition);
  OwnDefinition own(module, definition, file.keys, findings);
  own.CheckSpelling();
  own.CheckSupportMode();
  own.CheckSubfamilies();
  return own.CheckArchType();
}

void CheckDeviceFilesOfModule(const std::string& name, FindingFilter& findings) {
  try {
    const pmlib::Module module(name, pmlib::Unsupported::Allowed);
    for (const Names& group : FpgaDeviceTable(module)) {
      if (group.empty() || group.front().empty()) continue;
      const bool deviceFile = HasFile(module, group, ".nph");
      const bool packages = HasFile(module, group, ".pkg");
      const bool speeds = HasFile(module, group, ".spd");
      if ((packages || speeds) && !deviceFile) {
        findings.add({module.definition(), kDeviceInternal, name, "missing-device-file",
                      NoDeviceFile(group)});
      } else if (deviceFile && !packages && !speeds) {
        findings.add({module.definition(), kDeviceInternal, name, "incomplete-device-data",
                      group.front() +
                          ": a device file but no package or speed file, so no "
                          "part of it is valid: add " +
                          FileNameOf(group) + ".pkg and " + FileNameOf(group) + ".spd"});
      }
    }
  } catch (const pmlib::Error&) {
    // The module does not open: its other findings say why.
  }
}

std::string MissingDeviceFileProblem(const std::string& arch, const std::string& typed) {
  try {
    const pmlib::Module module(arch, pmlib::Unsupported::Allowed);
    for (const Names& group : FpgaDeviceTable(module)) {
      const bool named = std::any_of(group.begin(), group.end(), [&](const std::string& name) {
        return Lowered(name) == Lowered(typed);
      });
      if (named && !HasFile(module, group, ".nph")) return NoDeviceFile(group);
    }
  } catch (const pmlib::Error&) {
  }
  return std::string();
}

void CheckDefinitionNames(const std::function<bool(const std::string&)>& concerns,
                          FindingFilter& findings) {
  for (const std::string& root : pmlib::installation()) {
    CheckDefinitionFileNames(root, concerns, findings);
    CheckDefinitionFileNames(fs::path(root) / "data" / "unsupported", concerns, findings);
  }
  // The library keeps package and speed lists by device name across the installation.
  std::map<std::string, Names> modulesByDevice;
  const Names modules = pmlib::moduleFolders();
  for (const std::string& module : modules) {
    const std::optional<std::string> table = OwnValue(OwnKeysOf(module), kDeviceInternal);
    if (!table) continue;
    std::set<std::string> devices;
    for (const Names& group : pmlib::deviceTable(*table)) {
      if (!group.empty() && !group.front().empty()) devices.insert(Lowered(group.front()));
    }
    for (const std::string& device : devices) modulesByDevice[device].push_back(module);
  }
  for (const auto& [device, declaring] : modulesByDevice) {
    for (const std::string& module : declaring) {
      if (declaring.size() < 2 || !concerns(module)) continue;
      Names others;
      for (const std::string& other : declaring) {
        if (other != module) others.push_back(other);
      }
      std::string list;
      for (const std::string& other : others) list += (list.empty() ? "" : ", ") + other;
      findings.add({*pmlib::locateModule(module).definition, kDeviceInternal, module,
                    "device-clash",
                    device + " is also a device of " + list +
                        ": package and speed lists are "
                        "kept by device name across the installation, so the modules would share "
                        "them; give the device a name of its own"});
    }
  }
}

Names ModulesWithDevices() {
  Names modules;
  for (const std::string& module : pmlib::moduleFolders()) {
    if (pmlib::locateModule(module).unsupported) continue;
    const Keys keys = OwnKeysOf(module);
    const std::optional<std::string> devices = OwnValue(keys, kDeviceInternal);
    const std::optional<std::string> mode = OwnValue(keys, kSupportMode);
    if (devices && !devices->empty() && Uppered(mode.value_or("")) != "LOGICAL") {
      modules.push_back(module);
    }
  }
  return modules;
}

}  // namespace pmtool
