// pmtool check: the findings, the library's messages collected as findings, and the lint of an
// installation: each module on its own (module_checks.cpp), then the installation-wide aliases and
// pattern files.
#include "checker.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "definition_checks.h"
#include "installation.h"
#include "module.h"
#include "module_checks.h"
#include "output.h"
#include "pmlib/installation.h"
#include "pmlib/pmspec.h"
#include "pmport/port_file.h"
#include "pmport/port_path.h"
#include "pmport/port_regexp.h"

namespace pmtool {
namespace {

// A file of an earlier installation directory used in place of the base installation's copy:
// that is what an overlay installation is for, not a problem.
bool IsOverrideNotice(const Port::Message& message) {
  return message.kind == Port::MsgKind::Warning && message.domain == "Port" &&
         message.text.find(" overrides ") != std::string::npos;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Findings and library messages

void FindingFilter::add(Finding finding) {
  if (!seen_.emplace(finding.file, finding.key, finding.kind, finding.message).second) return;
  sink_(finding);
}

LibraryMessages::LibraryMessages() {
  previous_ = Port::SetMsgHandler([this](const Port::Message& message) {
    if (message.kind == Port::MsgKind::Debug) {
      if (previous_) {
        previous_(message);
      } else {
        Port::DefaultMsgHandler(message);
      }
    } else if (message.kind != Port::MsgKind::Status && !IsOverrideNotice(message)) {
      messages_.push_back(message);
    }
  });
}

LibraryMessages::~LibraryMessages() { Port::SetMsgHandler(previous_); }

std::vector<Port::Message> LibraryMessages::take() {
  std::vector<Port::Message> taken;
  taken.swap(messages_);
  return taken;
}

std::string MessageText(const Port::Message& message) {
  std::string text = message.text;
  std::replace(text.begin(), text.end(), '\n', ' ');
  text.erase(text.find_last_not_of(' ') + 1);
  return "the library says (" + Lowered(Port::MsgKindName(message.kind)) + "): " + text;
}

namespace {

using Names = std::vector<std::string>;

// ---------------------------------------------------------------------------------------------
// The installation as a whole

// Which modules' findings count: all, or those named.
class Concern {
 public:
  Concern(const Names& modules, bool everything)
      : modules_(modules.begin(), modules.end()), everything_(everything) {}
  bool operator()(const std::string& arch) const {
    return everything_ || modules_.count(Lowered(arch)) != 0;
  }

 private:
  std::set<std::string> modules_;
  bool everything_;
};

// The alias of a module and where it is written.
struct ModuleAlias {
  std::string module;
  std::string alias;
  std::string file;
  std::string key;
};

std::vector<ModuleAlias> Aliases(Definitions& definitions, const Names& modules) {
  std::vector<ModuleAlias> aliases;
  for (const std::string& module : modules) {
    const std::optional<std::string> definition = pmlib::locateModule(module).definition;
    if (!definition) continue;
    const StaticAcdRead& reader = definitions.Read(*definition);
    const std::string key = "ALIAS_" + Value(reader, kKeyArchName);
    const std::string alias = Value(reader, key);
    if (!alias.empty()) aliases.push_back({module, alias, *definition, key});
  }
  return aliases;
}

// An alias stands for one module: it must be no other module's alias and no other module's name.
void CheckAliases(Definitions& definitions, const Names& installed, const Concern& concerns,
                  FindingFilter& findings) {
  const std::vector<ModuleAlias> aliases = Aliases(definitions, installed);
  std::map<std::string, Names> modulesByAlias;
  for (const ModuleAlias& alias : aliases) modulesByAlias[alias.alias].push_back(alias.module);
  const std::set<std::string> modules(installed.begin(), installed.end());
  for (const ModuleAlias& alias : aliases) {
    if (!concerns(alias.module)) continue;
    for (const std::string& other : modulesByAlias[alias.alias]) {
      if (other == alias.module) continue;
      findings.add({alias.file, alias.key, alias.module, "alias-collision",
                    "the alias " + Quoted(alias.alias) + " is also the alias of " + other});
    }
    if (alias.alias != alias.module && modules.count(alias.alias)) {
      findings.add({alias.file, alias.key, alias.module, "alias-collision",
                    "the alias " + Quoted(alias.alias) + " is the name of another module"});
    }
  }
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Each "ARCH=EXPRESSION" line of every root's pattern file must compile.
void CheckPatternFiles(const Concern& concerns, FindingFilter& findings) {
  for (const std::string& root : pmlib::installation()) {
    const std::string path = root + "/data/patternfile";
    if (!Port::File::exist(path.c_str())) continue;
    const std::unique_ptr<Port::Stream, void (*)(Port::Stream*)> stream(
        Port::File::open(path.c_str(), Port::File::Read, true), Port::File::close);
    if (!stream) {
      findings.add({path, "", "", "bad-pattern", "cannot be read: " + UnreadableReason(path)});
      continue;
    }
    std::string line;
    for (int number = 1; stream->readline(line); ++number) {
      const auto equals = line.find('=');
      if (equals == std::string::npos) continue;
      const std::string arch = Trimmed(line.substr(0, equals));
      const std::string expression = Trimmed(line.substr(equals + 1));
      if (arch.empty() || !concerns(arch)) continue;
      if (!Port::IsPlainName(arch)) {
        findings.add({path, arch, arch, "bad-name",
                      "line " + std::to_string(number) + ": " + Quoted(arch) +
                          " is no architecture name; the library ignores the line"});
        continue;
      }
      if (Port_Regexp(expression.c_str()).GetStatus() == 0) continue;
      findings.add({path, arch, arch, "bad-pattern",
                    "line " + std::to_string(number) + ": the expression " + Quoted(expression) +
                        " does not compile"});
    }
  }
}

}  // namespace

Names ModulesToCheck(const Names& names) {
  pm_specmgr.InitUnsuppPMsOnce();
  if (names.empty()) return pmlib::moduleFolders();
  const LibraryMessages quiet;
  Names modules;
  for (const std::string& name : names) {
    const std::string module = Lowered(ResolveModuleName(name));
    if (std::find(modules.begin(), modules.end(), module) == modules.end()) {
      modules.push_back(module);
    }
  }
  return modules;
}

void CheckInstallationEntries(FindingFilter& findings) {
  for (const BrokenEntry& broken : BrokenInstallationEntries()) {
    findings.add({broken.entry, "", "", "bad-install-entry", broken.problem});
  }
}

void LintInstallation(const Names& modules, bool everything, FindingFilter& findings) {
  CheckInstallationEntries(findings);
  Definitions definitions;
  LintModules(modules, definitions, findings);
  const Concern concerns(modules, everything);
  CheckAliases(definitions, pmlib::moduleFolders(), concerns, findings);
  CheckPatternFiles(concerns, findings);
  CheckDefinitionNames(concerns, findings);
}

}  // namespace pmtool
