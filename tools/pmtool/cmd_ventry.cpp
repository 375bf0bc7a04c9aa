// pmtool ventry: which function of an architecture library replaces a function of the generic
// code, loaded as a tool would load it.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "baspmdlm.h"
#include "command.h"
#include "module.h"
#include "output.h"
#include "pmlib/pmdevkey.h"
#include "pmlib/pmdlm.h"
#include "pmlib/pmspec.h"

namespace pmtool {
namespace {

const OptionDoc kJson = {"json", nullptr, "print the result as JSON"};

// Why the generic implementation applies to an entry that names no usable replacement.
std::string UnusableReason(const PMVentry& ventry, const char* function) {
  switch (ventry.status) {
    case PMVentryStatus::Absent:
      return "no " + PMVentryPlatformKey(function) + " or " + PMVentryKey(function);
    case PMVentryStatus::Empty:
      return "the entry is empty";
    case PMVentryStatus::NoParen:
      return "malformed entry: no closing parenthesis";
    case PMVentryStatus::NoLibrary:
      return "malformed entry: no library name";
    case PMVentryStatus::Null:
      return "the entry is NULL";
    case PMVentryStatus::Found:
      break;
  }
  return std::string();
}

// What became of one virtual entry.
struct Resolution {
  PMVentry ventry;
  std::string file;    // the library's path; empty when none was found
  bool loaded = false;
  bool replaced = false;
  std::string reason;  // why the generic implementation applies; empty when replaced
};

Resolution Resolve(PM_SPEC& spec, const PM_DEVKEY& store, const char* file, const char* function) {
  Resolution resolution;
  resolution.ventry = PMReadVentry(store, function);
  PM_DLM dlm(&spec);
  const PM_DLM::EntryPoint entry =
      file ? dlm.get_ventrypoint(function, file) : dlm.get_ventrypoint(function, nullptr);
  resolution.replaced = entry != nullptr;
  if (resolution.ventry.status != PMVentryStatus::Found) {
    resolution.reason = UnusableReason(resolution.ventry, function);
    return resolution;
  }
  const char* const library = resolution.ventry.library.c_str();
  if (const char* path = spec.getdllfilename(library)) resolution.file = path;
  const boost::shared_ptr<PM_LIBENT> loaded = PM_DLMMGR::Instance().findlibent(library);
  resolution.loaded = loaded && loaded->isloaded();
  if (resolution.file.empty()) {
    resolution.reason = "library not found";
  } else if (!resolution.loaded) {
    resolution.reason = "library did not load";
  } else if (!resolution.replaced) {
    resolution.reason = "symbol not in the library";
  }
  return resolution;
}

nlohmann::ordered_json TextOrNull(const std::string& text, bool present) {
  return present ? nlohmann::ordered_json(text) : nlohmann::ordered_json();
}

void PrintResolution(const Invocation& invocation, const std::string& arch,
                     const std::string& function, const Resolution& resolution) {
  const PMVentry& ventry = resolution.ventry;
  const bool named = ventry.status == PMVentryStatus::Found;
  const std::vector<std::string> libraries = PM_DLMMGR::Instance().getnames();
  if (invocation.json()) {
    nlohmann::ordered_json result = {{"arch", arch}, {"function", function}};
    result["key"] = TextOrNull(ventry.key, !ventry.key.empty());
    result["entry"] = TextOrNull(ventry.field, !ventry.key.empty());
    result["symbol"] = TextOrNull(ventry.symbol, named);
    result["library"] = TextOrNull(ventry.library, named);
    result["file"] = TextOrNull(resolution.file, !resolution.file.empty());
    result["loaded"] = resolution.loaded;
    result["libraries"] = libraries;
    result["replaced"] = resolution.replaced;
    result["reason"] = TextOrNull(resolution.reason, !resolution.reason.empty());
    PrintJson(result);
    return;
  }
  std::string loadedNames;
  for (const std::string& name : libraries) loadedNames += (loadedNames.empty() ? "" : " ") + name;
  Table table;
  table.add({"function:", function});
  table.add({"key:", ventry.key.empty() ? "(none)" : ventry.key});
  if (!ventry.key.empty()) table.add({"entry:", ventry.field});
  if (named) {
    table.add({"symbol:", ventry.symbol});
    table.add({"library:", ventry.library});
    table.add({"file:", resolution.file.empty() ? "(not found)" : resolution.file});
    table.add({"loaded:", resolution.loaded ? "yes" : "no"});
    table.add({"libraries:", loadedNames.empty() ? "(none)" : loadedNames});
  }
  table.add({"replaced:", resolution.replaced ? "yes" : "no, " + resolution.reason});
  std::cout << table.str();
}

int RunVentry(const Invocation& invocation) {
  const std::string& function = invocation.positional(1);
  const std::unique_ptr<PM_SPEC> spec = LoadModule(invocation.positional(0));
  if (!spec) return kExitProblem;
  const char* const file = invocation.args.getvalue("file");
  std::unique_ptr<PM_DEVKEY> fileStore;
  if (file) {
    fileStore = std::make_unique<PM_DEVKEY>(file, spec.get(), 0, 1, 1);
    if (!fileStore->get_validity()) {
      PrintError("no copy of " + Quoted(file) + " for " + spec->get_pm() + " or its friends");
      return kExitProblem;
    }
  }
  const PM_DEVKEY& store = file ? *fileStore : *spec->get_defdata();
  const Resolution resolution = Resolve(*spec, store, file, function.c_str());
  PrintResolution(invocation, spec->get_pm(), function, resolution);
  if (resolution.replaced) return kExitOk;
  PrintError(Quoted(function) + " keeps its generic implementation for " + spec->get_pm() + ": " +
             resolution.reason);
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
      "With --json: {\"arch\", \"function\", \"key\", \"entry\", \"symbol\", \"library\", \"file\",\n"
      "\"loaded\", \"libraries\", \"replaced\", \"reason\"} (null where there is nothing).\n",
      "  pmtool ventry alpha route     # arch_route in alpha's library arch\n"
      "  pmtool ventry gamma route     # the same library, with gamma's dependency\n"
      "  pmtool ventry alpha pack      # NULL: the generic implementation\n",
      "  0  FUNCTION is replaced: the library loaded and has the symbol\n"
      "  1  ARCH is not usable, or the generic implementation applies\n",
      2,
      2,
      RunVentry};
  return Family{"ventry", "Virtual entries: functions that architecture libraries replace.",
                {std::move(ventry)}};
}

}  // namespace

const Family& VentryFamily() {
  static const Family family = MakeVentryFamily();
  return family;
}

}  // namespace pmtool
