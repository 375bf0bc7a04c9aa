// Personality module specifications: name resolution and aliases, location and loading of the
// definition with its friend chain, the module registry, listing, and data-file lookup.
#include "baspmspec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include <boost/make_shared.hpp>

#include <pmport/port_dynlib.h>
#include <pmport/port_env.h>
#include <pmport/port_file.h>
#include <pmport/port_msg.h>
#include <pmport/port_path.h>
#include <pmport/port_thread.h>

#include "baspmdevkey.h"
#include "pmlayout.h"
#include "pmlockedmap.h"
#include "pmunit.h"

namespace Layout = PersonalityModule::Layout;

namespace {
constexpr char kUnit[] = "baspmspec";
}  // namespace

// Constructed at load after this unit's platform initialisation object (defined by pmunit.h
// above). Nothing reads it while the library loads; every reader runs after load.
PM_SPECMGR pm_specmgr("PM_SPECMGR");

namespace {

constexpr char kUnsupportedTag[] = "Korvan:";
constexpr char kOverrideCategory[] = "PMSPEC";
constexpr std::size_t kReservedNames = 10;

const Port::PathList& Installation() { return Port::KorvanPath::GetInstance(); }

bool IsBase(const char* name) { return name && std::strcmp(name, "base") == 0; }

bool SameIgnoringCase(const Port::String& a, const char* b) { return a.Compare(b, 1) == 0; }

// A raw key value (null for none) as a lookup of the whole value gives it: without its outer
// blanks.
std::string_view WholeField(const char* raw) {
  return Sfp_ACD::AddressField(raw ? std::string_view(raw) : std::string_view(), '\0', 0, '\0', 0);
}

Port::String WholeValue(const char* raw) {
  const std::string_view field = WholeField(raw);
  return Port::String(field.data(), field.size());
}

// The friend merges already done: (stamp of the store's reader after the merge, stamp of the
// friend's reader). Every specification of an architecture merges the same friend into the same
// shared reader; while neither reader has changed since, merging again would add nothing, and
// the merge is the larger part of setting an architecture that is already loaded.
class FriendMerges {
 public:
  bool Done(const StaticAcdRead* store, const StaticAcdRead* friendReader) {
    return done_.find({store->version(), friendReader->version()}).has_value();
  }
  void Remember(const StaticAcdRead* store, const StaticAcdRead* friendReader) {
    done_.insert({store->version(), friendReader->version()}, true);
  }

 private:
  PersonalityModule::LockedMap<std::pair<std::uint64_t, std::uint64_t>, bool> done_;
};

FriendMerges& MergesDone() {
  static FriendMerges merges;
  return merges;
}

using Port::Lowered;

// Reports that `pathUsed` overrides `pathInLast`. A file is looked up many times (locating a
// module, opening its definition, every store of it), so each override is reported once per
// process.
void IssueOverride(const Port::String& pathInLast, const Port::String& pathUsed) {
  static PersonalityModule::LockedMap<std::pair<std::string, std::string>, bool> reported;
  if (!reported.insert({pathInLast.str(), pathUsed.str()}, true)) return;
  Port_Env::IssueOverrideMessage(pathInLast.c_str(), pathUsed.c_str(), kOverrideCategory);
}

// The first installation entry E for which E + `relative` exists; empty when there is none.
Port::String FirstExisting(const Port::String& relative) {
  const Port::PathList& entries = Installation();
  for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
    Port::String candidate = Layout::Joined({entry->str(), relative.str()});
    if (Port::File::exist(candidate)) return candidate;
  }
  return Port::String();
}

// The message for a module whose definition cannot be had: missing, or named by a name that is
// no module name (Layout::IsModuleName) and so never looked for.
void ReportMissingDefinition(const char* name) { PM_ISSUE(CannotOpenDefinitionFile, name); }

bool AllowsUnsupported(PM_PARTNAME_BINDING binding) {
  if (binding == PM_BINDING_SUPPORTED_ONLY) return false;
  if (binding == PM_BINDING_ALLOW_UNSUPPORTED) return true;
  return pm_specmgr.useunsupported();
}

// Whether `path` lies in the last installation entry. With nested entries (an overlay inside the
// base installation) the path belongs to the longest entry it starts with.
bool InLastEntry(const Port::String& path) {
  const Port::PathList& entries = Installation();
  std::size_t longest = 0;
  bool inLast = false;
  for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
    const std::string root = entry->str() + "/";
    if (root.length() <= longest || path.str().compare(0, root.length(), root) != 0) continue;
    longest = root.length();
    inLast = entry == entries.last();
  }
  return inLast;
}

// Reports `found` as overriding the file `relative` of the last entry unless it lies there.
void ReportOverrideOf(const Port::String& relative, const Port::String& found) {
  if (!InLastEntry(found)) IssueOverride(*Installation().last() + relative, found);
}

// The shared library `relative` in the first entry that has it: a plain existence test in every
// entry but the last, then the version resolved in the last; empty when there is none.
Port::String FindLibrary(const Port::String& relative) {
  const Port::PathList& entries = Installation();
  if (entries.empty()) return Port::String();
  for (auto entry = entries.begin(); entry != entries.last(); ++entry) {
    Port::String candidate = Layout::Joined({entry->str(), relative.str()});
    if (Port::File::exist(candidate)) return candidate;
  }
  Port::String candidate = *entries.last() + relative;
  return ResolveVersionedFile(candidate) ? candidate : Port::String();
}

// "/<prefix><module>/lib/" of a module's library folder, "/<prefix>lib/" without a module.
Port::String LibraryDir(bool unsupported, const Port::String& module) {
  Port::String dir = Layout::ModulesPrefix(unsupported);
  if (!module.empty()) dir += module + "/";
  return dir + "lib/";
}

// The version a library file name carries where its pattern has its "*": "MAJOR.MINOR", where
// MINOR may be followed by further "."-separated parts. A name with no "." after the first
// number has major -1; a minor followed by anything else is -1.
struct LibraryVersion {
  long major;
  long minor;
};

LibraryVersion ReadLibraryVersion(const char* text) {
  char* end = nullptr;
  const long major = UT_STR::StrToL(text, &end, 10);
  if (*end != '.') return {-1, 0};
  long minor = UT_STR::StrToL(end + 1, &end, 10);
  if (*end != '.' && *end != '\0') minor = -1;
  return {major, minor};
}

Port_ThrMutex& ReturnedNamesMutex() {
  static Port_ThrMutex mutex;
  return mutex;
}

// The alias a definition gives its architecture: the value of ALIAS_<ARCH_NAME>.
Port::String ReadAlias(const PM_DEVKEY& store) {
  const char* const arch = PMDevKeyRawValue(store, "ARCH_NAME");
  const Port::String key = Layout::Joined({"ALIAS_", WholeField(arch)});
  const char* alias = PMDevKeyRawValue(store, key.c_str());
  return alias ? Port::String(alias) : Port::String();
}

// Whether a listed module passes the listing filters.
bool AcceptForListing(const PM_DEVKEY& store, const char* key, const char* value,
                      bool withBaseMode) {
  if (!PMDevKeyRawValue(store, "BASE_MODE")) return false;
  const Port::String mode = store.GetStringByKey("BASE_MODE", 0, 0, 0, 0);
  const bool accepted =
      SameIgnoringCase(mode, "FALSE") || (withBaseMode && SameIgnoringCase(mode, "TRUE"));
  if (!accepted) return false;
  if (!key) return true;
  if (!PMDevKeyRawValue(store, key)) return false;
  return !value || SameIgnoringCase(store.GetStringByKey(key, 0, 0, 0, 0), value);
}

// The modules whose definitions are being merged with their friends on this thread: a friend
// chain that comes back to one of them stops there. Each name maps to its first position on the
// chain and how often it is there, so that asking costs the same however long the chain is.
class ChainInProgress {
 public:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  static ChainInProgress& OnThread() {
    thread_local ChainInProgress chain;
    return chain;
  }

  std::size_t depth() const { return names_.size(); }

  void Push(std::string lowered) {
    auto& place = on_.try_emplace(lowered, names_.size(), 0).first->second;
    ++place.count;
    names_.push_back(std::move(lowered));
  }

  void Pop() {
    const auto place = on_.find(names_.back());
    if (--place->second.count == 0) on_.erase(place);
    names_.pop_back();
  }

  // Whether the chain comes back to `lowered`; a hit is remembered for the walks in progress.
  bool ComesBackTo(const std::string& lowered) {
    const auto place = on_.find(lowered);
    if (place == on_.end()) return false;
    lowestHit_ = std::min(lowestHit_, place->second.first);
    return true;
  }

  bool HoldsAny(const std::vector<std::string>& lowered) const {
    return std::any_of(lowered.begin(), lowered.end(),
                       [this](const std::string& name) { return on_.count(name) != 0; });
  }

  // The lowest position a chain came back to during the current walk.
  std::size_t lowestHit() const { return lowestHit_; }
  // Starts a walk; returns what the enclosing walk had found.
  std::size_t BeginWalk() { return std::exchange(lowestHit_, kNone); }
  // Ends a walk: where it came back to counts for the enclosing walk too.
  void EndWalk(std::size_t enclosingHit) { lowestHit_ = std::min(lowestHit_, enclosingHit); }

 private:
  struct Place {
    Place(std::size_t position, int times) : first(position), count(times) {}
    std::size_t first;
    int count;
  };
  std::vector<std::string> names_;
  std::unordered_map<std::string, Place> on_;
  std::size_t lowestHit_ = kNone;
};

// A module (or the friend's name as written) on the chain while its friends are merged.
class FriendChainStep {
 public:
  explicit FriendChainStep(const Port::String& pm) {
    ChainInProgress::OnThread().Push(Lowered(pm.c_str()));
  }
  ~FriendChainStep() { ChainInProgress::OnThread().Pop(); }
  FriendChainStep(const FriendChainStep&) = delete;
  FriendChainStep& operator=(const FriendChainStep&) = delete;
};

// One walk along a friend chain. Its outcome depends on nothing but the files when it stopped only
// at modules that it put on the chain itself, and said nothing (no message, so that taking it
// again silences nothing).
class ChainWalk {
 public:
  ChainWalk()
      : start_(ChainInProgress::OnThread().depth()),
        enclosingHit_(ChainInProgress::OnThread().BeginWalk()),
        messagesBefore_(Port::MessagesIssuedOnThread()) {}
  ~ChainWalk() { ChainInProgress::OnThread().EndWalk(enclosingHit_); }
  ChainWalk(const ChainWalk&) = delete;
  ChainWalk& operator=(const ChainWalk&) = delete;

  bool Reusable() const {
    const std::size_t hit = ChainInProgress::OnThread().lowestHit();
    return (hit == ChainInProgress::kNone || hit >= start_) &&
           Port::MessagesIssuedOnThread() == messagesBefore_;
  }

 private:
  std::size_t start_;
  std::size_t enclosingHit_;
  unsigned long long messagesBefore_;
};

// The friend chains walked so far, by module and the options of the walk: the friends found and
// the stamp of the module's reader once they were merged. Setting a module again takes them
// while its reader is still that one, instead of walking the chain again, so that listing the
// modules of a long chain costs each one its own chain once. What else a walk depends on is
// checked too: the unsupported modules known, and aliases that turn a friend's name as written
// into another module (an alias registered later under such a name makes every walk stale).
class WalkedChains {
 public:
  struct Walk {
    std::uint64_t mergedVersion;
    std::vector<std::string> friends;         // as written, nearest first
    std::vector<std::string> loweredFriends;  // what the chain in progress holds of them
    std::size_t unsupportedCount;
    std::uint64_t aliasGeneration;
  };

  static WalkedChains& Instance() {
    static WalkedChains walks;
    return walks;
  }

  std::shared_ptr<const Walk> Find(const std::string& key) const {
    Port::ThrGuard<Port_ThrMutex> guard(mutex_);
    const auto found = walks_.find(key);
    if (found == walks_.end() || found->second->aliasGeneration != aliasGeneration_) return {};
    return found->second;
  }

  void Remember(const std::string& key, Walk walk) {
    Port::ThrGuard<Port_ThrMutex> guard(mutex_);
    walkedNames_.insert(walk.friends.begin(), walk.friends.end());
    walk.aliasGeneration = aliasGeneration_;
    walks_[key] = std::make_shared<const Walk>(std::move(walk));
  }

  void AliasRegistered(const std::string& alias) {
    Port::ThrGuard<Port_ThrMutex> guard(mutex_);
    if (walkedNames_.count(alias)) ++aliasGeneration_;
  }

 private:
  mutable Port_ThrMutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<const Walk>> walks_;
  std::unordered_set<std::string> walkedNames_;  // friend names as written in remembered walks
  std::uint64_t aliasGeneration_ = 0;
};

std::size_t UnsupportedCount() { return pm_specmgr.unsupportedlist().size(); }

}  // namespace

std::map<std::string, std::string>& PMAliasRegistry() {
  static std::map<std::string, std::string> registry;
  return registry;
}

const std::set<Port::String>& PMSkippedDirectories() {
  static const std::set<Port::String> skipped = {"3rdpartyinstalls",
                                                 "OMBexamples",
                                                 "MinGW",
                                                 "Qt",
                                                 "X11R6",
                                                 "bin",
                                                 "data",
                                                 "doc",
                                                 "gnu",
                                                 "help",
                                                 "installer",
                                                 "java",
                                                 "lib",
                                                 "msg",
                                                 "smartmodel",
                                                 "tutorial",
                                                 "vhdl"};
  return skipped;
}

bool ResolveVersionedFile(Port::String& path) {
  const Port::String directory = UT_PATH::GetHead(path.c_str());
  const Port::String pattern = UT_PATH::GetTail(path.c_str());
  const std::size_t star = pattern.str().find('*');
  if (star == std::string::npos) return Port::File::exist(path);

  const UT_DIR listing(directory, UT_DIR::WithDirectories);
  const Port::String* best = nullptr;
  // Versions are compared as 16-bit numbers.
  std::int16_t bestMajor = 0;
  std::int16_t bestMinor = 0;
  for (auto entry = listing.begin(pattern.c_str()); entry != listing.end(); ++entry) {
    if (entry->length() < star) continue;
    const LibraryVersion version = ReadLibraryVersion(entry->c_str() + star);
    const bool better = (!best && version.major >= 0 && version.minor >= 0) ||
                        version.major > bestMajor || version.minor > bestMinor;
    if (!better) continue;
    best = &*entry;
    bestMajor = static_cast<std::int16_t>(version.major);
    bestMinor = static_cast<std::int16_t>(version.minor);
  }
  if (!best) return false;
  path = directory + "/" + *best;
  return true;
}

// ---------------------------------------------------------------------------------------------
// DARRAY_NAME

// names_ is set by the UT_DARRAY constructor through its address, so it has no initialiser. The
// element size is the 4 that callers of the array expect (slots are pointer-sized regardless).
DARRAY_NAME::DARRAY_NAME(int count, int flag) : UT_DARRAY(&names_, 4, count, flag) {}

DARRAY_NAME::~DARRAY_NAME() = default;

// ---------------------------------------------------------------------------------------------
// PMOwnedStrings

PMOwnedStrings::~PMOwnedStrings() { clear(); }

void PMOwnedStrings::push_back(const char* text) {
  items_.push_back(Port::strdup(text ? text : ""));
}

bool PMOwnedStrings::insert_sorted(const char* text) {
  const auto less = [](const char* a, const char* b) { return std::strcmp(a, b) < 0; };
  const auto position = std::lower_bound(items_.begin(), items_.end(), text, less);
  if (position != items_.end() && std::strcmp(*position, text) == 0) return false;
  items_.insert(position, Port::strdup(text));
  return true;
}

void PMOwnedStrings::take_all(PMOwnedStrings& other) {
  items_.insert(items_.end(), other.items_.begin(), other.items_.end());
  other.items_.clear();
}

void PMOwnedStrings::clear() {
  for (char* item : items_) delete[] item;
  items_.clear();
}

// ---------------------------------------------------------------------------------------------
// PM_SPECMGR

PM_SPECMGR::PM_SPECMGR(const char* name)
    : UT_STATOBJ(name), initialized_(false), useUnsupported_(false) {
  const char* setting = Port_Env::GetEnv("QOR_USE_UNSUPPORTED_PMS");
  if (!setting) return;
  if (Port::stricmp(setting, "YES") == 0) {
    useUnsupported_ = true;
    Port_MsgManData::debugStub("Unsupported PMs can be used.\n");
  } else if (Port::stricmp(setting, "NO") != 0) {
    Port_MsgManData::debugStub("Unrecognized value <%s> for QOR_USE_UNSUPPORTED_PMS. NO assumed.\n",
                               setting);
  }
}

PM_SPECMGR::~PM_SPECMGR() = default;

bool PM_SPECMGR::isunsupported_pm(const char* pm) const {
  // Asked several times for every module set: an empty list is answered without making the entry.
  return pm && !unsupportedList_.empty() && IsInUnsupportedList(Port::String(kUnsupportedTag) + pm);
}

void PM_SPECMGR::InitUnsuppPMsOnce() const {
  if (!initialized_) InitUnsuppPMs();
}

void PM_SPECMGR::InitUnsuppPMs() const {
  const Port::PathList& entries = Installation();
  for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
    const Port::String folder = *entry + Layout::ModulesPrefix(true);
    const UT_DIR listing(folder, UT_DIR::WithDirectories);
    for (auto name = listing.begin(); name != listing.end(); ++name) {
      const Port::String definition = folder + Layout::Definition(*name);
      if (Port::File::exist(definition)) AddUnsupportedPM(name->c_str());
    }
  }
  initialized_ = true;
}

void PM_SPECMGR::AddUnsupportedPM(const char* pm) const {
  Port::String entry = Port::String(kUnsupportedTag) + pm;
  if (!IsInUnsupportedList(entry)) unsupportedList_.push_back(std::move(entry));
}

bool PM_SPECMGR::IsInUnsupportedList(const Port::String& entry) const {
  return std::find(unsupportedList_.begin(), unsupportedList_.end(), entry) !=
         unsupportedList_.end();
}

// ---------------------------------------------------------------------------------------------
// PMSpecImp: construction, names and aliases

PMSpecImp::PMSpecImp(PM_SPEC* ownerSpec, const char* name, PM_PARTNAME_BINDING binding)
    : unsupportedAllowed(AllowsUnsupported(binding)),
      unsupported(false),
      depth(0),
      probing(false),
      owner(ownerSpec),
      reportErrors(true),
      decodeDefinition(false),
      validity(255) {
  friends.reserve(kReservedNames);
  names.reserve(kReservedNames);
  if (!name) return;
  if (!IsBase(name)) depth = 1;
  verify_and_set_pm(name, true);
}

PMSpecImp::PMSpecImp(const PMSpecImp& other)
    : unsupportedAllowed(other.unsupportedAllowed),
      unsupported(other.unsupported),
      depth(other.depth),
      probing(other.probing),
      owner(nullptr),
      reportErrors(other.reportErrors),
      decodeDefinition(other.decodeDefinition),
      validity(255) {
  friends.reserve(kReservedNames);
  names.reserve(kReservedNames);
  if (other.pm.empty()) return;
  if (!IsBase(other.pm.c_str())) depth = 1;
  if (other.defdata) {
    set_pm(other.pm.c_str());
  } else {
    SetName(other.pm.c_str());
  }
}

PMSpecImp::~PMSpecImp() = default;

void PMSpecImp::SetName(const char* name) {
  const auto_array<char> real = FindPmByAlias(name, false);
  pm = Lowered(real ? real.get() : name);
}

void PMSpecImp::RecordAlias(const char* name, const char* alias) {
  aliases.emplace(name, alias);
  if (PMAliasRegistry().emplace(name, alias).second)
    WalkedChains::Instance().AliasRegistered(alias);
}

auto_array<char> PMSpecImp::FindPmByAlias(const char* alias, bool scan) {
  if (!alias) return auto_array<char>();
  const auto lookup = [alias]() {
    for (const auto& [name, registered] : PMAliasRegistry()) {
      if (registered == alias) return auto_array<char>(Port::strdup(name.c_str()));
    }
    return auto_array<char>();
  };
  auto_array<char> found = lookup();
  if (found || !scan) return found;
  // Registers the aliases of every listed module.
  PM_SPEC lister(nullptr, PM_BINDING_FROM_ENVIRONMENT);
  lister.make_list(nullptr, nullptr, 0);
  return lookup();
}

// ---------------------------------------------------------------------------------------------
// PMSpecImp: location and loading

bool PMSpecImp::LocateDefinitionIn(const Port::String& sub) const {
  const Port::PathList& entries = Installation();
  const Port::String relative = Layout::Joined({sub.str(), pm.str(), ".acd"});
  for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
    const Port::String definition = Layout::Joined({entry->str(), relative.str()});
    if (Port::File::exist(definition)) {
      if (entry != entries.last()) IssueOverride(*entries.last() + relative, definition);
      return true;
    }
    if (Port::File::exist(*entry + sub + Layout::kModuleMarker)) return true;
  }
  return false;
}

bool PMSpecImp::LocateUnsupportedDefinition(const char* name) {
  const Port::String relative = Layout::ModulesPrefix(true) + Layout::Definition(name);
  if (FirstExisting(relative).empty()) return false;
  unsupported = true;
  return true;
}

unsigned char PMSpecImp::verify_and_set_pm(const char* name, bool set) {
  if (set) SetName(name);
  const char* given = name ? name : "";
  // A name that is not plain (an alias may be anything) is no module: it is never looked for.
  const Port::String sub =
      Layout::ModulesPrefix(pm_specmgr.isunsupported_pm(given)) + Layout::DataFolder(pm);
  const bool located = (Layout::IsModuleName(pm) && LocateDefinitionIn(sub)) || IsBase(given);
  if (located) {
    unsupported = pm_specmgr.isunsupported_pm(given);
  } else if (!(unsupportedAllowed && Layout::IsModuleName(given) &&
               LocateUnsupportedDefinition(given))) {
    ReportMissingDefinition(given);
  }
  if (set) set_pm(name);
  return 1;
}

unsigned char PMSpecImp::set_pm(const char* name) {
  if (!name) {
    PM_ISSUE(NullModule);
    validity = 0;
    return 0;
  }
  Reset();
  friends.clear();
  SetName(name);
  if (IsBase(name)) {
    validity = 0;
    return 0;
  }
  depth = 1;
  if (!Layout::IsModuleName(pm) || GetDatafileName(1, ".acd", true, -2).empty()) {
    const auto_array<char> real = FindPmByAlias(name, true);
    if (real && *real.get()) {
      SetName(real.get());
      depth = 1;
    }
  }
  if (!Layout::IsModuleName(pm)) {
    // Neither a module nor an alias of one: absent, as a module without a definition is.
    if (reportErrors) {
      PM_ISSUE(CannotLoadModuleDefinition, pm.c_str());
    }
    Reset();
    validity = 0;
    return 0;
  }
  defdata = OpenDefinition(true, reportErrors, decodeDefinition);
  unsigned char result = 0;
  if (defdata) {
    pmprefix = defdata->GetStringByKey("PMPREFIX", 0, 0, 0, 0);
    const Port::String alias = ReadAlias(*defdata);
    if (!alias.empty()) RecordAlias(name, alias.c_str());
    result = 1;
  }
  validity = result;
  return result;
}

boost::shared_ptr<PM_DEVKEY> PMSpecImp::OpenStore(const Port::String& fileName, bool decode) {
  auto imp = boost::make_shared<PMDevKeyImp>(true);
  imp->OpenForSpec(fileName.c_str(), *this, {decode, false, true});
  return boost::make_shared<PM_DEVKEY>(imp);
}

boost::shared_ptr<PM_DEVKEY> PMSpecImp::OpenDefinition(bool followFriends, bool report,
                                                       bool decode) {
  if (defdata) return defdata;
  const Port::String fileName = Layout::Joined({pm.str(), ".acd"});
  boost::shared_ptr<PM_DEVKEY> store = OpenStore(fileName, decode);
  if (!store->get_validity()) {
    if (report) PM_ISSUE(CannotLoadDefinitionFile, fileName.c_str());
    return {};
  }
  const char* const file = fileName.c_str();
  // Each key is looked up once: its presence and its value come from the same raw value.
  const char* const archValue = PMDevKeyRawValue(*store, "ARCH_NAME");
  if (!archValue) {
    if (report) {
      PM_ISSUE(DefinitionWithoutName, file);
    }
    return {};
  }
  const Port::String arch = WholeValue(archValue);
  if (!SameIgnoringCase(pm, arch.c_str()) && report) {
    PM_ISSUE(DefinitionOfOtherModule, file, pm.c_str(), arch.c_str());
    return {};
  }
  const char* const friendValue = PMDevKeyRawValue(*store, "ARCH_FRIEND");
  if (!friendValue) {
    if (report) {
      PM_ISSUE(DefinitionWithoutArchitecture, file);
    }
    return {};
  }
  const Port::String friendName = WholeValue(friendValue);
  if (SameIgnoringCase(pm, friendName.c_str()) || !followFriends) return store;
  if (!TakeWalkedChain(*store, report, decode)) {
    MergeFriend(friendName, *store, followFriends, report, decode);
  }
  return store;
}

std::string PMSpecImp::WalkKey(bool report, bool decode) const {
  return pm.str() + '\0' + (unsupported ? 'u' : '-') + (report ? 'r' : '-') + (decode ? 'd' : '-');
}

bool PMSpecImp::TakeWalkedChain(PM_DEVKEY& store, bool report, bool decode) {
  const StaticAcdRead* const reader = PMDevKeyReader(store);
  if (!reader) return false;
  const auto walk = WalkedChains::Instance().Find(WalkKey(report, decode));
  if (!walk || walk->mergedVersion != reader->version() ||
      walk->unsupportedCount != UnsupportedCount() ||
      ChainInProgress::OnThread().HoldsAny(walk->loweredFriends)) {
    return false;
  }
  for (const std::string& name : walk->friends) friends.push_back(name.c_str());
  return true;
}

void PMSpecImp::RememberWalkedChain(const PM_DEVKEY& store, std::size_t firstFriend, bool report,
                                    bool decode) {
  const StaticAcdRead* const reader = PMDevKeyReader(store);
  if (!reader) return;
  WalkedChains::Walk walk{reader->version(), {}, {}, UnsupportedCount(), 0};
  for (std::size_t i = firstFriend; i < friends.size(); ++i) {
    walk.friends.emplace_back(friends[i]);
    walk.loweredFriends.push_back(Lowered(friends[i]));
  }
  WalkedChains::Instance().Remember(WalkKey(report, decode), std::move(walk));
}

// Loads the friend (and through it the rest of the chain) and gives `store` every key of the
// friend that it has no value for.
void PMSpecImp::MergeFriend(const Port::String& friendName, PM_DEVKEY& store, bool followFriends,
                            bool report, bool decode) {
  if (!Layout::IsModuleName(friendName)) {
    // A friend that would lead out of the installation is absent: the chain ends here.
    ReportMissingDefinition(friendName.c_str());
    return;
  }
  if (ChainInProgress::OnThread().ComesBackTo(Lowered(friendName.c_str()))) {
    Port_MsgManData::debugStub("Friend chain of %s comes back to %s; it stops there.\n", pm.c_str(),
                               friendName.c_str());
    return;
  }
  const ChainWalk walk;
  const std::size_t firstFriend = friends.size();
  {
    const FriendChainStep step(pm);
    // The friend's name as written goes on the chain too: an alias may turn it into another
    // module, whose own friend could name it again.
    const FriendChainStep friendStep(friendName);
    friends.push_back(friendName.c_str());

    const Port::String ownName = pm;
    pm = friendName;
    PMSpecImp friendSpec(owner, friendName.c_str(),
                         unsupported ? PM_BINDING_ALLOW_UNSUPPORTED : PM_BINDING_FROM_ENVIRONMENT);
    pm = ownName;

    const boost::shared_ptr<PM_DEVKEY> friendStore =
        friendSpec.OpenDefinition(followFriends, report, decode);
    friends.take_all(friendSpec.friends);
    if (friendStore) MergeKeys(*friendStore, store);
  }
  if (walk.Reusable()) RememberWalkedChain(store, firstFriend, report, decode);
}

// Gives `store` every key of `friendStore` it has no value for, unless that was done already.
void PMSpecImp::MergeKeys(const PM_DEVKEY& friendStore, PM_DEVKEY& store) {
  const StaticAcdRead* const reader = PMDevKeyReader(store);
  const StaticAcdRead* const friendReader = PMDevKeyReader(friendStore);
  if (!reader || !friendReader || MergesDone().Done(reader, friendReader)) return;
  // A key without a value here is either absent, and is added, or present with an empty value,
  // and stays: presence alone decides.
  PMDevKeyInsertAbsent(store, friendStore);
  MergesDone().Remember(reader, friendReader);
}

// ---------------------------------------------------------------------------------------------
// PMSpecImp: virtual operations

bool PMSpecImp::isunsupported() const { return unsupported; }

void PMSpecImp::Reset() {
  if (pm.empty()) return;
  pm = Port::String();
  depth = 0;
  defdata.reset();
}

Port::String PMSpecImp::GetChainName(int level, int index, int /*internalIndex*/) const {
  if (level != 1 || index >= static_cast<int>(friends.size())) return Port::String();
  return index < 0 ? pm : Port::String(friends[static_cast<std::size_t>(index)]);
}

namespace {

// Gives `target` a value for the guard's lifetime and restores the old one when it ends.
template <class Value>
class ValueRestorer {
 public:
  ValueRestorer(Value& target, Value value) : target_(target), saved_(std::move(target)) {
    target_ = std::move(value);
  }
  ~ValueRestorer() { target_ = std::move(saved_); }
  ValueRestorer(const ValueRestorer&) = delete;
  ValueRestorer& operator=(const ValueRestorer&) = delete;

 private:
  Value& target_;
  Value saved_;
};

}  // namespace

unsigned char PMSpecImp::isvalidpmname(const char* name, bool quiet) {
  if (!name || !*name) return 0;
  const std::string lowered = Lowered(name);
  if (lowered == "self") return defdata ? defdata->get_validity() : 0;
  if (!Layout::IsModuleName(lowered)) return 0;
  // The definition's path below an installation root (an empty root).
  const Port::String relative = Layout::DefinitionPath(Port::String(), lowered, false);
  if (FirstExisting(relative).empty()) return 0;

  boost::shared_ptr<PM_DEVKEY> store;
  {
    // The store is opened as if `lowered` were this specification's module; the name and the
    // probing mode come back however the opening ends.
    const ValueRestorer<Port::String> name(pm, Port::String(lowered));
    const ValueRestorer<bool> probe(probing, true);
    store = OpenStore(Port::String(lowered + ".acd"), true);
  }
  if (store->get_validity()) return 1;
  if (!quiet) {
    PM_ISSUE(NoDefinitionFileForModule, name);
    PM_ISSUE(CannotFindModule, name);
  }
  return 0;
}

void PMSpecImp::ForgetNames() {
  names.clear();
  list.reset();
}

void PMSpecImp::printme(const char* label) const {
  PM_ISSUE(DumpSpecName, label ? label : "PM_SPEC", pm.empty() ? "<Null>" : pm.c_str());
  PM_ISSUE(DumpFriendCount, static_cast<int>(friends.size()));
  for (std::size_t i = 0; i < friends.size(); ++i) {
    PM_ISSUE(DumpFriend, static_cast<int>(i), friends[i]);
  }
  PM_ISSUE(DumpListSize, static_cast<int>(names.size()));
  for (std::size_t i = 0; i < names.size(); ++i) {
    PM_ISSUE(DumpListEntry, static_cast<int>(i), names[i]);
  }
}

// ---------------------------------------------------------------------------------------------
// PMSpecImp: listing

void PMSpecImp::ClearListing() {
  names.clear();
  list.reset();
  aliases.clear();
  aliasedNames.reset();
}

void PMSpecImp::make_list(const char* key, const char* value, bool withBaseMode, int) {
  ClearListing();
  if (!pm.empty()) return;
  const Port::PathList& entries = Installation();
  for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
    ScanInstallDir(*entry, key, value, withBaseMode);
  }
  pm = Port::String();
  depth = 0;
}

void PMSpecImp::ScanInstallDir(const Port::String& dir, const char* key, const char* value,
                               bool withBaseMode) {
  const UT_DIR listing(dir, UT_DIR::WithDirectories);
  if (!listing.isvalid()) return;
  const std::set<Port::String>& skipped = PMSkippedDirectories();
  for (auto name = listing.begin(); name != listing.end(); ++name) {
    if (skipped.count(*name)) continue;
    pm = *name;
    depth = 1;
    const boost::shared_ptr<PM_DEVKEY> store = OpenDefinition(false, false, true);
    if (!store || !AcceptForListing(*store, key, value, withBaseMode)) continue;
    if (!names.insert_sorted(name->c_str())) continue;
    const Port::String alias = ReadAlias(*store);
    if (!alias.empty()) RecordAlias(name->c_str(), alias.c_str());
  }
}

const std::vector<char*>& PMSpecImp::GetListVector(bool aliased) const {
  if (!aliased || !pm.empty() || aliases.empty()) return names.items();
  if (!aliasedNames) {
    aliasedNames = std::make_unique<PMOwnedStrings>();
    aliasedNames->reserve(names.size());
    for (const char* entry : names.items()) {
      const char* colon = std::strchr(entry, ':');
      const char* name = colon ? colon + 1 : entry;
      const auto alias = aliases.find(name);
      if (alias == aliases.end() || alias->second.empty()) {
        aliasedNames->push_back(entry);
      } else {
        const std::string vendor = colon ? std::string(entry, colon + 1) : std::string();
        aliasedNames->push_back((vendor + alias->second).c_str());
      }
    }
  }
  return aliasedNames->items();
}

DARRAY_NAME* PMSpecImp::get_list(bool aliased) {
  const std::vector<char*>& entries = GetListVector(aliased);
  const int count = static_cast<int>(entries.size());
  if (!list) list = std::make_unique<DARRAY_NAME>(count, 0);
  for (int i = 0; i < count; ++i) {
    *list->getaddr(i) = entries[static_cast<std::size_t>(i)];
  }
  return list.get();
}

// ---------------------------------------------------------------------------------------------
// PMSpecImp: data-file lookup

Port::String PMSpecImp::UnsupportedPrefix(int index) const {
  if (index < 0) return Layout::ModulesPrefix(unsupported);
  return Layout::ModulesPrefix(
      pm_specmgr.isunsupported_pm(friends[static_cast<std::size_t>(index)]));
}

bool PMSpecImp::FindInPathList(char /*level*/, Port::String& path, const Port::String& name,
                               int /*firstIndex*/) const {
  const Port::PathList& entries = Installation();
  for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
    const Port::String candidate = *entry + path + name;
    if (!Port::File::exist(candidate)) continue;
    if (entry != entries.last()) IssueOverride(*entries.last() + path + name, candidate);
    path = candidate;
    return true;
  }
  return false;
}

// The places tried when a file is not in the module's own data folder: the own folder again
// under the name as given, each friend's data folder, then the common data folder.
Port::String PMSpecImp::FindFallback(char level, const Port::String& sub, const char* name,
                                     const Port::String& fileName) const {
  Port::String path = sub;
  if (FindInPathList(level, path, name, 1)) return path;
  Port::String commonPrefix = UnsupportedPrefix(-1);
  for (const char* friendName : friends.items()) {
    commonPrefix = Layout::ModulesPrefix(pm_specmgr.isunsupported_pm(friendName));
    path = commonPrefix + Layout::DataFolder(friendName);
    if (FindInPathList(level, path, name, 0)) return path;
  }
  return FirstExisting(commonPrefix + "data/" + fileName);
}

Port::String PMSpecImp::GetDatafileName(char level, const char* name, bool search,
                                        int index) const {
  const Port::PathList& entries = Installation();
  if (entries.empty() || index >= static_cast<int>(friends.size())) return Port::String();
  const char* given = name ? name : "";
  // A name starting with "." follows the chain's module; only then is the given text tested apart.
  const bool derived = given[0] == '.';
  const Port::String fileName =
      derived ? Layout::Joined({GetChainName(level, -1, -1).str(), given}) : Port::String(given);
  const std::string_view module =
      (level == 0 || pm.empty())
          ? std::string_view()
          : (index < 0 ? std::string_view(pm.str()) : friends[static_cast<std::size_t>(index)]);
  if (!Layout::IsDataFileName(fileName) || (derived && !Layout::IsDataFileName(given)) ||
      (!module.empty() && !Port::IsPlainName(module))) {
    return Port::String();
  }
  const Port::String sub =
      Layout::Joined({UnsupportedPrefix(index).str(), module, module.empty() ? "" : "/", "data/"});
  const Port::String relative = Layout::Joined({sub.str(), fileName.str()});
  if (!search) return Layout::Joined({entries.begin()->str(), relative.str()});

  Port::String found = FirstExisting(relative);
  if (found.empty() && !probing && level != 0 && index == -1) {
    found = FindFallback(level, sub, given, fileName);
  }
  if (found.empty()) return found;
  const std::string& lastRoot = entries.last()->str();
  const bool inLastRoot = found.str().compare(0, lastRoot.length(), lastRoot) == 0 &&
                          found.str().size() > lastRoot.length() &&
                          found.str()[lastRoot.length()] == '/';
  if (!inLastRoot) IssueOverride(*entries.last() + relative, found);
  return found;
}

char* PMSpecImp::getdatafilename(char level, const char* name, bool search, int index) const {
  return Intern(GetDatafileName(level, name, search, index));
}

char* PMSpecImp::Intern(const Port::String& path) const {
  if (path.empty()) return nullptr;
  // The set keeps one copy of every path handed out, for as long as the PM_SPEC lives.
  // Library loading asks for paths from several threads at once.
  Port::ThrGuard<Port_ThrMutex> guard(ReturnedNamesMutex());
  return const_cast<char*>(returnedNames.insert(path).first->c_str());
}

// ---------------------------------------------------------------------------------------------
// PMSpecImp: help, executable and library files, and every copy of a data file

std::unique_ptr<std::vector<Port::String>> PMSpecImp::getdatafiles(const Port::String& name) const {
  auto files = std::make_unique<std::vector<Port::String>>();
  const Port::String fileName = !name.empty() && name[0] == '.' ? pm + name : name;
  if (!Layout::IsDataFileName(fileName)) return files;
  const Port::String prefix = Layout::ModulesPrefix(unsupported);
  // Without a module the module's own folder is the common one; a copy is listed once.
  const auto addFirstCopy = [&files](const Port::String& relative) {
    const Port::String found = FirstExisting(relative);
    if (found.empty() || std::find(files->begin(), files->end(), found) != files->end()) return;
    files->push_back(found);
  };
  addFirstCopy(prefix + (pm.empty() ? Port::String() : pm + "/") + "data/" + fileName);
  for (const char* friendName : friends.items()) {
    addFirstCopy(prefix + Layout::DataFolder(friendName) + fileName);
  }
  addFirstCopy(prefix + "data/" + fileName);
  return files;
}

char* PMSpecImp::gethelpfilename(char level, const char* name, bool search, int index) const {
  const Port::PathList& entries = Installation();
  if (entries.empty() || index >= static_cast<int>(friends.size())) return nullptr;
  const char* given = name ? name : "";
  const Port::String fileName = given[0] == '.'
                                    ? Layout::Joined({GetChainName(level, -1, -1).str(), given})
                                    : Port::String(given);
  if (!Layout::IsDataFileName(fileName) || !Layout::IsDataFileName(given)) return nullptr;
  const Port::String moduleDir =
      (level == 0 || pm.empty())
          ? Port::String("/")
          : "/" + (index < 0 ? pm : Port::String(friends[static_cast<std::size_t>(index)])) + "/";
  const Port::String platformHelp = moduleDir + "help/" + Port_Env::GetPlatformPath() + "/";
  const Port::String relative = platformHelp + Port_Env::GetLang() + "/" + fileName;

  Port::String found = FirstExisting(relative);
  if (found.empty() && !search) return Intern(*entries.last() + relative);
  if (found.empty()) found = FindHelpFallback(level, platformHelp, given, fileName, index);
  if (found.empty()) return nullptr;
  ReportOverrideOf(relative, found);
  return Intern(found);
}

// The help file when the module's folder for the platform and language has none: the name as
// given there and in each other friend's help folder, then the US English copy, then the
// installation's common help folder.
Port::String PMSpecImp::FindHelpFallback(char level, const Port::String& platformHelp,
                                         const char* name, const Port::String& fileName,
                                         int index) const {
  if (!probing && level != 0) {
    Port::String path = platformHelp + Port_Env::GetLang() + "/";
    if (FindInPathList(level, path, name, 1)) return path;
    for (std::size_t i = 0; i < friends.size(); ++i) {
      if (static_cast<int>(i) == index) continue;
      path = Port::String("/") + friends[i] + "/help/";
      if (FindInPathList(level, path, name, 0)) return path;
    }
  }
  const Port::String english = FirstExisting(platformHelp + "usenglish/" + fileName);
  return english.empty() ? FirstExisting("/help/" + fileName) : english;
}

char* PMSpecImp::getexecfilename(char level, const char* name, bool search) const {
  const Port::PathList& entries = Installation();
  if (entries.empty()) return nullptr;
  const Port::String fileName = Port::String(name ? name : "") + ".exe";
  if (!Layout::IsDataFileName(fileName)) return nullptr;
  const Port::String moduleDir = (level != 0 && !pm.empty()) ? pm + "/" : Port::String();
  const Port::String relative =
      "/" + moduleDir + "bin/" + Port_Env::GetPlatformPath() + "/" + fileName;

  const Port::String found = FirstExisting(relative);
  if (!found.empty()) {
    ReportOverrideOf(relative, found);
    return Intern(found);
  }
  if (!search) return Intern(*entries.last() + relative);
  if (probing || level == 0) return nullptr;
  return Intern(FindExecFallback(fileName));
}

// The executable in each friend's folder, then in the installation's common one.
Port::String PMSpecImp::FindExecFallback(const Port::String& fileName) const {
  const Port::String platformBin = Port::String("/bin/") + Port_Env::GetPlatformPath() + "/";
  for (const char* friendName : friends.items()) {
    const Port::String found = FirstExisting("/" + (friendName + platformBin) + fileName);
    if (!found.empty()) return found;
  }
  return FirstExisting(platformBin + fileName);
}

char* PMSpecImp::getdllfilename(const char* name) const {
  if (!Layout::IsModuleName(Port::String("lib") + (name ? name : ""))) return nullptr;
  const Port::String file = Port::String(Port_Env::GetPlatformPath()) + "/lib" +
                            (name ? name : "") + PortDynamicLib::GetFileType();
  Port::String found =
      FindLibrary(LibraryDir(unsupported, depth != 0 ? pm : Port::String()) + file);
  if (found.empty() && !probing) {
    for (const char* friendName : friends.items()) {
      found = FindLibrary(LibraryDir(pm_specmgr.isunsupported_pm(friendName), friendName) + file);
      if (!found.empty()) break;
    }
    if (found.empty()) found = FindLibrary(LibraryDir(false, Port::String()) + file);
  }
  return Intern(found);
}

// ---------------------------------------------------------------------------------------------
// PM_SPEC

PM_SPEC::PM_SPEC(const char* pm, PM_PARTNAME_BINDING binding)
    : imp_(std::make_unique<PMSpecImp>(this, pm, binding)) {}

PM_SPEC::PM_SPEC(const PM_SPEC& other)
    : imp_(other.imp_ ? std::make_unique<PMSpecImp>(*other.imp_) : nullptr) {
  if (imp_) imp_->setOwner(this);
}

PM_SPEC::PM_SPEC(BareHandle) {}

PM_SPEC::~PM_SPEC() = default;

void PM_SPEC::install(std::unique_ptr<PMSpecImp> imp) { imp_ = std::move(imp); }

const PMSpecImp& PM_SPEC::implementation() const { return *imp_; }

PMSpecImp& PM_SPEC::implementation() { return *imp_; }

unsigned char PM_SPEC::set_pm(const char* pm) { return imp_->set_pm(pm); }

unsigned char PM_SPEC::isvalid(unsigned char quiet, unsigned char) {
  if (imp_->getDepth() < 1) {
    if (!quiet) PM_ISSUE(SpecNotDownToModule);
    return 0;
  }
  imp_->ForgetNames();
  return isvalidpmname("self", 0) ? 1 : 0;
}

unsigned char PM_SPEC::isvalidpmname(const char* pm, unsigned char quiet) {
  return imp_->isvalidpmname(pm, quiet != 0);
}

unsigned char PM_SPEC::isunsupported() const { return implementation().isunsupported() ? 1 : 0; }

void PM_SPEC::make_list(const char* key, const char* value, unsigned char withBaseMode) {
  imp_->make_list(key, value, withBaseMode != 0, 0);
}

char* PM_SPEC::getdatafilename(char level, const char* name, unsigned char search,
                               int index) const {
  return implementation().getdatafilename(level, name, search != 0, index);
}

Port::String PM_SPEC::GetDatafileName(char level, const char* name, bool search, int index) const {
  return implementation().GetDatafileName(level, name, search, index);
}

std::unique_ptr<std::vector<Port::String>> PM_SPEC::getdatafiles(const Port::String& name) {
  return imp_->getdatafiles(name);
}

char* PM_SPEC::gethelpfilename(char level, const char* name, unsigned char search,
                               int index) const {
  return implementation().gethelpfilename(level, name, search != 0, index);
}

char* PM_SPEC::getexecfilename(char level, const char* name, unsigned char search) const {
  return implementation().getexecfilename(level, name, search != 0);
}

char* PM_SPEC::getdllfilename(const char* name) const {
  return implementation().getdllfilename(name);
}

void PM_SPEC::printme(const char* label) const { implementation().printme(label); }

unsigned char PM_SPEC::verify_and_set_pm(const char* pm, unsigned char set) {
  return imp_->verify_and_set_pm(pm, set != 0);
}

char* PM_SPEC::get_pm() const {
  const Port::String& pm = implementation().pmName();
  return pm.empty() ? nullptr : const_cast<char*>(pm.c_str());
}

const char* PM_SPEC::get_pmprefix() const { return implementation().prefix().c_str(); }

char* PM_SPEC::get_pm_friend(int i) const {
  const std::vector<char*>& friends = implementation().friendNames();
  if (i < 0 || i >= static_cast<int>(friends.size())) return nullptr;
  return friends[static_cast<std::size_t>(i)];
}

int PM_SPEC::get_num_friends() const {
  return static_cast<int>(implementation().friendNames().size());
}

PM_DEVKEY* PM_SPEC::get_defdata() const { return implementation().defdataStore(); }

char PM_SPEC::get_depth() const { return implementation().getDepth(); }

auto_array<char> PM_SPEC::GetName() const {
  const Port::String& pm = implementation().pmName();
  if (pm.empty()) return auto_array<char>();
  const auto& registry = PMAliasRegistry();
  const auto alias = registry.find(pm.str());
  return auto_array<char>(
      Port::strdup(alias != registry.end() ? alias->second.c_str() : pm.c_str()));
}

auto_array<char> PM_SPEC::GetProperName(const char* alias, bool scan) {
  return PMSpecImp::FindPmByAlias(alias, scan);
}

DARRAY_NAME* PM_SPEC::get_list(unsigned char aliased) { return imp_->get_list(aliased != 0); }

const char* const* PM_SPEC::begin(bool aliased) const {
  const std::vector<char*>& entries = implementation().GetListVector(aliased);
  return entries.data();
}

const char* const* PM_SPEC::end(bool aliased) const {
  const std::vector<char*>& entries = implementation().GetListVector(aliased);
  return entries.data() + entries.size();
}
