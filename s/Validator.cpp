// Validators: device data evidence, name checks, list access and the list sources.
#include "Validator.h"

#include <algorithm>
#include <set>
#include <string>
#include <unordered_set>

#include <boost/make_shared.hpp>

#include <pmport/port_file.h>
#include <pmport/port_path.h>

#include "PkgRder.h"
#include "SpdRder.h"
#include "baspmpic.h"
#include "baspmpicutil.h"
#include "baspmspec.h"
#include "pmlayout.h"
#include "pmdefkeys.h"
#include "pmunit.h"

namespace Layout = PersonalityModule::Layout;

namespace {

constexpr char kUnit[] = "Validator";
constexpr char kNoInternalName[] = "NO_INTERNAL_DEVICE_NAME";
constexpr const char* kDeviceTableKey = PersonalityModule::Keys::kDeviceInternal;
constexpr const char* kTestDeviceTableKey = PersonalityModule::Keys::kTestDeviceInternal;

using PersonalityModule::DeviceTable;
using PersonalityModule::NameVector;
using PersonalityModule::NameVectorPtr;
using Entry = DeviceTable::Group;

const Port::PathList& Installation() { return Port::KorvanPath::GetInstance(); }

bool SameIgnoringCase(const Port::String& a, const Port::String& b) {
  return a.Compare(b.c_str(), 1) == 0;
}

// The device table under `key` of the part's key store (none without a store).
std::shared_ptr<const DeviceTable> PartTable(const PMPicImp& part, const char* key) {
  const PM_DEVKEY* store = part.defdataStore();
  return PersonalityModule::SharedDeviceTable(store ? PMDevKeyRawValue(*store, key) : nullptr);
}

// The keys holding device tables: the real one, then the test one in test-device mode.
std::vector<const char*> DeviceTableKeys() {
  std::vector<const char*> keys{kDeviceTableKey};
  if (PersonalityModule::TestDeviceMode()) keys.push_back(kTestDeviceTableKey);
  return keys;
}

// Whether the part has a key store with a device table: a table whose first device has no name
// counts as none.
bool HasDeviceTable(const PMPicImp& part) {
  const PM_DEVKEY* store = part.defdataStore();
  const char* table = store ? PMDevKeyRawValue(*store, kDeviceTableKey) : nullptr;
  return table && !Sfp_ACD::AddressField(table, ':', 0, ',', 0).empty();
}

// Whether `holds` is true of some entry of the part's device tables that knows `device` under one
// of its names, entries taken in table order. The part's own parsed tables are asked, so that the
// shared ones are not looked up under their lock again.
template <typename Predicate>
bool AnyEntryNaming(const PMPicImp& part, const Port::String& device, Predicate holds) {
  for (const DeviceTable* table : part.DeviceTables()) {
    for (const std::size_t group : table->GroupsWithName(device.c_str())) {
      if (holds(table->groups()[group])) return true;
    }
  }
  return false;
}

// True when `fileName` lies in the data folder of `pm` under some installation root.
bool InSomeDataDir(const Port::String& pm, const Port::String& fileName, bool unsupported = false) {
  const Port::PathList& roots = Installation();
  return std::any_of(roots.begin(), roots.end(), [&](const Port::String& root) {
    return Port::File::exist(Layout::DataFile(root, pm, unsupported, fileName));
  });
}

// The part's module followed by its friend chain, nearest first.
std::vector<Port::String> ModuleAndFriends(const PMPicImp& part) {
  std::vector<Port::String> chain{part.pmName()};
  for (const char* friendName : part.friendNames()) {
    if (!friendName) break;
    chain.emplace_back(friendName);
  }
  return chain;
}

// The modules whose data folders count for `pm` when its definition is `acd`: `pm` itself, then
// the modules named by successive ARCH_FRIEND values (every installation's copy of a friend's
// definition is followed). Resolved on first need, each definition read once; a chain coming back
// to a module already on it stops there.
class FriendChain {
 public:
  FriendChain(const StaticAcdRead& acd, const Port::String& pm) : acd_(acd), pm_(pm) {}

  // Whether `found` holds for some module of the chain, in chain order.
  template <class Predicate>
  bool Any(const Predicate& found) {
    if (found(pm_)) return true;
    Resolve();
    return std::any_of(friends_.begin(), friends_.end(), found);
  }

 private:
  void Resolve() {
    if (resolved_) return;
    resolved_ = true;
    std::set<std::string> visited{Port::Lowered(pm_.str())};
    Follow(acd_, pm_, visited);
  }

  void Follow(const StaticAcdRead& acd, const Port::String& pm, std::set<std::string>& visited) {
    const Port::String friendName = acd.getkeyeddata(PersonalityModule::Keys::kArchFriend);
    if (friendName.empty() || SameIgnoringCase(friendName, pm)) return;
    if (!visited.insert(Port::Lowered(friendName.str())).second) {
      Port_MsgManData::debugStub("Friend chain of %s comes back to %s; it stops there.\n",
                                 pm_.c_str(), friendName.c_str());
      return;
    }
    friends_.push_back(friendName);
    const Port::PathList& roots = Installation();
    for (auto root = roots.begin(); root != roots.end(); ++root) {
      const Port::String definition = Layout::DefinitionPath(*root, friendName, false);
      if (!Port::File::exist(definition)) continue;
      const StaticAcdRead friendAcd(definition.c_str(), nullptr, nullptr, 1, 0, 1);
      Follow(friendAcd, friendName, visited);
    }
  }

  const StaticAcdRead& acd_;
  Port::String pm_;
  bool resolved_ = false;
  std::vector<Port::String> friends_;
};

// Tries the data files of a device in the data folders of `pm`, installation root by root and,
// within a root, internal name by internal name. A name standing for "no internal name" is
// replaced by the device name (saying so with `substituteWarning`, a text without conversions),
// and then the root's search ends.
// `tryFile` gets each file name and says whether it was found; the walk stops at the first.
template <class TryFile>
bool FindDeviceFile(const PMPicImp& part, const Port::String& pm, const char* extension,
                    const Port::MsgEntry& substituteWarning, const TryFile& tryFile) {
  std::vector<Port::String> internalNames;
  for (int i = 0; i < part.InternalNameCount(); ++i)
    internalNames.emplace_back(part.InternalName(i));
  const Port::PathList& roots = Installation();
  for (auto root = roots.begin(); root != roots.end(); ++root) {
    for (const Port::String& internalName : internalNames) {
      const bool substitute = internalName == kNoInternalName;
      if (substitute) PM_MSG().issue(substituteWarning, "%s", substituteWarning.text);
      const Port::String name = substitute ? part.deviceName() : internalName;
      const Port::String file = Layout::DataFile(*root, pm, false, name + "." + extension);
      if (!file.empty() && tryFile(file)) return true;
      if (substitute) break;
    }
  }
  return false;
}

}  // namespace

namespace PersonalityModule {

// ---------------------------------------------------------------------------------------------
// Validator

Validator::Validator(const PMPicImp* part) : imp(part) {}

Validator::~Validator() = default;

bool Validator::HasEntryWithDataFiles(const StaticAcdRead& acd, const Port::String& key,
                                      const Port::String& pm,
                                      const std::vector<const char*>& extensions) const {
  // The groups are parsed one by one, up to the first that has the files: probing an
  // architecture does not make the table that naming its devices needs.
  FriendChain chain(acd, pm);
  const auto hasFile = [&chain](const Entry& entry, const char* extension) {
    return chain.Any([&](const Port::String& module) {
      return std::any_of(entry.begin(), entry.end(), [&](const std::string& name) {
        return !name.empty() && InSomeDataDir(module, name + "." + extension);
      });
    });
  };
  return PersonalityModule::AnyDeviceGroup(acd.getkeyeddata(key.c_str()), [&](const Entry& entry) {
    return std::all_of(extensions.begin(), extensions.end(),
                       [&](const char* extension) { return hasFile(entry, extension); });
  });
}

bool Validator::haskeydata(const StaticAcdRead& acd, const Port::String& key,
                           const Port::String& pm) {
  return HasEntryWithDataFiles(acd, key, pm, {"nph", "pkg"});
}

bool Validator::hasdevicedata(const StaticAcdRead& acd, const Port::String& pm) {
  if (TestDeviceMode() && haskeydata(acd, kTestDeviceTableKey, pm)) return true;
  return haskeydata(acd, kDeviceTableKey, pm);
}

bool Validator::IsDeclaredDevice(const Port::String& device) const {
  if (!HasDeviceTable(*imp)) return false;
  return !imp->ExternalName(device.c_str()).empty();
}

bool Validator::isvaliddevice(const Port::String& device) { return IsDeclaredDevice(device); }

bool Validator::isvalidpackage(const Port::String& device, const Port::String& package) {
  for (ListIterator name = packagebegin(device), end = packageend(device); name != end; ++name) {
    if (SameIgnoringCase(*name, package)) return true;
  }
  return false;
}

bool Validator::isvalidspeed(const Port::String& device, const Port::String& speed) {
  for (ListIterator name = speedbegin(device), end = speedend(device); name != end; ++name) {
    if (SameIgnoringCase(*name, speed)) return true;
  }
  return false;
}

// A part without a module has no device list: an empty range.
ListIterator Validator::devicebegin() {
  if (imp->pmName().empty()) return ListIterator();
  return ListIterator(DeviceListOf(*imp), ListIterator::Begin);
}

ListIterator Validator::deviceend() {
  if (imp->pmName().empty()) return ListIterator();
  return ListIterator(DeviceListOf(*imp), ListIterator::End);
}

ListIterator Validator::packagebegin(const Port::String& device) {
  return ListIterator(PackageListOf(*imp, device), ListIterator::Begin);
}

ListIterator Validator::packageend(const Port::String& device) {
  return ListIterator(PackageListOf(*imp, device), ListIterator::End);
}

ListIterator Validator::speedbegin(const Port::String& device) {
  return ListIterator(SpeedListOf(*imp, device), ListIterator::Begin);
}

ListIterator Validator::speedend(const Port::String& device) {
  return ListIterator(SpeedListOf(*imp, device), ListIterator::End);
}

const DeviceListsTable& Validator::devicelists() {
  static const DeviceListsTable none;
  if (imp->pmName().empty()) return none;
  BaseList& devices = DeviceListOf(*imp);
  return devices.devicelists([this, &devices] {
    DeviceListsTable table;
    for (const Port::String& device : devices.range()) {
      table.push_back(
          {&device, PackageListOf(*imp, device).range(), SpeedListOf(*imp, device).range()});
    }
    return table;
  });
}

namespace {
// The speed list of `device`, built; null when the cache holds another kind of list.
const SpdList* BuiltSpeedList(const PMPicImp& part, const Port::String& device) {
  BaseList& list = SpeedListOf(part, device);
  EnsureBuilt(list);
  return dynamic_cast<const SpdList*>(&list);
}
}  // namespace

bool Validator::getminspd(const Port::String& device) {
  const SpdList* list = BuiltSpeedList(*imp, device);
  return list && list->minspdflag();
}

bool Validator::get411spd(const Port::String& device) {
  const SpdList* list = BuiltSpeedList(*imp, device);
  return list && list->spd411flag();
}

NameVectorPtr Validator::DeclaredDevices() const {
  auto devices = boost::make_shared<NameVector>();
  if (!HasDeviceTable(*imp)) return devices;
  for (const char* key : DeviceTableKeys()) {
    for (const Entry& entry : PartTable(*imp, key)->groups()) {
      devices->emplace_back(entry.empty() ? std::string() : entry.front());
    }
  }
  return devices;
}

NameVectorPtr Validator::makedevicelist(bool /*listing*/) { return DeclaredDevices(); }

NameVectorPtr Validator::makepackagelist(const Port::String& /*device*/) {
  auto packages = boost::make_shared<NameVector>();
  const auto readPackages = [&packages](const Port::String& file) {
    const PkgRder reader(file);
    if (reader.loaded()) packages->insert(packages->end(), reader.begin(), reader.end());
    return !packages->empty();
  };
  for (const Port::String& module : ModuleAndFriends(*imp)) {
    if (FindDeviceFile(*imp, module, "pkg", pmlib::msg::NoInternalNameForPackages, readPackages)) {
      break;
    }
  }
  return packages;
}

SpeedListSource Validator::makespeedlist(const Port::String& /*device*/) {
  SpeedListSource result;
  result.names = boost::make_shared<NameVector>();
  const auto readSpeeds = [&result](const Port::String& file) {
    const SpdRder reader(file);
    if (!reader.loaded()) return false;
    result.names->assign(reader.begin(), reader.end());
    if (reader.minspd()) result.flags |= kMinSpeedBit;
    if (reader.spd411()) result.flags |= kSpeed411Bit;
    return true;
  };
  FindDeviceFile(*imp, imp->pmName(), "spd", pmlib::msg::NoInternalNameForSpeeds, readSpeeds);
  return result;
}

// ---------------------------------------------------------------------------------------------
// FPGA_Validator

FPGA_Validator::FPGA_Validator(const PMPicImp* part) : Validator(part) {}

bool FPGA_Validator::HasDeviceFileWithoutTable(const Port::String& device) const {
  const Port::String fileName = device + ".nph";
  bool own = true;
  for (const Port::String& module : ModuleAndFriends(*imp)) {
    const bool unsupportedModule =
        own ? imp->isunsupported() : pm_specmgr.isunsupported_pm(module.c_str());
    own = false;
    if (InSomeDataDir(module, fileName, unsupportedModule)) {
      return true;
    }
  }
  return false;
}

bool FPGA_Validator::HasDeviceFileOfTableEntry(const Port::String& device) const {
  // Folder by folder, every name of the entry in each: a device's files usually lie in its own
  // module's folder, so the friends' folders are asked only when that one has none.
  const auto inFolder = [](const Entry& entry, const Port::String& pm, bool unsupported) {
    return std::any_of(entry.begin(), entry.end(), [&](const std::string& name) {
      return !name.empty() && InSomeDataDir(pm, Port::String(name + ".nph"), unsupported);
    });
  };
  return AnyEntryNaming(*imp, device, [&](const Entry& entry) {
    if (inFolder(entry, imp->pmName(), false)) return true;
    for (const char* friendName : imp->friendNames()) {
      if (!friendName) break;
      if (inFolder(entry, friendName, false)) return true;
    }
    return imp->unsupportedPermitted() && inFolder(entry, imp->pmName(), true);
  });
}

bool FPGA_Validator::isvaliddevice(const Port::String& device) {
  if (!HasDeviceTable(*imp)) return HasDeviceFileWithoutTable(device);
  if (imp->isunsupported()) return Validator::isvaliddevice(device);
  return HasDeviceFileOfTableEntry(device);
}

NameVectorPtr FPGA_Validator::makedevicelist(bool listing) {
  if (imp->isunsupported()) {
    if (listing && HasDeviceTable(*imp)) return DeclaredDevices();
    return boost::make_shared<NameVector>();
  }
  NameVector scanned;
  bool ownFilesFound = false;
  const Port::PathList& roots = Installation();
  const std::vector<Port::String> modules = ModuleAndFriends(*imp);
  for (std::size_t m = 0; m < modules.size(); ++m) {
    const Port::String& module = modules[m];
    const std::size_t before = scanned.size();
    for (auto root = roots.begin(); root != roots.end(); ++root) {
      const UT_DIR listingDir(Layout::DataDir(*root, module, false), UT_DIR::WithDirectories);
      if (!listingDir.isvalid()) continue;
      for (auto file = listingDir.begin("*.nph"); file != listingDir.end(); ++file) {
        scanned.emplace_back(file->str().substr(0, file->length() - 4));
      }
    }
    if (m == 0) ownFilesFound = scanned.size() > before;
  }
  if (!HasDeviceTable(*imp)) return boost::make_shared<NameVector>(scanned);

  std::unordered_set<std::string> present;
  for (const Port::String& name : scanned) present.insert(name.str());
  auto devices = boost::make_shared<NameVector>();
  for (const char* key : DeviceTableKeys()) {
    for (const Entry& entry : PartTable(*imp, key)->groups()) {
      const bool hasFile = std::any_of(entry.begin(), entry.end(), [&](const std::string& name) {
        return present.count(name) != 0;
      });
      if (hasFile) devices->emplace_back(entry.front());
    }
  }
  if (devices->empty() && ownFilesFound) {
    PM_ISSUE(DataFilesWithoutInternalName, imp->pmName().c_str());
  }
  return devices;
}

// ---------------------------------------------------------------------------------------------
// FPGA_CF_Validator, CPLD_Validator, CONFIG_Validator

FPGA_CF_Validator::FPGA_CF_Validator(const PMPicImp* part) : Validator(part) {}

bool FPGA_CF_Validator::haskeydata(const StaticAcdRead& acd, const Port::String& key,
                                   const Port::String& pm) {
  return HasEntryWithDataFiles(acd, key, pm, {"pkg"});
}

bool FPGA_CF_Validator::isvaliddevice(const Port::String& device) {
  return Validator::isvaliddevice(device);
}

NameVectorPtr FPGA_CF_Validator::makedevicelist(bool listing) {
  return Validator::makedevicelist(listing);
}

CPLD_Validator::CPLD_Validator(const PMPicImp* part) : Validator(part) {}

bool CPLD_Validator::haskeydata(const StaticAcdRead& acd, const Port::String& key,
                                const Port::String& pm) {
  return HasEntryWithDataFiles(acd, key, pm, {"pkg"});
}

CONFIG_Validator::CONFIG_Validator(const PMPicImp* part) : Validator(part) {}

bool CONFIG_Validator::haskeydata(const StaticAcdRead& acd, const Port::String& key,
                                  const Port::String& /*pm*/) {
  const char* value = acd.getkeyeddata(key.c_str());
  return value && *value;
}

bool CONFIG_Validator::isvalidpackage(const Port::String& /*device*/,
                                      const Port::String& /*package*/) {
  return true;
}

bool CONFIG_Validator::isvalidspeed(const Port::String& /*device*/, const Port::String& /*speed*/) {
  return true;
}

NameVectorPtr CONFIG_Validator::makepackagelist(const Port::String& device) {
  return Validator::makepackagelist(device);
}

SpeedListSource CONFIG_Validator::makespeedlist(const Port::String& device) {
  return Validator::makespeedlist(device);
}

}  // namespace PersonalityModule
