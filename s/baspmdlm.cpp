// Architecture libraries: virtual entries, the registry of loaded libraries and their
// dependency files.
#include "baspmdlm.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include <boost/make_shared.hpp>

#include <pmlib/pmdevkey.h>
#include <pmlib/pmdlm.h>
#include <pmlib/pmspec.h>
#include <pmport/port_dynlib.h>
#include <pmport/port_env.h>

#include "baspmdevkey.h"
#include "pmdefkeys.h"
#include "pmunit.h"

namespace {

constexpr char kUnit[] = "baspmdlm";
using PersonalityModule::Keys::kVentryPrefix;
// Room GetOSEntryPointName may add to a symbol.
constexpr std::size_t kEntryNameRoom = 15;
constexpr short kMaxDependencies = 32767;  // field indexes are shorts

// Constructed at load after this unit's platform initialisation object (pmunit.h above);
// destroyed at unload, which finalises and unloads every library still loaded.
PM_DLMMGR libraryRegistry("PM_DLMMGR");

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

bool IsNullName(const std::string& name) { return Port::stricmp(name.c_str(), "NULL") == 0; }

bool HasNameCharacters(const std::string& libraryName) {
  return std::any_of(libraryName.begin(), libraryName.end(), [](char c) { return !IsBlank(c); });
}

std::string WithoutTrailingBlanks(std::string text) {
  while (!text.empty() && IsBlank(text.back())) text.pop_back();
  return text;
}

std::string ExportedSymbol(const std::string& symbol) {
  std::vector<char> buffer(symbol.length() + kEntryNameRoom);
  return PortDynamicLib::GetOSEntryPointName(symbol.c_str(), buffer.data());
}

// The library names whose loads are under way on this thread, the latest last: a dependency
// chain that comes back to one of them stops there.
thread_local std::vector<std::string> libraryChainInProgress;

class LibraryChainStep {
 public:
  explicit LibraryChainStep(const char* name) { libraryChainInProgress.emplace_back(name); }
  ~LibraryChainStep() { libraryChainInProgress.pop_back(); }
  LibraryChainStep(const LibraryChainStep&) = delete;
  LibraryChainStep& operator=(const LibraryChainStep&) = delete;

  static bool Contains(const char* name) {
    return std::find(libraryChainInProgress.begin(), libraryChainInProgress.end(), name) !=
           libraryChainInProgress.end();
  }
};

// The debug trace of an entry that gives no replacement; false for an entry that names one.
bool TraceUnusable(const PMVentry& ventry, const char* function) {
  const char* const field = ventry.field.c_str();
  switch (ventry.status) {
    case PMVentryStatus::Found:
      return false;
    case PMVentryStatus::Absent:
      Port_MsgManData::debugStub("Ventry not found for function <%s>, using base class.\n",
                                 function);
      break;
    case PMVentryStatus::Empty:
      Port_MsgManData::debugStub("Malformed ventry for function <%s>, using base class.\n",
                                 function);
      break;
    case PMVentryStatus::NoParen:
      Port_MsgManData::debugStub(
          "Malformed ventry <%s> for function <%s> (no closing paren in function symbol), using "
          "base class.\n",
          field, function);
      break;
    case PMVentryStatus::NoLibrary:
      Port_MsgManData::debugStub(
          "Malformed ventry <%s> for function <%s> (no comma separated library entry), using base "
          "class.\n",
          field, function);
      break;
    case PMVentryStatus::Null:
      Port_MsgManData::debugStub("Ventry set to NULL for function <%s>, using base class.\n",
                                 function);
      break;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Virtual entries

std::string PMVentryPlatformKey(const char* function) {
  std::string platform = Port_Env::GetPlatformPath();
  UT_STR::Upper(platform.data());
  return kVentryPrefix + platform + "_" + (function ? function : "");
}

std::string PMVentryKey(const char* function) {
  return kVentryPrefix + std::string(function ? function : "");
}

std::string PMLibraryName(const std::string& text) {
  std::size_t end = 0;
  while (end < text.length() && IsBlank(text[end])) ++end;
  while (end < text.length() && UT_STR::IsAscii(text[end])) ++end;
  return text.substr(0, end);
}

PMVentry PMParseVentryField(const std::string& field) {
  PMVentry ventry;
  ventry.field = field;
  if (field.empty()) {
    ventry.status = PMVentryStatus::Empty;
    return ventry;
  }
  std::string symbol;
  std::string library;
  const std::size_t open = field.find('(');
  if (open != std::string::npos) {
    const std::size_t close = field.find(')', open);
    if (close == std::string::npos) {
      ventry.status = PMVentryStatus::NoParen;
      return ventry;
    }
    symbol = field.substr(0, open);
    // The one character after ")" separates the library name, whatever it is.
    if (close + 2 <= field.length()) library = field.substr(close + 2);
  } else {
    const std::size_t comma = field.find(',');
    if (comma == std::string::npos) {
      ventry.status = PMVentryStatus::NoLibrary;
      return ventry;
    }
    symbol = WithoutTrailingBlanks(field.substr(0, comma));
    library = field.substr(comma + 1);
  }
  ventry.library = PMLibraryName(library);
  if (!HasNameCharacters(ventry.library)) {
    ventry.status = PMVentryStatus::NoLibrary;
    return ventry;
  }
  ventry.symbol = open != std::string::npos ? ExportedSymbol(symbol) : symbol;
  ventry.status = IsNullName(symbol) || IsNullName(ventry.library) ? PMVentryStatus::Null
                                                                   : PMVentryStatus::Found;
  return ventry;
}

PMVentry PMReadVentry(const PM_DEVKEY& store, const char* function) {
  std::string key = PMVentryPlatformKey(function);
  const char* value = PMDevKeyRawValue(store, key.c_str());
  if (!value || !*value) {
    key = PMVentryKey(function);
    value = PMDevKeyRawValue(store, key.c_str());
  }
  if (!value) return PMVentry();
  // Only the first ";"-separated field counts; the rest is a comment.
  PMVentry ventry = PMParseVentryField(store.GetStringByKey(key.c_str(), ';', 0, 0, 0).str());
  ventry.key = key;
  return ventry;
}

// ---------------------------------------------------------------------------------------------
// PM_LIBENT

PM_LIBENT::PM_LIBENT(const char* name, PM_SPEC* spec) : name_(Port::strdup(name ? name : "")) {
  const char* const path = spec ? spec->getdllfilename(getname()) : nullptr;
  if (!path) {
    PM_ISSUE(LibraryMissing, getname());
    return;
  }
  if (!*path) return;
  Port_MsgManData::debugStub("now Creating Personality Module library entry <%s>\n", getname());
  if (!Port::File::exist(path)) {
    PM_ISSUE(LibraryMissing, path);
    return;
  }
  const std::string initEntry = std::string("_init_lib") + getname();
  library_ = std::make_unique<PortDynamicLib>(path, initEntry.c_str(), nullptr);
  if (!library_->isLoaded()) {
    PM_ISSUE(LibraryOpenFailed, path, "an unknown reason");
    return;
  }
  Port_MsgManData::debugStub("Load successful\n");
}

PM_LIBENT::~PM_LIBENT() {
  if (!library_) return;
  const std::string finiEntry = std::string("_fini_lib") + getname();
  library_->unload(finiEntry.c_str());
}

bool PM_LIBENT::isloaded() const { return library_ && library_->isLoaded(); }

// ---------------------------------------------------------------------------------------------
// PM_DLMMGR

PM_DLMMGR::PM_DLMMGR(const char* name) : UT_STATOBJ(name) {}

PM_DLMMGR::~PM_DLMMGR() {
  entries_.clear();
  // Dependencies are registered before the libraries that need them, so releasing the latest
  // first finalises a library while the libraries it relies on are still loaded.
  while (!loadOrder_.empty()) loadOrder_.pop_back();
}

PM_DLMMGR& PM_DLMMGR::Instance() { return libraryRegistry; }

boost::shared_ptr<PM_LIBENT> PM_DLMMGR::findlibent(const char* name) const {
  Port::ThrGuard<Port_ThrMutex> guard(mutex_);
  const auto found = entries_.find(name ? name : "");
  return found == entries_.end() ? boost::shared_ptr<PM_LIBENT>() : *found;
}

std::vector<std::string> PM_DLMMGR::getnames() const {
  Port::ThrGuard<Port_ThrMutex> guard(mutex_);
  std::vector<std::string> names;
  names.reserve(entries_.size());
  for (const auto& entry : entries_) names.emplace_back(entry->getname());
  return names;
}

boost::shared_ptr<PM_LIBENT> PM_DLMMGR::Insert(const boost::shared_ptr<PM_LIBENT>& entry) {
  Port::ThrGuard<Port_ThrMutex> guard(mutex_);
  const auto inserted = entries_.insert(entry);
  if (inserted.second) loadOrder_.push_back(entry);
  return *inserted.first;
}

boost::shared_ptr<PM_LIBENT> PM_DLMMGR::getlibent(const char* name, PM_SPEC* spec) {
  const char* const libraryName = name ? name : "";
  if (boost::shared_ptr<PM_LIBENT> registered = findlibent(libraryName)) return registered;
  if (LibraryChainStep::Contains(libraryName)) {
    Port_MsgManData::debugStub("Library dependencies come back to <%s>; they stop there.\n",
                               libraryName);
    return {};
  }
  const LibraryChainStep step(libraryName);
  // Reading the dependency file and loading happen outside the registry's lock; a library
  // loaded meanwhile by another thread is kept, and this one is released (outside the lock).
  LoadDependencies(libraryName, spec);
  const auto loaded = boost::make_shared<PM_LIBENT>(libraryName, spec);
  return Insert(loaded);
}

void PM_DLMMGR::LoadDependencies(const char* name, PM_SPEC* spec) {
  if (!spec) return;
  const std::string fileName = std::string("lib") + name + ".acd";
  const Port::String path = spec->GetDatafileName(1, fileName.c_str(), true, -1);
  if (path.empty()) return;
  // The store reads the file of the architecture and of each friend, the architecture's winning.
  const PM_DEVKEY store(fileName.c_str(), spec, 1, 1, 1);
  if (!store.get_validity()) {
    PM_ISSUE(BadDependencyFile, path.c_str());
    return;
  }
  for (short index = 0; index < kMaxDependencies; ++index) {
    const Port::String field = store.GetStringByKey("DEPEND", ',', index, 0, 0);
    if (field.empty()) break;
    Port_MsgManData::debugStub("dlibname = <%s>\n", field.c_str());
    const std::string dependency = PMLibraryName(field.str());
    if (HasNameCharacters(dependency)) getlibent(dependency.c_str(), spec);
  }
}

// ---------------------------------------------------------------------------------------------
// PM_DLM

PM_DLM::PM_DLM(PM_SPEC* spec) : spec_(spec) {}

PM_DLM::~PM_DLM() { spec_ = nullptr; }

PM_DLM::EntryPoint PM_DLM::get_ventrypoint(const char* function, PM_DEVKEY* devkey) {
  const char* const name = function ? function : "";
  const PM_DEVKEY* store = devkey ? devkey : (spec_ ? spec_->get_defdata() : nullptr);
  if (!store) {
    Port_MsgManData::debugStub("Generic pm not searched for ventry <%s>, using base class.\n",
                               name);
    return nullptr;
  }
  return Resolve(name, *store);
}

PM_DLM::EntryPoint PM_DLM::get_ventrypoint(const char* function, const char* filename) {
  const PM_DEVKEY store(filename, spec_, 0, 1, 1);
  return Resolve(function ? function : "", store);
}

PM_DLM::EntryPoint PM_DLM::Resolve(const char* function, const PM_DEVKEY& store) {
  const PMVentry ventry = PMReadVentry(store, function);
  if (TraceUnusable(ventry, function)) return nullptr;
  const boost::shared_ptr<PM_LIBENT> entry =
      PM_DLMMGR::Instance().getlibent(ventry.library.c_str(), spec_);
  if (!entry || !entry->isloaded()) return nullptr;
  void* const address = entry->getlib()->getEntryPoint(ventry.symbol.c_str());
  if (!address) {
    PM_ISSUE(MissingLibraryEntry, ventry.library.c_str(), ventry.symbol.c_str());
    return nullptr;
  }
  return reinterpret_cast<EntryPoint>(address);
}
