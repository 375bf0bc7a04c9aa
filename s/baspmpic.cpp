// Parts: the set-architecture step, the level setters and clears, composed part names, device
// naming (external and internal names, subfamilies, ranges) and the PM_PIC handle.
#include "baspmpic.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>

#include "ValidatorFactory.h"
#include "pmdefkeys.h"
#include "pmunit.h"

namespace {

constexpr char kUnit[] = "baspmpic";

// Stands for the internal name of a device that the architecture lists none for.
constexpr char kNoInternalName[] = "NO_INTERNAL_DEVICE_NAME";

using PersonalityModule::Keys::kDeviceInternal;
using PersonalityModule::Keys::kTestDeviceInternal;
namespace Keys = PersonalityModule::Keys;
constexpr char kListSeparator = ',';

using Port::Lowered;

Port::String Uppered(const Port::String& text) {
  std::string upper = text.str();
  UT_STR::Upper(upper.data());
  return upper;
}

bool SameLetter(char a, char b) {
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

bool IsLetterC(char c) { return c == 'c' || c == 'C'; }

char* NullWhenEmpty(const Port::String& text) {
  return text.empty() ? nullptr : const_cast<char*>(text.c_str());
}

PM_PARTNAME_BINDING BindingOf(bool unsupportedAllowed) {
  return unsupportedAllowed ? PM_BINDING_ALLOW_UNSUPPORTED : PM_BINDING_SUPPORTED_ONLY;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// PMPicImp: construction and the virtual operations

PMPicImp::PMPicImp(PM_SPEC* ownerSpec, PM_PARTNAME_BINDING binding)
    : PMSpecImp(ownerSpec, nullptr, binding),
      internalNameCount(0),
      errorStatus(0),
      spd411(false),
      minSpeed(false),
      deviceKeysCurrent(false) {}

// The levels are not copied: RebuildLevelsFrom sets them through the setters, so that the copy
// loads its own definition and looks its device up again.
PMPicImp::PMPicImp(const PMPicImp& other)
    : PMSpecImp(nullptr, nullptr, BindingOf(other.unsupportedAllowed)),
      internalNameCount(0),
      errorStatus(other.errorStatus),
      spd411(other.spd411),
      minSpeed(other.minSpeed),
      deviceKeysCurrent(false) {
  unsupported = other.unsupported;
  probing = other.probing;
  reportErrors = other.reportErrors;
  decodeDefinition = other.decodeDefinition;
}

PMPicImp::~PMPicImp() = default;

unsigned char PMPicImp::set_pm(const char* name) { return SetArchitecture(name, true); }

void PMPicImp::Reset() {
  if (pm.empty()) return;
  PMSpecImp::Reset();
  vendor = Port::String();
  family = Port::String();
  partNameChar = Port::String();
  ClearDevice();
}

Port::String PMPicImp::GetChainName(int level, int index, int internalIndex) const {
  if (level == 1) return PMSpecImp::GetChainName(level, index, internalIndex);
  if (level > depth) return Port::String();
  switch (level) {
    case 2:
      if (internalIndex == -1) return givenDevice;
      if (internalNameCount == 0) return device;
      return internalIndex >= 0 && internalIndex < internalNameCount
                 ? Port::String(internalNames[static_cast<std::size_t>(internalIndex)])
                 : Port::String();
    case 3:
      return package;
    case 4:
      return speed;
    default:
      return Port::String();
  }
}

// A device's data files are named after its internal names: an extension is tried with each of
// them, in order, and the first file found wins.
bool PMPicImp::FindInPathList(char level, Port::String& path, const Port::String& name,
                              int firstIndex) const {
  if (level != 2 || depth < 2 || name.empty() || name[0] != '.') {
    return PMSpecImp::FindInPathList(level, path, name, firstIndex);
  }
  const int names = std::max(internalNameCount, 1);
  for (int i = std::max(firstIndex, 0); i < names; ++i) {
    Port::String candidate = path;
    if (PMSpecImp::FindInPathList(level, candidate, GetChainName(2, -1, i) + name, firstIndex)) {
      path = candidate;
      return true;
    }
  }
  return false;
}

void PMPicImp::SetArchType(Port::String type) const {
  const Port::String upper = type.empty() ? Port::String("FPGA") : Uppered(type);
  if (archType.Compare(upper.c_str(), 1) == 0) return;
  archType = upper;
  validator = PersonalityModule::CreatePicValidator(archType, this);
}

std::unique_ptr<PMPicImp> PMPicImp::CreateEmptyImp(PM_PARTNAME_BINDING binding) const {
  return std::make_unique<PMPicImp>(nullptr, binding);
}

std::unique_ptr<PMPicImp> PMPicImp::CreateCopy() const { return std::make_unique<PMPicImp>(*this); }

std::unique_ptr<PM_PIC> PMPicImp::CopyPart(const PM_PIC& source) {
  std::unique_ptr<PM_PIC> part(new PM_PIC(PM_PIC::BareHandle{}));
  InstallCopy(*part, source.pic().CreateCopy(), source.pic());
  return part;
}

void PMPicImp::InstallCopy(PM_PIC& part, std::unique_ptr<PMPicImp> imp, const PMPicImp& source) {
  imp->setOwner(&part);
  PMPicImp& copy = *imp;
  part.install(std::move(imp));
  copy.RebuildLevelsFrom(source);
}

std::unique_ptr<PM_PIC> PMPicImp::NewPart(const char* arch, PM_PARTNAME_BINDING binding) {
  std::unique_ptr<PM_PIC> part(new PM_PIC(PM_PIC::BareHandle{}));
  auto imp = std::make_unique<PMPicImp>(part.get(), binding);
  PMPicImp& pic = *imp;
  part->install(std::move(imp));
  if (arch) pic.verify_and_set_pm(arch, true);
  return part;
}

// ---------------------------------------------------------------------------------------------
// PMPicImp: architecture and levels

Port::String PMPicImp::KeyValue(const char* key) const {
  return defdata ? defdata->GetStringByKey(key, 0, 0, 0, 0) : Port::String();
}

Port::String PMPicImp::UpperKeyValue(const char* key) const { return Uppered(KeyValue(key)); }

bool PMPicImp::HasKeyValue(const char* key) const {
  const char* raw = defdata ? PMDevKeyRawValue(*defdata, key) : nullptr;
  return raw && !Sfp_ACD::AddressField(raw, '\0', 0, '\0', 0).empty();
}

unsigned char PMPicImp::SetArchitecture(const char* name, bool report) {
  if (!name) {
    if (report) PM_ISSUE(NullArchitecture);
    return 0;
  }
  friends.clear();
  reportErrors = report;
  if (!PMSpecImp::set_pm(name)) return 0;
  vendor = KeyValue(Keys::kVendor);
  family = KeyValue(Keys::kFamily);
  if (family.empty() && UpperKeyValue(Keys::kSupportMode) == "PHYSICAL") {
    PM_ISSUE(NoFamily, pm.c_str());
  }
  partNameChar = KeyValue(Keys::kPartNameChar);
  pmprefix = KeyValue(Keys::kPmPrefix);
  SetArchType(UpperKeyValue(Keys::kArchType));
  return 1;
}

void PMPicImp::RebuildLevelsFrom(const PMPicImp& source) {
  if (!source.pm.empty()) SetArchitecture(source.pm.c_str(), true);
  if (!source.device.empty()) {
    SetDevice(source.device.c_str());
    givenDevice = source.givenDevice;
  }
  if (!source.package.empty()) {
    SetPackage(source.package.c_str());
    spd411 = source.spd411;
    minSpeed = source.minSpeed;
  }
  if (!source.speed.empty()) SetSpeed(source.speed.c_str());
}

// The depth of what is set: the deepest of package, device and architecture.
signed char PMPicImp::LevelDepth() const {
  if (!package.empty()) return 3;
  if (!device.empty()) return 2;
  return pm.empty() ? 0 : 1;
}

void PMPicImp::ClearSpeed() {
  speed = Port::String();
  depth = std::min(depth, LevelDepth());
}

void PMPicImp::ClearPackage() {
  package = Port::String();
  ClearSpeed();
}

void PMPicImp::ClearDevice() {
  device = Port::String();
  ReleaseInternalNames();
  ClearPackage();
}

bool PMPicImp::SetDevice(const char* name) {
  const Port::String translated = Lowered(ExternalName(name ? name : "").c_str());
  if (!device.empty() && translated == device) return true;
  ClearDevice();
  device = translated;
  givenDevice = Lowered(name);
  depth = 2;
  LookUpInternalNames();
  deviceKeysCurrent = false;
  return true;
}

bool PMPicImp::SetPackage(const char* name) {
  if (device.empty()) {
    PM_ISSUE(PackageWithoutDevice);
    return false;
  }
  if (!name || !*name) return false;
  if (package.Compare(name, 1) == 0) return true;
  ClearPackage();
  package = Lowered(name);
  depth = 3;
  deviceKeysCurrent = false;
  return true;
}

bool PMPicImp::SetSpeed(const char* name) {
  if (device.empty()) {
    PM_ISSUE(SpeedWithoutDevice);
    return false;
  }
  ClearSpeed();
  speed = name ? name : "";
  depth = 4;
  return true;
}

// ---------------------------------------------------------------------------------------------
// PMPicImp: composed names

// Where the device's tail starts in a part name: past the part-name letter when the device starts
// with it, then past a "c".
std::size_t PMPicImp::PartNameStart() const {
  std::size_t start = !partNameChar.empty() && SameLetter(device[0], partNameChar[0]) ? 1 : 0;
  if (start < device.length() && IsLetterC(device[start])) ++start;
  return start;
}

char* PMPicImp::ComposePart() const {
  if (device.empty() || package.empty()) return nullptr;
  std::size_t offset = !partNameChar.empty() && SameLetter(device[0], partNameChar[0]) ? 1 : 0;
  // The second character of the device, whether or not the first was dropped.
  if (device.length() > 1 && IsLetterC(device[1])) ++offset;
  return Port::strdup((device.str().substr(offset) + package.str()).c_str());
}

char* PMPicImp::ComposePartName() const {
  if (device.empty()) return nullptr;
  const std::string name = device.str().substr(PartNameStart()) + package.str() + speed.str();
  return Port::strdup(name.c_str());
}

PMPartNames PMPicImp::PartNames() const {
  PMPartNames names;
  names.device = device;
  names.package = package;
  for (const char* name : internalNames.items()) names.internalNames.emplace_back(name);
  return names;
}

// ---------------------------------------------------------------------------------------------
// PMPicImp: device naming

const PersonalityModule::DeviceTable& PMPicImp::Table(ParsedTable& parsed, const char* key) const {
  const char* const raw = PMDevKeyRawValue(*defdata, key);
  if (!parsed.table || parsed.store != defdata || parsed.source != raw) {
    parsed.table = PersonalityModule::SharedDeviceTable(raw);
    parsed.store = defdata;
    parsed.source = raw;
  }
  return *parsed.table;
}

PMPicImp::DeviceTableList PMPicImp::DeviceTables() const {
  DeviceTableList tables;
  if (!defdata) return tables;
  tables.push_back(&Table(deviceTable_, kDeviceInternal));
  if (PersonalityModule::TestDeviceMode()) {
    tables.push_back(&Table(testDeviceTable_, kTestDeviceInternal));
  }
  return tables;
}

Port::String PMPicImp::ExternalName(const char* name) const {
  if (!defdata) {
    PM_ISSUE(NoExternalName, name);
    return name;
  }
  const DeviceTableList tables = DeviceTables();
  if (tables.front()->DeviceName(0).empty()) return name;
  for (const PersonalityModule::DeviceTable* table : tables) {
    const std::size_t group = table->FindGroupWithName(name);
    if (group != PersonalityModule::DeviceTable::kNone) return table->DeviceName(group);
  }
  return Port::String();
}

Port::String PMPicImp::FirstInternalName(const char* name) const {
  if (!defdata) {
    PM_ISSUE(NoInternalName, name ? name : "");
    return kNoInternalName;
  }
  for (const PersonalityModule::DeviceTable* table : DeviceTables()) {
    const std::size_t group = table->FindGroupOfDevice(name, table->PairedGroups());
    if (group != PersonalityModule::DeviceTable::kNone) return table->groups()[group][1];
  }
  return kNoInternalName;
}

void PMPicImp::LookUpInternalNames() {
  if (!defdata) {
    PM_ISSUE(NoInternalNames, device.c_str());
    SetInternalNames({kNoInternalName});
    return;
  }
  if (!HasKeyValue(kDeviceInternal)) {
    SetInternalNames({device.str()});
    return;
  }
  for (const PersonalityModule::DeviceTable* table : DeviceTables()) {
    const std::size_t group = table->FindGroupOfDevice(device.c_str(), table->NamedGroups());
    if (group == PersonalityModule::DeviceTable::kNone) continue;
    const PersonalityModule::DeviceTable::Group& names = table->groups()[group];
    std::vector<std::string> following;
    std::copy_if(names.begin() + 1, names.end(), std::back_inserter(following),
                 [](const std::string& internal) { return !internal.empty(); });
    if (following.empty()) continue;
    SetInternalNames(following);
    return;
  }
  Port_MsgManData::debugStub("Device %s has NO internal names.\n", device.c_str());
  SetInternalNames({kNoInternalName});
}

void PMPicImp::SetInternalNames(const std::vector<std::string>& names) {
  ReleaseInternalNames();
  for (const std::string& name : names) internalNames.push_back(name.c_str());
  internalNameCount = static_cast<int>(internalNames.size());
}

void PMPicImp::ReleaseInternalNames() {
  internalNames.clear();
  internalNameCount = 0;
}

const char* PMPicImp::InternalName(int index) const {
  if (internalNameCount == 0) return device.empty() ? nullptr : device.c_str();
  if (index < 0 || index >= internalNameCount) return nullptr;
  return internalNames[static_cast<std::size_t>(index)];
}

Port::String PMPicImp::SubFamilySpecifier() const {
  if (depth < 2 || device.empty() || KeyValue(Keys::kSubfamSpecs).empty()) return Port::String();
  std::string specifier;
  if (!PersonalityModule::MatchWholeName(KeyValue(Keys::kSubfamFormat).str(), device.str(),
                                         specifier)) {
    return Port::String();
  }
  return specifier;
}

Port::String PMPicImp::SubFamily() const {
  const Port::String specifier = SubFamilySpecifier();
  if (specifier.empty()) return Port::String();
  const std::vector<std::string> names =
      PersonalityModule::SplitNames(KeyValue(Keys::kSubfamNames).c_str(), kListSeparator);
  const std::vector<std::string> specifiers =
      PersonalityModule::SplitNames(KeyValue(Keys::kSubfamSpecs).c_str(), kListSeparator);
  Port::String subfamily;
  for (std::size_t i = 0; i < specifiers.size() && i < names.size(); ++i) {
    if (specifiers[i] == specifier.str()) subfamily = names[i];
  }
  return subfamily;
}

bool PMPicImp::SupportedRanges(std::vector<Port::String>& ranges) const {
  std::vector<std::string> entries =
      PersonalityModule::SplitNames(KeyValue(Keys::kRanges).c_str(), kListSeparator);
  entries.erase(std::remove(entries.begin(), entries.end(), std::string()), entries.end());
  if (entries.empty()) return false;
  ranges.insert(ranges.end(), entries.begin(), entries.end());
  return true;
}

Port::String PMPicImp::Range() const {
  std::vector<Port::String> ranges;
  if (!SupportedRanges(ranges)) return Port::String();
  if (speed.empty()) return ranges.front();
  const char last = speed[speed.length() - 1];
  const Port::String candidate(
      std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(last)))));
  const bool supported = std::any_of(ranges.begin(), ranges.end(), [&](const Port::String& range) {
    return range.Compare(candidate.c_str(), 1) == 0;
  });
  return supported ? candidate : ranges.front();
}

Port::String PMPicImp::DatabookName() const {
  if (device.empty()) return Port::String();
  Port::String name = device;
  if (!speed.empty() && speed.Compare("-0P", 1) != 0) name += speed;
  return name + package;
}

// ---------------------------------------------------------------------------------------------
// PM_PIC

PM_PIC::PM_PIC(BareHandle handle) : PM_SPEC(handle) {}

PM_PIC::PM_PIC(const PM_PIC& other) : PM_SPEC(BareHandle{}) {
  PMPicImp::InstallCopy(*this, std::make_unique<PMPicImp>(other.pic()), other.pic());
}

PM_PIC::~PM_PIC() = default;

const PMPicImp& PM_PIC::pic() const { return static_cast<const PMPicImp&>(implementation()); }

PMPicImp& PM_PIC::pic() { return static_cast<PMPicImp&>(implementation()); }

unsigned char PM_PIC::set_pm(const char* pm) { return pic().SetArchitecture(pm, true); }

unsigned char PM_PIC::set_pm(const char* pm, unsigned char reportErrors) {
  return pic().SetArchitecture(pm, reportErrors != 0);
}

unsigned char PM_PIC::set_arch(const char* arch) { return set_pm(arch); }

char* PM_PIC::get_arch() const { return get_pm(); }

char* PM_PIC::get_arch_friend(int i) const { return get_pm_friend(i); }

bool PM_PIC::set_device(const char* name) { return pic().SetDevice(name); }

bool PM_PIC::set_package(const char* name) { return pic().SetPackage(name); }

bool PM_PIC::set_speed(const char* name) { return pic().SetSpeed(name); }

char* PM_PIC::get_vendor() const { return NullWhenEmpty(pic().vendorName()); }

char* PM_PIC::get_family() const { return NullWhenEmpty(pic().familyName()); }

char* PM_PIC::get_device() const { return NullWhenEmpty(pic().deviceName()); }

char* PM_PIC::get_package() const { return NullWhenEmpty(pic().packageName()); }

char* PM_PIC::get_speed() const { return NullWhenEmpty(pic().speedName()); }

char* PM_PIC::get_part() const { return pic().ComposePart(); }

char* PM_PIC::get_partname() const { return pic().ComposePartName(); }

char* PM_PIC::get_internal_device(int index) const {
  return const_cast<char*>(pic().InternalName(index));
}

int PM_PIC::get_num_idnames() const { return pic().InternalNameCount(); }

char* PM_PIC::find_external_device(const char* name) const {
  const Port::String external = pic().ExternalName(name ? name : "");
  return external.empty() ? nullptr : Port::strdup(external.c_str());
}

Port::String PM_PIC::find_internal_device(const char* name) const {
  return pic().FirstInternalName(name);
}

Port::String PM_PIC::GetSubFamilySpecifier() const { return pic().SubFamilySpecifier(); }

Port::String PM_PIC::GetSubFamily() const { return pic().SubFamily(); }

bool PM_PIC::getsupportedranges(std::vector<Port::String>& ranges) const {
  return pic().SupportedRanges(ranges);
}

Port::String PM_PIC::get_range() const { return pic().Range(); }

Port::String PM_PIC::getDatabookName() const { return pic().DatabookName(); }

unsigned char PM_PIC::get_minspd() const { return pic().minimumSpeed() ? 1 : 0; }

unsigned char PM_PIC::get_411spd() const { return pic().speed411() ? 1 : 0; }

void PM_PIC::set_minspd(unsigned char value) { pic().setMinimumSpeed(value != 0); }

void PM_PIC::set_411spd(unsigned char value) { pic().setSpeed411(value != 0); }
