// Device, package and speed lists: the list classes, their builds through a temporary part, the
// iterator, the process-wide caches, and the list factories of PMSpecImp.
#include "PMLists.h"

#include <array>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include <boost/make_shared.hpp>

#include <pmport/port_thread.h>

#include "Validator.h"
#include "baspmpic.h"
#include "baspmspec.h"

namespace PersonalityModule {

namespace {

// Guards the four caches, for a lookup-or-create step only (creating a list reads nothing).
Port_ThrMutex& ListCacheMutex() {
  static Port_ThrMutex mutex;
  return mutex;
}

// Held for a whole list build, so that a list is built once; builds read files under it.
Port_ThrMutex& ListBuildMutex() {
  static Port_ThrMutex mutex;
  return mutex;
}

using ListCache = std::map<Port::String, boost::shared_ptr<BaseList>>;

enum CacheKind { kSupportedDevices, kUnsupportedDevices, kPackages, kSpeeds, kCacheKinds };

std::array<ListCache, kCacheKinds>& Caches() {
  static std::array<ListCache, kCacheKinds> caches;
  return caches;
}

// What one thread has found in one cache, and the entry it found last: a walk asks for the begin
// and the end of the same device's list one after the other.
struct ThreadMemo {
  using Found = std::unordered_map<std::string, BaseList*>;
  Found found;
  const Found::value_type* last = nullptr;
};

template <class Create>
BaseList& SharedLookupOrCreate(ListCache& cache, const Port::String& key, const Create& create) {
  Port::ThrGuard<Port_ThrMutex> guard(ListCacheMutex());
  auto found = cache.find(key);
  if (found == cache.end()) found = cache.emplace(key, create()).first;
  return *found->second;
}

template <class Create>
BaseList& LookupOrCreate(CacheKind kind, const Port::String& key, const Create& create) {
  // Lists never leave a cache, so a list once found under a key stays the answer for it: each
  // thread remembers what it found and takes the shared mutex only for keys new to it. Walking
  // a device's packages and speeds asks for four lists per device, and with the mutex alone
  // threads walking lists at the same time would queue on it.
  thread_local std::array<ThreadMemo, kCacheKinds> memos;
  ThreadMemo& memo = memos[kind];
  if (memo.last && memo.last->first == key.str()) return *memo.last->second;
  auto found = memo.found.find(key.str());
  if (found == memo.found.end()) {
    found = memo.found.emplace(key.str(), &SharedLookupOrCreate(Caches()[kind], key, create)).first;
  }
  memo.last = &*found;
  return *found->second;
}

NameVectorPtr EmptyNames() { return boost::make_shared<NameVector>(); }

}  // namespace

std::unique_ptr<PMPicImp> MakePlainPart(PM_PARTNAME_BINDING binding) {
  return std::make_unique<PMPicImp>(nullptr, binding);
}

// ---------------------------------------------------------------------------------------------
// BaseList and its builds

BaseList::BaseList() : built(false) {}

BaseList::~BaseList() = default;

void BaseList::build() {}

NameRange BaseList::range() {
  EnsureBuilt(*this);
  if (!items) return {};
  return {items->data(), items->data() + items->size()};
}

const DeviceListsTable& BaseList::devicelists(const std::function<DeviceListsTable()>& make) {
  if (const DeviceListsTable* table = table_.load(std::memory_order_acquire)) return *table;
  // Made outside the lock, as it may build lists (which read files under the build mutex); two
  // threads may both make it, and the first to finish keeps its table.
  auto made = std::make_unique<const DeviceListsTable>(make());
  Port::ThrGuard<Port_ThrMutex> guard(tableMutex_);
  if (!ownedTable_) {
    ownedTable_ = std::move(made);
    table_.store(ownedTable_.get(), std::memory_order_release);
  }
  return *ownedTable_;
}

void BaseList::BuildThroughPart(const TemporaryPartMaker& maker, PM_PARTNAME_BINDING binding,
                                const Port::String& pm, const Port::String& device,
                                const Source& source) {
  if (isbuilt()) return;
  NameVectorPtr names;
  {
    const std::unique_ptr<PMPicImp> part = maker(binding);
    if (!pm.empty()) part->verify_and_set_pm(pm.c_str(), true);
    if (part->defdataStore() && !device.empty()) part->SetDevice(device.c_str());
    Validator* validator = part->validatorObject();
    if (validator) names = source(*validator);
  }
  items = names ? names : EmptyNames();
  built.store(true, std::memory_order_release);
}

// The module of a device or speed list may be one found only among the unsupported modules: the
// list exists because a part could use it, so the temporary part may too.
constexpr PM_PARTNAME_BINDING kAnyModule = PM_BINDING_ALLOW_UNSUPPORTED;

DeviceList::DeviceList(const Port::String& pmName, TemporaryPartMaker maker)
    : pm(pmName), maker_(std::move(maker)) {}

void DeviceList::build() {
  BuildThroughPart(maker_, kAnyModule, pm, Port::String(),
                   [](Validator& validator) { return validator.makedevicelist(false); });
}

NS_DeviceList::NS_DeviceList(const Port::String& pmName, TemporaryPartMaker maker)
    : pm(pmName), maker_(std::move(maker)) {}

void NS_DeviceList::build() {
  BuildThroughPart(maker_, kAnyModule, pm, Port::String(),
                   [](Validator& validator) { return validator.makedevicelist(true); });
}

CF_DeviceList::CF_DeviceList(const Port::String& pmName, TemporaryPartMaker configurationMaker)
    : DeviceList(pmName, std::move(configurationMaker)) {}

CF_NS_DeviceList::CF_NS_DeviceList(const Port::String& pmName,
                                   TemporaryPartMaker configurationMaker)
    : NS_DeviceList(pmName, std::move(configurationMaker)) {}

PkgList::PkgList(const Port::String& pmName, const Port::String& deviceName,
                 bool unsupportedAllowed, TemporaryPartMaker maker)
    : pm(pmName), device(deviceName), binding(unsupportedAllowed), maker_(std::move(maker)) {}

void PkgList::build() {
  const PM_PARTNAME_BINDING partBinding =
      binding ? PM_BINDING_ALLOW_UNSUPPORTED : PM_BINDING_SUPPORTED_ONLY;
  BuildThroughPart(maker_, partBinding, pm, device,
                   [this](Validator& validator) { return validator.makepackagelist(device); });
}

CF_PkgList::CF_PkgList(const Port::String& pmName, const Port::String& deviceName,
                       TemporaryPartMaker configurationMaker)
    : PkgList(pmName, deviceName, false, std::move(configurationMaker)) {}

SpdList::SpdList(const Port::String& pmName, const Port::String& deviceName,
                 TemporaryPartMaker maker)
    : pm(pmName), device(deviceName), minspd(false), spd411(false), maker_(std::move(maker)) {}

void SpdList::build() {
  BuildThroughPart(maker_, kAnyModule, pm, device, [this](Validator& validator) {
    SpeedListSource source = validator.makespeedlist(device);
    minspd = (source.flags & kMinSpeedBit) != 0;
    spd411 = (source.flags & kSpeed411Bit) != 0;
    return source.names;
  });
}

CF_SpdList::CF_SpdList(const Port::String& pmName, const Port::String& deviceName,
                       TemporaryPartMaker configurationMaker)
    : SpdList(pmName, deviceName, std::move(configurationMaker)) {}

void EnsureBuilt(BaseList& list) {
  if (list.isbuilt()) return;
  Port::ThrGuard<Port_ThrMutex> guard(ListBuildMutex());
  if (!list.isbuilt()) list.build();
}

// ---------------------------------------------------------------------------------------------
// ListIterator

ListIterator ListIterator::operator++(int) {
  EnsurePositioned();
  ListIterator before = *this;
  ++*this;
  return before;
}

// ---------------------------------------------------------------------------------------------
// Caches

BaseList& DeviceListOf(const PMSpecImp& part) {
  if (part.isunsupported()) {
    return LookupOrCreate(kUnsupportedDevices, part.pmName(),
                          [&part] { return part.CreateDeviceList(); });
  }
  return LookupOrCreate(kSupportedDevices, part.pmName(),
                        [&part] { return part.CreateNSDeviceList(); });
}

BaseList& PackageListOf(const PMSpecImp& part, const Port::String& device) {
  return LookupOrCreate(kPackages, device, [&] { return part.CreatePkgList(device); });
}

BaseList& SpeedListOf(const PMSpecImp& part, const Port::String& device) {
  return LookupOrCreate(kSpeeds, device, [&] { return part.CreateSpdList(device); });
}

boost::shared_ptr<BaseList> GetDeviceList(const PMSpecImp& part) {
  return DeviceListOf(part).shared_from_this();
}

boost::shared_ptr<BaseList> GetPackageList(const PMSpecImp& part, const Port::String& device) {
  return PackageListOf(part, device).shared_from_this();
}

boost::shared_ptr<BaseList> GetSpeedList(const PMSpecImp& part, const Port::String& device) {
  return SpeedListOf(part, device).shared_from_this();
}

}  // namespace PersonalityModule

// ---------------------------------------------------------------------------------------------
// The list factories of PMSpecImp

boost::shared_ptr<PersonalityModule::BaseList> PMSpecImp::CreateDeviceList() const {
  return boost::make_shared<PersonalityModule::DeviceList>(pm);
}

boost::shared_ptr<PersonalityModule::BaseList> PMSpecImp::CreateNSDeviceList() const {
  return boost::make_shared<PersonalityModule::NS_DeviceList>(pm);
}

boost::shared_ptr<PersonalityModule::BaseList> PMSpecImp::CreatePkgList(
    const Port::String& name) const {
  return boost::make_shared<PersonalityModule::PkgList>(pm, name, unsupportedAllowed);
}

boost::shared_ptr<PersonalityModule::BaseList> PMSpecImp::CreateSpdList(
    const Port::String& name) const {
  return boost::make_shared<PersonalityModule::SpdList>(pm, name);
}
