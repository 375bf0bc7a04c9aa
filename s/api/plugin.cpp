// A module's virtual entries and plug-in libraries: the entry read with the library's own
// reader, resolved through PM_DLM, its library looked up in the process-wide registry.
#include <set>

#include <pmlib/module.h>

#include "api_support.h"
#include "baspmdlm.h"
#include "pmlib/pmdevkey.h"
#include "pmlib/pmdlm.h"
#include "pmlib/pmpic.h"

namespace pmlib {

namespace {

EntryForm FormOf(PMVentryStatus status) {
  switch (status) {
    case PMVentryStatus::Found:
      return EntryForm::Named;
    case PMVentryStatus::Empty:
      return EntryForm::Empty;
    case PMVentryStatus::NoParen:
      return EntryForm::NoParen;
    case PMVentryStatus::NoLibrary:
      return EntryForm::NoLibrary;
    case PMVentryStatus::Null:
      return EntryForm::Null;
    case PMVentryStatus::Absent:
      break;
  }
  return EntryForm::Absent;
}

// Why the generic implementation applies to an entry that names no usable replacement.
std::string UnusableReason(EntryForm form, const std::string& function) {
  switch (form) {
    case EntryForm::Absent:
      return "no " + PMVentryPlatformKey(function.c_str()) + " or " + PMVentryKey(function.c_str());
    case EntryForm::Empty:
      return "the entry is empty";
    case EntryForm::NoParen:
      return "malformed entry: no closing parenthesis";
    case EntryForm::NoLibrary:
      return "malformed entry: no library name";
    case EntryForm::Null:
      return "the entry is NULL";
    case EntryForm::Named:
      break;
  }
  return std::string();
}

std::optional<std::string> Given(const std::string& text) {
  if (text.empty()) return std::nullopt;
  return text;
}

// What the library's reader made of an entry, before anything is loaded.
VirtualEntry EntryOf(const PMVentry& read) {
  VirtualEntry entry;
  entry.form = FormOf(read.status);
  entry.key = Given(read.key);
  entry.field =
      read.status == PMVentryStatus::Absent ? std::nullopt : std::optional<std::string>(read.field);
  if (entry.form == EntryForm::Named) {
    entry.symbol = read.symbol;
    entry.library = read.library;
  }
  return entry;
}

VirtualEntry ReadEntry(const PM_DEVKEY& store, const std::string& function) {
  VirtualEntry entry = EntryOf(PMReadVentry(store, function.c_str()));
  entry.function = function;
  return entry;
}

// Resolves `entry` as PM_DLM does (through `file` when the entry was read from one) and says why
// the generic implementation applies, if it does.
void ResolveEntry(PM_PIC& spec, VirtualEntry& entry, const char* file = nullptr) {
  PM_DLM dlm(&spec);
  entry.resolves = dlm.get_ventrypoint(entry.function.c_str(), file) != nullptr;
  if (entry.form != EntryForm::Named) {
    entry.reason = UnusableReason(entry.form, entry.function);
    return;
  }
  entry.libraryFile = detail::Text(spec.getdllfilename(entry.library->c_str()));
  const boost::shared_ptr<PM_LIBENT> registered =
      PM_DLMMGR::Instance().findlibent(entry.library->c_str());
  entry.loaded = registered && registered->isloaded();
  if (!entry.libraryFile) {
    entry.reason = "library not found";
  } else if (!entry.loaded) {
    entry.reason = "library did not load";
  } else if (!entry.resolves) {
    entry.reason = "symbol not in the library";
  }
}

// The function a virtual-entry key names: "VENTRY_<PLATFORM>_f" and "VENTRY_f" both name f.
std::optional<std::string> FunctionOfKey(const std::string& key) {
  const std::string platformPrefix = PMVentryPlatformKey("");
  const std::string plainPrefix = PMVentryKey("");
  for (const std::string& prefix : {platformPrefix, plainPrefix}) {
    if (key.size() > prefix.size() && key.compare(0, prefix.size(), prefix) == 0) {
      return key.substr(prefix.size());
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<VirtualEntry> Module::virtualEntries() const {
  const PM_DEVKEY* const store = handle().get_defdata();
  std::set<std::string> functions;
  for (auto keyValue = store->begin(); keyValue != store->end(); ++keyValue) {
    if (const auto function = FunctionOfKey(keyValue->first.get())) functions.insert(*function);
  }
  std::vector<VirtualEntry> entries;
  for (const std::string& function : functions) entries.push_back(virtualEntry(function));
  return entries;
}

VirtualEntry Module::virtualEntry(std::string_view function) const {
  VirtualEntry entry = ReadEntry(*handle().get_defdata(), detail::Terminated(function));
  ResolveEntry(handle(), entry);
  return entry;
}

std::optional<VirtualEntry> Module::virtualEntry(std::string_view function,
                                                 std::string_view file) const {
  const std::string fileName = detail::Terminated(file);
  const PM_DEVKEY store(fileName.c_str(), &handle(), 0, 1, 1);
  if (!store.get_validity()) return std::nullopt;
  VirtualEntry entry = ReadEntry(store, detail::Terminated(function));
  ResolveEntry(handle(), entry, fileName.c_str());
  return entry;
}

std::string virtualEntryKey(std::string_view function, bool platform) {
  const std::string name = detail::Terminated(function);
  return platform ? PMVentryPlatformKey(name.c_str()) : PMVentryKey(name.c_str());
}

VirtualEntry parseVirtualEntry(std::string_view field) {
  return EntryOf(PMParseVentryField(detail::Terminated(field)));
}

Library Module::library(std::string_view name) const {
  Library library;
  library.name = detail::Terminated(name);
  library.file = detail::Text(handle().getdllfilename(library.name.c_str()));
  const std::string dependencyFile = "lib" + library.name + ".acd";
  if (handle().GetDatafileName(1, dependencyFile.c_str(), true, -1).empty()) return library;
  const PM_DEVKEY store(dependencyFile.c_str(), &handle(), 1, 1, 1);
  const short count = store.GetMaxIndex("DEPEND", ',', 0).first;
  for (short index = 0; index < count; ++index) {
    const std::string dependency =
        PMLibraryName(store.GetStringByKey("DEPEND", ',', index, 0, 0).str());
    if (!dependency.empty()) library.dependencies.push_back(dependency);
  }
  return library;
}

}  // namespace pmlib
