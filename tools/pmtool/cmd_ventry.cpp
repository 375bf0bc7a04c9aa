// pmtool ventry: which function of an architecture library replaces a function of the generic
// code, loaded as a tool would load it.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "module.h"
#include "output.h"
#include "pmlib/error.h"
#include "pmlib/module.h"
#include "pmlib/pmdlm.h"

namespace pmtool {
namespace {

const OptionDoc kJson = {"json", nullptr, "print the result as JSON"};

nlohmann::ordered_json TextOrNull(const std::string& text, bool present) {
  return present ? nlohmann::ordered_json(text) : nlohmann::ordered_json();
}

void PrintResolution(const Invocation& invocation, const std::string& arch,
                     const pmlib::VirtualEntry& entry) {
  const bool named = entry.form == pmlib::EntryForm::Named;
  const std::vector<std::string> libraries = PM_DLMMGR::Instance().getnames();
  if (invocation.json()) {
    nlohmann::ordered_json result = {{"arch", arch}, {"function", entry.function}};
    result["key"] = TextOrNull(entry.key.value_or(""), entry.key.has_value());
    result["entry"] = TextOrNull(entry.field.value_or(""), entry.key.has_value());
    result["symbol"] = TextOrNull(entry.symbol.value_or(""), named);
    result["library"] = TextOrNull(entry.library.value_or(""), named);
    result["file"] = TextOrNull(entry.libraryFile.value_or(""), entry.libraryFile.has_value());
    result["loaded"] = entry.loaded;
    result["libraries"] = libraries;
    result["replaced"] = entry.resolves;
    result["reason"] = TextOrNull(entry.reason, !entry.reason.empty());
    PrintJson(result);
    return;
  }
  std::string loadedNames;
  for (const std::string& name : libraries) loadedNames += (loadedNames.empty() ? "" : " ") + name;
  Table table;
  table.add({"function:", entry.function});
  table.add({"key:", entry.key.value_or("(none)")});
  if (entry.key) table.add({"entry:", entry.field.value_or("")});
  if (named) {
    table.add({"symbol:", *entry.symbol});
    table.add({"library:", *entry.library});
    table.add({"file:", entry.libraryFile.value_or("(not found)")});
    table.add({"loaded:", entry.loaded ? "yes" : "no"});
    table.add({"libraries:", loadedNames.empty() ? "(none)" : loadedNames});
  }
  table.add({"replaced:", entry.resolves ? "yes" : "no, " + entry.reason});
  std::cout << table.str();
}

// The entry of `function` for the module `name`, read from `file` when one is given; empty after
// saying why not.
std::optional<pmlib::VirtualEntry> EntryOf(const std::string& name, const std::string& function,
                                           const char* file) {
  try {
    const pmlib::Module module(name, pmlib::Unsupported::Allowed);
    if (!file) return module.virtualEntry(function);
    std::optional<pmlib::VirtualEntry> entry = module.virtualEntry(function, file);
    if (!entry) PrintError("no copy of " + Quoted(file) + " for " + name + " or its friends");
    return entry;
  } catch (const pmlib::Error& error) {
    PrintError(error.message());
    return std::nullopt;
  }
}

int RunVentry(const Invocation& invocation) {
  const std::string& function = invocation.positional(1);
  const std::unique_ptr<PM_SPEC> spec = LoadModule(invocation.positional(0));
  if (!spec) return kExitProblem;
  const std::string arch = spec->get_pm();
  const std::optional<pmlib::VirtualEntry> entry =
      EntryOf(arch, function, invocation.args.getvalue("file"));
  if (!entry) return kExitProblem;
  PrintResolution(invocation, arch, *entry);
  if (entry->resolves) return kExitOk;
  PrintError(Quoted(function) + " keeps its generic implementation for " + arch + ": " +
             entry->reason);
  return kExitProblem;
}

Family MakeVentryFamily() {
  Command ventry{
      "",
      "ARCH FUNCTION",
      "show which library function replaces FUNCTION for a module, and load it",
      {{"file", "NAME", "read the entry from definition-format file NAME instead"}, kJson},
      "Reads the virtual entry of FUNCTION for the personality module ARCH (its definition\n"
      "merged with its friends): the key VENTRY_<PLATFORM>_FUNCTION, else VENTRY_FUNCTION. The\n"
      "entry names a symbol and a library, \"symbol(...),library\" or \"symbol,library\"; only\n"
      "its first \";\"-separated field counts. The library is then loaded as a tool would load\n"
      "it, after the libraries its dependency file lib<library>.acd lists under DEPEND, and the\n"
      "symbol is looked up. Shows the key, the entry, the symbol, the library and its file,\n"
      "whether it loaded, every library loaded, and whether FUNCTION is replaced; when it is\n"
      "not, the generic implementation applies and the reason is given.\n"
      "\n"
      "With --json: {\"arch\", \"function\", \"key\", \"entry\", \"symbol\", \"library\", "
      "\"file\",\n"
      "\"loaded\", \"libraries\", \"replaced\", \"reason\"} (null where there is nothing).\n",
      "  pmtool ventry alpha route     # arch_route in alpha's library arch\n"
      "  pmtool ventry gamma route     # the same library, with gamma's dependency\n"
      "  pmtool ventry alpha pack      # NULL: the generic implementation\n",
      "  0  FUNCTION is replaced: the library loaded and has the symbol\n"
      "  1  ARCH is not usable, or the generic implementation applies\n",
      2,
      2,
      RunVentry};
  return Family{"ventry",
                "Virtual entries: functions that architecture libraries replace.",
                {std::move(ventry)}};
}

}  // namespace

const Family& VentryFamily() {
  static const Family family = MakeVentryFamily();
  return family;
}

}  // namespace pmtool
