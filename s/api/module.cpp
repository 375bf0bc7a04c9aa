// pmlib::Module over a PM_PIC of the architecture: every answer is a call on that handle.
#include <pmlib/module.h>

#include <algorithm>
#include <cctype>

#include <pmlib/installation.h>

#include "api_support.h"
#include "baspmdevkey.h"
#include "baspmpic.h"
#include "PMLists.h"
#include "module_handle.h"
#include "pmdefkeys.h"
#include "pmlib/pmdevkey.h"
#include "pmlib/pmpic.h"
#include "pmunit.h"

namespace {
constexpr char kUnit[] = "module";
}  // namespace

namespace pmlib {

namespace detail {

namespace {

// The module an alias stands for, scanning the installation when it is not registered yet; the
// name itself when it is no alias.
std::string ProperName(const std::string& name, PM_PARTNAME_BINDING binding) {
  PM_SPEC lookup(nullptr, binding);
  if (lookup.isvalidpmname(name.c_str(), 1)) return name;
  const auto_array<char> proper = lookup.GetProperName(name.c_str(), true);
  return proper ? std::string(proper.get()) : name;
}

// Whether a part bound by `binding` may use unsupported modules, as the library decides it.
bool UnsupportedAllowed(PM_PARTNAME_BINDING binding) {
  return PMSpecImp(nullptr, nullptr, binding).unsupportedPermitted();
}

// A part of the module `proper`, unless the binding refuses it as unsupported. The library itself
// finds a module that the registry lists as unsupported whatever the binding, and a refused
// attempt leaves a failed definition reader that a later allowed open would be given: a module
// that only the unsupported folders hold is refused before the library looks for it, with the
// library's message for a module that is not installed.
std::unique_ptr<PM_PIC> NewPartUnlessRefused(const std::string& proper,
                                             PM_PARTNAME_BINDING binding) {
  if (UnsupportedAllowed(binding) || !locateModule(proper).unsupported) {
    return PMPicImp::NewPart(proper.c_str(), binding);
  }
  PM_ISSUE(CannotOpenDefinitionFile, proper.c_str());
  return nullptr;
}

}  // namespace

std::unique_ptr<PM_PIC> OpenArchitecture(std::string_view name, Unsupported unsupported) {
  RequireInstallation();
  const PM_PARTNAME_BINDING binding = ToBinding(unsupported);
  // The registry learns the unsupported modules first, so that they can be named too.
  if (UnsupportedAllowed(binding)) pm_specmgr.InitUnsuppPMsOnce();
  const std::string given = Terminated(name);
  const CallWatch watch;
  std::unique_ptr<PM_PIC> part = NewPartUnlessRefused(ProperName(given, binding), binding);
  if (part && part->get_defdata()) return part;
  const int kNotInstalled = 33;
  const std::optional<Port::Message> complaint = watch.Complaint(kNotInstalled);
  if (complaint && complaint->code == kNotInstalled) {
    Fail(ErrorKind::NoSuchModule, watch, kNotInstalled, "no module \"" + given + "\"");
  }
  Fail(ErrorKind::UnreadableDefinition, watch, 0,
       "the definition of \"" + given + "\" does not read");
}

std::vector<std::string> NextLevelNames(const char* architecture,
                                        const std::vector<std::string>& levels) {
  const std::unique_ptr<PM_PIC> lister =
      PMPicImp::NewPart(architecture, PM_BINDING_ALLOW_UNSUPPORTED);
  if (levels.size() > 0 && !lister->set_device(levels[0].c_str())) return {};
  if (levels.size() > 1 && !lister->set_package(levels[1].c_str())) return {};
  lister->make_list(nullptr, nullptr, 0);
  return Names(lister->begin(false), lister->end(false));
}

}  // namespace detail

namespace {

std::string Uppered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::vector<std::string> Strings(const std::vector<Port::String>& texts) {
  std::vector<std::string> strings;
  for (const Port::String& text : texts) strings.push_back(text.str());
  return strings;
}

using SharedList = boost::shared_ptr<PersonalityModule::BaseList>;

// The names of one of the library's shared lists of the architecture's device, as `get` finds
// it for a bare implementation of the architecture (no levels set, so none is refused).
std::vector<std::string> SharedListNames(const char* architecture, std::string_view device,
                                         SharedList (*get)(const PMSpecImp&, const Port::String&)) {
  PMPicImp part(nullptr, PM_BINDING_ALLOW_UNSUPPORTED);
  part.verify_and_set_pm(architecture, true);
  const SharedList list = get(part, Port::String(detail::Terminated(device).c_str()));
  if (!list) return {};
  PersonalityModule::EnsureBuilt(*list);
  return list->names() ? Strings(*list->names()) : std::vector<std::string>();
}

}  // namespace

std::string deviceFormatExpression(std::string_view format) {
  return PersonalityModule::DeviceExpression(detail::Terminated(format));
}

std::vector<std::vector<std::string>> deviceTable(std::string_view value) {
  return PersonalityModule::DeviceTable(detail::Terminated(value).c_str()).groups();
}

struct Module::Impl {
  std::unique_ptr<PM_PIC> part;
};

Module::Module(std::string_view name, Unsupported unsupported)
    : impl_(std::make_unique<Impl>(Impl{detail::OpenArchitecture(name, unsupported)})) {}

Module::Module(const Module& other)
    : impl_(std::make_unique<Impl>(Impl{std::make_unique<PM_PIC>(other.handle())})) {}

Module& Module::operator=(const Module& other) {
  if (this != &other) *this = Module(other);
  return *this;
}

Module::Module(Module&& other) noexcept = default;
Module& Module::operator=(Module&& other) noexcept = default;
Module::~Module() = default;

PM_PIC& Module::handle() const { return *impl_->part; }

std::string Module::name() const { return handle().get_arch(); }

std::optional<std::string> Module::alias() const {
  const auto_array<char> called = handle().GetName();
  if (!called || name() == called.get()) return std::nullopt;
  return std::string(called.get());
}

bool Module::unsupported() const { return handle().isunsupported(); }

std::string Module::definition() const {
  return handle().GetDatafileName(1, ".acd", true, -2).str();
}

std::optional<std::string> Module::vendor() const { return detail::Text(handle().get_vendor()); }

std::optional<std::string> Module::family() const { return detail::Text(handle().get_family()); }

std::string Module::typeName() const {
  const std::string type = Uppered(value("ARCH_TYPE").value_or(""));
  return type.empty() ? "FPGA" : type;
}

ModuleType Module::type() const {
  const std::string type = typeName();
  if (type == "FPGA") return ModuleType::FPGA;
  if (type == "CPLD") return ModuleType::CPLD;
  if (type == "CONFIG") return ModuleType::CONFIG;
  return ModuleType::Other;
}

std::vector<std::string> Module::friends() const {
  std::vector<std::string> chain;
  for (int i = 0; i < handle().get_num_friends(); ++i)
    chain.emplace_back(handle().get_arch_friend(i));
  return chain;
}

std::optional<std::string> Module::value(std::string_view key) const {
  const char* raw = PMDevKeyRawValue(*handle().get_defdata(), detail::Terminated(key).c_str());
  if (!raw) return std::nullopt;
  return std::string(raw);
}

std::optional<std::string> Module::value(std::string_view key, const Field& field) const {
  return detail::Text(handle().get_defdata()->GetStringByKey(detail::Terminated(key).c_str(),
                                                             field.separator, field.index,
                                                             field.subSeparator, field.subIndex));
}

const std::vector<std::string>& definitionKeys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> all(std::begin(PersonalityModule::Keys::kDefinitionKeys),
                                 std::end(PersonalityModule::Keys::kDefinitionKeys));
    all.emplace_back(PersonalityModule::Keys::kDepend);
    return all;
  }();
  return keys;
}

const std::vector<std::string>& definitionKeyPrefixes() {
  static const std::vector<std::string> prefixes(
      std::begin(PersonalityModule::Keys::kDefinitionKeyPrefixes),
      std::end(PersonalityModule::Keys::kDefinitionKeyPrefixes));
  return prefixes;
}

std::vector<std::pair<std::string, std::string>> Module::ownKeys() const {
  // Not from the reader cache: the cached reader of the definition is the one that a
  // PM_SPEC's friend chain is merged into.
  const PM_DEVKEY own("", &handle(), 1, 0, 0);
  std::vector<std::pair<std::string, std::string>> keys;
  for (auto keyValue = own.begin(); keyValue != own.end(); ++keyValue) {
    keys.emplace_back(keyValue->first.get(), keyValue->second.get());
  }
  return keys;
}

std::vector<std::string> Module::deviceNames() const {
  return detail::NextLevelNames(handle().get_arch(), {});
}

Device Module::device(std::string_view name) const {
  const std::string given = detail::Terminated(name);
  const auto_array<char> external(handle().find_external_device(given.c_str()));
  if (!external) {
    throw Error(ErrorKind::NoSuchDevice, 0, "\"" + given + "\" is no device of " + this->name());
  }
  const std::unique_ptr<PM_PIC> part =
      PMPicImp::NewPart(handle().get_arch(), PM_BINDING_ALLOW_UNSUPPORTED);
  part->set_device(external.get());
  Device device;
  device.name = part->get_device();
  for (int i = 0; i < part->get_num_idnames(); ++i) {
    device.internalNames.emplace_back(part->get_internal_device(i));
  }
  device.packages = detail::NextLevelNames(handle().get_arch(), {device.name});
  if (!device.packages.empty()) {
    device.speeds =
        detail::NextLevelNames(handle().get_arch(), {device.name, device.packages.front()});
  }
  device.speedGrades = listedSpeedGrades(device.name);
  device.subfamily = detail::Text(part->GetSubFamily());
  std::vector<Port::String> ranges;
  part->getsupportedranges(ranges);
  device.ranges = Strings(ranges);
  return device;
}

std::vector<Device> Module::devices() const {
  std::vector<Device> all;
  for (const std::string& name : deviceNames()) all.push_back(device(name));
  return all;
}

std::vector<std::string> Module::listedPackages(std::string_view device) const {
  return SharedListNames(handle().get_arch(), device, PersonalityModule::GetPackageList);
}

// The speed list a part's listing filters by DISALLOW_SPEEDS afterwards.
std::vector<std::string> Module::listedSpeedGrades(std::string_view device) const {
  return SharedListNames(handle().get_arch(), device, PersonalityModule::GetSpeedList);
}

std::vector<std::string> Module::disallowedSpeeds() const {
  std::vector<std::string> speeds;
  for (std::string& speed :
       PersonalityModule::SplitNames(value("DISALLOW_SPEEDS").value_or("").c_str(), ',')) {
    if (!speed.empty()) speeds.push_back(std::move(speed));
  }
  return speeds;
}

std::optional<std::string> Module::dataFile(std::string_view name) const {
  return detail::Text(handle().GetDatafileName(1, detail::Terminated(name).c_str(), true, -1));
}

std::optional<std::string> Module::helpFile(std::string_view name) const {
  return detail::Text(handle().gethelpfilename(1, detail::Terminated(name).c_str(), 1, -1));
}

std::optional<std::string> Module::programFile(std::string_view name) const {
  return detail::Text(handle().getexecfilename(1, detail::Terminated(name).c_str(), 1));
}

std::optional<std::string> Module::libraryFile(std::string_view name) const {
  return detail::Text(handle().getdllfilename(detail::Terminated(name).c_str()));
}

std::vector<std::string> Module::dataFiles(std::string_view name) const {
  const std::unique_ptr<std::vector<Port::String>> copies =
      handle().getdatafiles(detail::Terminated(name).c_str());
  return copies ? Strings(*copies) : std::vector<std::string>();
}

}  // namespace pmlib
