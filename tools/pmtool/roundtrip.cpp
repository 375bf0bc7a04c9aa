// pmtool check --roundtrip: every part name the installation offers, composed by the library and
// parsed back the way a design tool parses it. The device formats of different architectures
// can claim each other's names (the first architecture in list order wins); this shows where.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "checker.h"
#include "definition_checks.h"
#include "output.h"
#include "partwalk.h"
#include "pmlib/error.h"
#include "pmlib/installation.h"
#include "pmlib/part.h"
#include "pmlib/pmdevkey.h"
#include "pmlib/pmpic.h"

namespace pmtool {
namespace {

using Names = std::vector<std::string>;

// The levels of a part; empty where it has none.
struct PartLevels {
  std::string arch, device, package, speed;
};

std::string TextOf(const char* text) { return text ? text : ""; }

PartLevels LevelsOf(const PM_PIC& part) {
  return {TextOf(part.get_arch()), TextOf(part.get_device()), TextOf(part.get_package()),
          TextOf(part.get_speed())};
}

bool SameLevel(const std::string& a, const std::string& b) {
  return Port::stricmp(a.c_str(), b.c_str()) == 0;
}

bool SameParts(const PartLevels& a, const PartLevels& b) {
  return a.arch == b.arch && SameLevel(a.device, b.device) && SameLevel(a.package, b.package) &&
         SameLevel(a.speed, b.speed);
}

std::string Described(const PartLevels& levels) {
  if (levels.arch.empty()) return "no architecture";
  std::string text = levels.arch;
  for (const std::string* level : {&levels.device, &levels.package, &levels.speed}) {
    text += " " + (level->empty() ? std::string("(none)") : *level);
  }
  return text;
}

// The architectures part names can bind to, as the parser lists them: physical ones with device
// data, base and configuration architectures included.
Names ParsedArchitectures() {
  const pmlib::ArchitectureQuery parsed{"DEVICE_FORMAT", std::nullopt, true, true};
  Names archs;
  for (const std::string& entry : pmlib::architectures(parsed)) {
    const std::string::size_type colon = entry.find(':');
    if (colon == std::string::npos || colon + 1 == entry.size()) continue;
    archs.push_back(entry.substr(colon + 1));
  }
  return archs;
}

std::string DefinitionOf(const PM_PIC& part) {
  const PM_DEVKEY* store = part.get_defdata();
  return store ? store->getlocation() : std::string();
}

class RoundTrip {
 public:
  explicit RoundTrip(FindingFilter& findings) : findings_(findings) {}

  void Architecture(const std::string& arch) {
    std::optional<pmlib::Part> part;
    try {
      part = pmlib::Part::fromLevels(arch, std::nullopt, std::nullopt, std::nullopt,
                                     pmlib::Unsupported::Refused);
    } catch (const pmlib::Error&) {
      ReportMessages("", "", arch);  // the library has said why the module does not load
      return;
    }
    const std::string file = DefinitionOf(part->handle());
    ReportMessages(file, "", arch);
    ForEachPartName(part->handle(),
                    [&](const PM_PIC& made, const std::string& name) { Name(made, name, file); });
    ReportMessages(file, "", arch);
  }

  std::size_t names() const { return names_; }

 private:
  void Name(const PM_PIC& made, const std::string& name, const std::string& file) {
    const PartLevels from = LevelsOf(made);
    ReportMessages(file, "", from.arch);
    ++names_;
    const PM_PIC parsed(name.c_str(), 1, PM_BINDING_SUPPORTED_ONLY);
    const PartLevels to = LevelsOf(parsed);
    ReportMessages(file, name, from.arch);
    if (SameParts(from, to)) return;
    findings_.add({file, name, from.arch, "roundtrip",
                   "made from " + Described(from) + ", binds to " + Described(to)});
  }

  void ReportMessages(const std::string& file, const std::string& key, const std::string& arch) {
    for (const Port::Message& message : messages_.take()) {
      findings_.add({file, key, arch, "library-message", MessageText(message)});
    }
  }

  FindingFilter& findings_;
  LibraryMessages messages_;
  std::size_t names_ = 0;
};

}  // namespace

std::size_t RoundTripPartNames(const Names& modules, bool everything, FindingFilter& findings) {
  CheckInstallationEntries(findings);
  RoundTrip roundTrip(findings);
  const Names archs = ParsedArchitectures();
  for (const std::string& arch : archs) {
    if (everything || std::find(modules.begin(), modules.end(), arch) != modules.end()) {
      roundTrip.Architecture(arch);
    }
  }
  // A module named, or one that declares devices, that part names cannot reach offers none.
  for (const std::string& module : everything ? ModulesWithDevices() : modules) {
    if (std::find(archs.begin(), archs.end(), module) != archs.end()) continue;
    const PM_SPEC spec(module.c_str(), PM_BINDING_ALLOW_UNSUPPORTED);
    const std::string file = spec.get_defdata() ? spec.get_defdata()->getlocation() : module;
    findings.add({file, "", module, "no-part-names",
                  "part names never bind to " + module +
                      ": it is no physical architecture with device data and a DEVICE_FORMAT"});
  }
  return roundTrip.names();
}

}  // namespace pmtool
