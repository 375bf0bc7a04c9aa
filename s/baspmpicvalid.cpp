// Parts: validity of each level with its messages, error status, defaults, comparison, the lists
// of what may come next (architectures, devices, packages, speeds), macro lists and the dump.
#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>

#include <pmport/port_env.h>
#include <pmport/port_file.h>
#include <pmport/port_path.h>
#include <pmport/port_thread.h>
#include <pmport/sfp_acd.h>

#include "PMLists.h"
#include "Validator.h"
#include "baspmpic.h"
#include "baspmpicutil.h"
#include "pmlockedmap.h"
#include "pmlayout.h"
#include "pmunit.h"

namespace Layout = PersonalityModule::Layout;

namespace {

constexpr char kUnit[] = "baspmpicvalid";
constexpr char kOverrideCategory[] = "PMSPEC";

using PersonalityModule::ListIterator;
using PersonalityModule::Validator;

const Port::PathList& Installation() { return Port::KorvanPath::GetInstance(); }

bool SameIgnoringCase(const Port::String& a, const char* b) { return a.Compare(b, 1) == 0; }

Port::String Uppered(const Port::String& text) {
  std::string upper = text.str();
  UT_STR::Upper(upper.data());
  return upper;
}

const char* DashWhenEmpty(const Port::String& text) { return text.empty() ? "-" : text.c_str(); }

// The ","-separated names of a value, blanks around each removed.
std::vector<std::string> ListedNames(const Port::String& value) {
  std::vector<std::string> names;
  std::string::size_type start = 0;
  const std::string& text = value.str();
  while (start <= text.size() && !text.empty()) {
    const auto end = std::min(text.find(',', start), text.size());
    const std::string name = text.substr(start, end - start);
    const auto first = name.find_first_not_of(" \t");
    if (first != std::string::npos) {
      names.push_back(name.substr(first, name.find_last_not_of(" \t") - first + 1));
    }
    start = end + 1;
  }
  return names;
}

// What the probe found for each module of the last installation root; it is asked on every
// listing of the architectures, so each module's definition is opened once per process.
using LastRootProbes = PersonalityModule::LockedMap<std::string, bool>;

LastRootProbes& LastRootProbeResults() {
  static LastRootProbes probes;
  return probes;
}

// Keeps `entries` sorted ascending ignoring case; `unique` drops an entry equal to one present
// (ignoring case), else an equal entry goes after those present.
void InsertIgnoringCase(std::vector<std::string>& entries, const std::string& entry, bool unique) {
  const auto less = [](const std::string& a, const std::string& b) {
    return Port::stricmp(a.c_str(), b.c_str()) < 0;
  };
  const auto position = std::upper_bound(entries.begin(), entries.end(), entry, less);
  if (unique && position != entries.begin() &&
      Port::stricmp(std::prev(position)->c_str(), entry.c_str()) == 0) {
    return;
  }
  entries.insert(position, entry);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// PMPicImp: name tests

bool PMPicImp::IsValidDeviceName(const char* name, bool quiet) const {
  if (!name) return false;
  if (depth == 0) {
    if (!quiet) {
      PM_ISSUE(DeviceNameNeedsModule);
    }
    if (!validator) return false;
  }
  if (validator && validator->isvaliddevice(name)) return true;
  if (!quiet) {
    PM_ISSUE(CannotFindDevice, name, pm.c_str());
  }
  return false;
}

bool PMPicImp::IsValidPackageName(const char* name, bool quiet) const {
  if (!name || !*name) return false;
  if (depth < 2) {
    if (!quiet) PM_ISSUE(PackageNameNeedsDevice);
    return false;
  }
  if (validator && validator->isvalidpackage(device, name)) return true;
  if (!quiet) {
    PM_ISSUE(CannotFindPackage, name, pm.c_str());
  }
  return false;
}

bool PMPicImp::IsValidSpeedName(const char* name, bool quiet) const {
  if (!name) return false;
  if (device.empty()) {
    if (!quiet) PM_ISSUE(SpeedNameNeedsDevice);
    return false;
  }
  const bool accepted = validator && validator->isvalidspeed(device, name);
  const bool disallowed = IsDisallowedSpeed(name);
  if (accepted && !disallowed) return true;
  if (!quiet) {
    PM_ISSUE(CannotFindSpeed, name, pm.c_str());
  }
  return false;
}

void PMPicImp::MakeDeviceKeysCurrent() const {
  if (deviceKeysCurrent || !defdata) return;
  auto store = boost::make_shared<PMDevKeyImp>(true);
  store->OpenForPart("", *this, PartNames(), {true, true, true});
  // A part store that cannot be read keeps the architecture's store rather than losing every key.
  if (store->valid()) defdata = boost::make_shared<PM_DEVKEY>(store);
  deviceKeysCurrent = true;
}

std::vector<std::string> PMPicImp::DisallowedSpeeds() const {
  MakeDeviceKeysCurrent();
  return ListedNames(KeyValue("DISALLOW_SPEEDS"));
}

bool PMPicImp::IsDisallowedSpeed(const char* speedName) const {
  const std::vector<std::string> disallowed = DisallowedSpeeds();
  return std::any_of(disallowed.begin(), disallowed.end(), [speedName](const std::string& name) {
    return Port::stricmp(name.c_str(), speedName) == 0;
  });
}

unsigned char PMPicImp::IsValidPart(bool toSpeed, bool quiet) {
  if (toSpeed && depth < 4) {
    if (!quiet) PM_ISSUE(PicNotDownToSpeed);
    return 0;
  }
  if (!toSpeed && depth < 3) {
    if (!quiet) PM_ISSUE(PicNotDownToPackage);
    return 0;
  }
  ForgetNames();
  if (!isvalidpmname(pm.c_str(), quiet)) {
    if (!quiet) PM_ISSUE(InvalidModule, pm.c_str());
    return 0;
  }
  if (!IsValidDeviceName(device.c_str(), quiet)) {
    if (!quiet) PM_ISSUE(InvalidDevice, device.c_str());
    return 0;
  }
  if (!IsValidPackageName(package.c_str(), quiet)) {
    if (!quiet) {
      PM_ISSUE(InvalidPackage, package.empty() ? "unknown" : package.c_str());
    }
    return 0;
  }
  if (toSpeed && !IsValidSpeedName(speed.c_str(), quiet)) {
    if (!quiet) PM_ISSUE(InvalidSpeed, speed.c_str());
    return 0;
  }
  return 1;
}

// ---------------------------------------------------------------------------------------------
// PMPicImp: the architecture on the installation

bool PMPicImp::ProbeDefinition(const Port::String& path, const Port::String& name,
                               bool askValidator) const {
  if (!Port::File::exist(path)) return false;
  // The listing that comes before a probe has usually read this definition already.
  const boost::shared_ptr<const StaticAcdRead> reader = PMReadDefinitionFile(path);
  const StaticAcdRead& acd = *reader;
  const char* mode = acd.getkeyeddata("SUPPORT_MODE");
  if (!mode || Port::stricmp(mode, "PHYSICAL") != 0) return false;
  const char* type = acd.getkeyeddata("ARCH_TYPE");
  SetArchType(type ? type : "");
  if (!askValidator) return true;
  return validator && validator->hasdevicedata(acd, name);
}

bool PMPicImp::ProbeArchitecture(const Port::String& root, const Port::String& name,
                                 bool alsoUnsupported) {
  if (ProbeDefinition(Layout::DefinitionPath(root, name, false), name, true)) return true;
  if (!alsoUnsupported || !ProbeDefinition(Layout::DefinitionPath(root, name, true), name, false)) {
    return false;
  }
  unsupported = true;
  return true;
}

// ProbeArchitecture without the unsupported folders, which changes no more than the selected type.
bool PMPicImp::FindArchitectureOnPath() const {
  const Port::PathList& roots = Installation();
  return std::any_of(roots.begin(), roots.end(), [this](const Port::String& root) {
    return ProbeDefinition(Layout::DefinitionPath(root, pm, false), pm, true);
  });
}

bool PMPicImp::IsValidArchitecture() const {
  if (validity == 255) validity = FindArchitectureOnPath() ? 1 : 0;
  return validity != 0;
}

// ---------------------------------------------------------------------------------------------
// PMPicImp: error status

char PMPicImp::PicStatus(const char*& text) const {
  const Port::String* rejected = RejectedText();
  if (rejected && !rejected->empty()) text = rejected->c_str();
  return static_cast<char>(errorStatus);
}

char PMPicImp::ErrorStatus(const char*& text) const {
  const Port::String* rejected = RejectedText();
  if (rejected && rejected->empty()) errorStatus = 0;
  return PicStatus(text);
}

const Port::String* PMPicImp::RejectedText() const {
  switch (errorStatus) {
    case 1:
      return &rejectedArch;
    case 2:
      return &rejectedDevice;
    case 3:
      return &rejectedPackage;
    case 4:
      return &rejectedSpeed;
    default:
      return nullptr;
  }
}

// ---------------------------------------------------------------------------------------------
// PMPicImp: defaults and comparison

bool PMPicImp::DefaultLevel(const char* level, bool (PMPicImp::*set)(const char*)) {
  make_list(nullptr, nullptr, false, 0);
  if (names.empty()) {
    PM_ISSUE(NoDefault, level);
    return false;
  }
  const std::string first = names[0];
  Port_MsgManData::debugStub("defaulting %s to '%s'\n", level, first.c_str());
  (this->*set)(first.c_str());
  return true;
}

bool PMPicImp::FillDefaults() {
  if (pm.empty()) {
    PM_ISSUE(FillDefaultsOnEmptyPic);
    return false;
  }
  if (!speed.empty()) return true;
  if (device.empty() && !DefaultLevel("device", &PMPicImp::SetDevice)) return false;
  if (package.empty() && !DefaultLevel("package", &PMPicImp::SetPackage)) return false;
  return DefaultLevel("speed", &PMPicImp::SetSpeed);
}

bool PMPicImp::MatchesDevice(const char* name) const {
  if (device.empty()) return false;
  if (PersonalityModule::CompareDeviceNames(device.c_str(), name) == 0) return true;
  for (int i = 0; i < internalNameCount; ++i) {
    if (PersonalityModule::CompareDeviceNames(InternalName(i), name) == 0) return true;
  }
  return false;
}

bool PMPicImp::SameLevels(const PMPicImp& other) const {
  if (depth != other.depth || pm != other.pm) return false;
  if (depth <= 1) return true;
  if (device != other.device) return false;
  if (depth == 2) return true;
  if (package != other.package) return false;
  if (depth == 3) return true;
  return speed == other.speed;
}

// ---------------------------------------------------------------------------------------------
// PMPicImp: lists

void PMPicImp::ReleaseList() {
  ForgetNames();
  aliasedNames.reset();
}

void PMPicImp::make_list(const char* key, const char* value, bool withBaseMode,
                         int withConfiguration) {
  ReleaseList();
  switch (depth) {
    case 4:
      return;
    case 3:
      ListSpeeds();
      return;
    case 2:
      ListRange(validator ? validator->packagebegin(device) : ListIterator(),
                validator ? validator->packageend(device) : ListIterator());
      return;
    case 1:
      ListRange(validator ? validator->devicebegin() : ListIterator(),
                validator ? validator->deviceend() : ListIterator());
      return;
    default:
      ListArchitectures(key, value, withBaseMode, withConfiguration != 0);
  }
}

void PMPicImp::ListRange(ListIterator name, const ListIterator& end,
                         const std::vector<std::string>& leftOut) {
  for (; name != end; ++name) {
    const bool left = std::any_of(leftOut.begin(), leftOut.end(), [&name](const std::string& out) {
      return Port::stricmp(out.c_str(), name->c_str()) == 0;
    });
    if (!left) names.push_back(name->c_str());
  }
}

void PMPicImp::ListSpeeds() {
  const std::vector<std::string> disallowed = DisallowedSpeeds();
  if (!validator) return;
  ListRange(validator->speedbegin(device), validator->speedend(device), disallowed);
  minSpeed = validator->getminspd(device);
  spd411 = validator->get411spd(device);
}

// Opens the definition of `name` with its friends as the module of this (empty) part.
bool PMPicImp::OpenListedDefinition(const Port::String& name) {
  defdata.reset();
  friends.clear();
  pm = name;
  depth = 1;
  defdata = OpenDefinition(true, false, true);
  return static_cast<bool>(defdata);
}

bool PMPicImp::AcceptListedArchitecture(const char* key, const char* value, bool withBaseMode,
                                        bool withConfiguration) const {
  if (!withConfiguration && SameIgnoringCase(KeyValue("ARCH_TYPE"), "CONFIG")) return false;
  const Port::String baseMode = Uppered(KeyValue("BASE_MODE"));
  if (!(baseMode == "FALSE" || (withBaseMode && baseMode == "TRUE"))) return false;
  if (!key) return true;
  const Port::String filtered = Uppered(KeyValue(key));
  return !filtered.empty() && (!value || filtered == value);
}

bool PMPicImp::ProbeListedArchitecture(const Port::PathListIterator& root,
                                       const Port::String& name) {
  const Port::PathList& roots = Installation();
  if (root != roots.last()) {
    if (!ProbeArchitecture(*root, name, false)) return false;
    const Port::String overridden = Layout::DefinitionPath(*roots.last(), name, false);
    const Port::String overriding = Layout::DefinitionPath(*root, name, false);
    Port_Env::IssueOverrideMessage(overridden.c_str(), overriding.c_str(), kOverrideCategory);
    return true;
  }
  return LastRootProbeResults().findOrMake(name.str(),
                                           [&] { return ProbeArchitecture(*root, name, false); });
}

void PMPicImp::ListArchitectures(const char* key, const char* value, bool withBaseMode,
                                 bool withConfiguration) {
  aliases.clear();
  const bool supportMode = key && (std::string(key) == "LOGICAL" || std::string(key) == "PHYSICAL");
  const char* filterKey = supportMode ? "SUPPORT_MODE" : key;
  const char* filterValue = supportMode ? key : value;

  std::vector<std::string> entries;
  std::set<std::string> taken;
  const std::set<Port::String>& skipped = PMSkippedDirectories();
  const Port::PathList& roots = Installation();
  for (auto root = roots.begin(); root != roots.end(); ++root) {
    const UT_DIR listing(*root, UT_DIR::WithDirectories);
    for (auto name = listing.begin(); name != listing.end(); ++name) {
      if (skipped.count(*name) || taken.count(name->str())) continue;
      if (!ProbeListedArchitecture(root, *name)) continue;
      taken.insert(name->str());
      if (!OpenListedDefinition(*name) ||
          !AcceptListedArchitecture(filterKey, filterValue, withBaseMode, withConfiguration)) {
        continue;
      }
      const Port::String familyValue = KeyValue("FAMILY");
      const Port::String entry =
          familyValue.empty() ? KeyValue("VENDOR") : KeyValue("VENDOR") + ":" + familyValue;
      InsertIgnoringCase(entries, entry.str(), true);
      const Port::String alias = KeyValue((Port::String("ALIAS_") + KeyValue("ARCH_NAME")).c_str());
      if (!alias.empty()) RecordAlias(name->c_str(), alias.c_str());
    }
  }
  for (const std::string& entry : entries) names.push_back(entry.c_str());
  defdata.reset();
  friends.clear();
  pm = Port::String();
  depth = 0;
}

void PMPicImp::MakeMacroList() {
  ReleaseList();
  if (pm.empty()) {
    PM_ISSUE(BadModuleName, "NULL");
    return;
  }
  const Port::PathList& roots = Installation();
  if (roots.empty()) return;
  const UT_DIR listing(*roots.last() + "/" + pm + "/", 0);
  std::vector<std::string> macros;
  for (auto file = listing.begin("*.nmc"); file != listing.end(); ++file) {
    char base[UT_PATH::BaseBufferSize];
    InsertIgnoringCase(macros, UT_PATH::GetBase(file->c_str(), base), false);
  }
  for (const std::string& macro : macros) names.push_back(macro.c_str());
}

void PMPicImp::PrintPart() const {
  printme("PM_PIC ");
  PM_ISSUE(DumpPicStatus, unsupported ? "Unsupported" : "Supported",
           IsValidArchitecture() ? "" : "not ");
  PM_ISSUE(DumpPicNames, DashWhenEmpty(vendor), DashWhenEmpty(family), DashWhenEmpty(device),
           DashWhenEmpty(package), DashWhenEmpty(speed));
  PM_ISSUE(DumpDatabook, DatabookName().c_str());
  if (!package.empty()) PM_ISSUE(DumpMinimumSpeed, minSpeed ? "" : "no ");
  PM_ISSUE(DumpRange, Range().c_str());
  std::vector<Port::String> ranges;
  if (SupportedRanges(ranges) && !ranges.empty()) {
    PM_ISSUE(DumpSupportedRanges);
    for (const Port::String& range : ranges) PM_ISSUE(DumpSupportedRange, range.c_str());
    PM_ISSUE(DumpLineEnd);
  }
}

// ---------------------------------------------------------------------------------------------
// PM_PIC

unsigned char PM_PIC::isvalid(unsigned char toSpeed, unsigned char quiet) {
  return pic().IsValidPart(toSpeed != 0, quiet != 0);
}

void PM_PIC::make_list(const char* key, const char* value, unsigned char withBaseMode) {
  pic().make_list(key, value, withBaseMode != 0, 0);
}

void PM_PIC::printme(const char* /*label*/) const { pic().PrintPart(); }

bool PM_PIC::IsValid() const { return pic().IsValidArchitecture(); }

unsigned char PM_PIC::isvaliddevicename(const char* name, unsigned char quiet) const {
  return pic().IsValidDeviceName(name, quiet != 0) ? 1 : 0;
}

unsigned char PM_PIC::isvalidpackagename(const char* name, unsigned char quiet) const {
  return pic().IsValidPackageName(name, quiet != 0) ? 1 : 0;
}

unsigned char PM_PIC::isvalidspeedname(const char* name, unsigned char quiet) const {
  return pic().IsValidSpeedName(name, quiet != 0) ? 1 : 0;
}

char PM_PIC::getpicstatus(const char*& text) const { return pic().PicStatus(text); }

char PM_PIC::geterrorstatus(const char*& text) const { return pic().ErrorStatus(text); }

bool PM_PIC::fill_defaults() { return pic().FillDefaults(); }

bool PM_PIC::matches_device(const char* name) const { return pic().MatchesDevice(name); }

bool PM_PIC::operator==(const PM_PIC& other) const { return pic().SameLevels(other.pic()); }

void PM_PIC::make_macrolist() { pic().MakeMacroList(); }
