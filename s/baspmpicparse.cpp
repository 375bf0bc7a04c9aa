// Parts: part-name parsing. A part name ("xcab12etq144-3") names no architecture; each
// architecture's definition says what its device names look like (DEVICE_FORMAT,
// ALT_DEVICE_FORMAT) and what its speeds look like (SPEED_FORMAT), and the rest is the package.
// The installation's pattern files map architectures straight to expressions and are asked first.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <pmport/port_file.h>
#include <pmport/port_path.h>
#include <pmport/port_regexp.h>
#include <pmport/port_thread.h>

#include "baspmpic.h"
#include "pmlayout.h"
#include "pmlockedmap.h"
#include "pmunit.h"

namespace {

constexpr char kUnit[] = "baspmpicparse";

constexpr char kDefaultSpeedFormat[] = "[0-9]+[iq]?";
constexpr const char* kDeviceFormatKeys[] = {"DEVICE_FORMAT", "ALT_DEVICE_FORMAT"};
// What device naming gives a device that the architecture lists no internal name for.
constexpr char kNoInternalName[] = "NO_INTERNAL_DEVICE_NAME";

using Port::Lowered;

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Every expression the parser uses is compiled once per process: parsing the parts of an
// architecture already seen compiles nothing. Compiling is cheap and touches no file, so it runs
// under the lock; copies of an expression share the compiled form.
class ExpressionCache {
 public:
  Port_Regexp Get(const std::string& expression) {
    return compiled_.findOrMakeLocked(expression,
                                      [&expression] { return Port_Regexp(expression.c_str()); });
  }

 private:
  PersonalityModule::LockedMap<std::string, Port_Regexp> compiled_;
};

ExpressionCache& Expressions() {
  static ExpressionCache cache;
  return cache;
}

// The expression of each device format, made once per distinct format (under the lock: cheap).
class FormatCache {
 public:
  std::string Get(const std::string& format) {
    return expressions_.findOrMakeLocked(
        format, [&format] { return PersonalityModule::DeviceExpression(format); });
  }

 private:
  PersonalityModule::LockedMap<std::string, std::string> expressions_;
};

FormatCache& Formats() {
  static FormatCache cache;
  return cache;
}

// An architecture's expression in the pattern table, and its compiled form once it was matched:
// a parse tries the expressions one after the other, and taking each from the shared expression
// cache (a lock and a hash of its text) would cost more than most of them take to fail.
class PatternExpression {
 public:
  explicit PatternExpression(std::string text) : text_(std::move(text)) {}

  const Port_Regexp& Compiled() {
    if (!compiled_) compiled_ = Expressions().Get(text_);
    return *compiled_;
  }

 private:
  std::string text_;
  std::optional<Port_Regexp> compiled_;
};

// The architectures of the pattern files with their expressions, iterated in byte order of the
// architecture names. Like the other tables that parsing fills, it is not locked: parsing is not
// to run on two threads at once.
struct PatternTable {
  bool loaded = false;
  std::map<std::string, PatternExpression> expressions;
};

PatternTable& Patterns() {
  static PatternTable table;
  return table;
}

// Reads "<root>/data/patternfile" of every root, in path-list order: lines "arch=expression";
// an architecture keeps the first expression found for it.
void LoadPatternFiles(PatternTable& table) {
  const Port::PathList& roots = Port::KorvanPath::GetInstance();
  for (const Port::String& root : roots) {
    const Port::String path = root + "/data/patternfile";
    if (!Port::File::exist(path)) continue;
    std::unique_ptr<Port::Stream, void (*)(Port::Stream*)> stream(
        Port::File::open(path, Port::File::Read, true), Port::File::close);
    if (!stream) continue;
    std::string line;
    while (stream->readline(line)) {
      const auto equals = line.find('=');
      if (equals == std::string::npos) continue;
      const std::string arch = Trimmed(line.substr(0, equals));
      // A name that is not plain would lead the probe out of the installation: no architecture.
      if (!PersonalityModule::Layout::IsModuleName(arch)) continue;
      table.expressions.emplace(arch, PatternExpression(Trimmed(line.substr(equals + 1))));
    }
  }
  table.loaded = true;
}

PatternTable& LoadedPatterns() {
  PatternTable& table = Patterns();
  if (!table.loaded) LoadPatternFiles(table);
  return table;
}

// What a probe of the pattern route found for one root, architecture and permission: probing
// reads the definition, which a repeated parse must not do again.
struct ProbeResult {
  bool found;
  bool unsupported;
};

using PatternProbes = PersonalityModule::LockedMap<std::string, ProbeResult>;

PatternProbes& PatternProbeResults() {
  static PatternProbes probes;
  return probes;
}

// The three expressions the speed search makes of a speed format, for the format the thread
// searched with last: the parts of an architecture share one, so a parse neither builds the
// expressions' texts nor takes them from the locked cache. Each is taken when first needed.
class SpeedExpressions {
 public:
  enum Place { kAtEnd, kBetween, kAnywhere };

  static SpeedExpressions& For(const std::string& format) {
    thread_local SpeedExpressions last;
    if (last.format_ != format || !last.used_) last = SpeedExpressions(format);
    return last;
  }

  const Port_Regexp& Get(Place place) {
    static constexpr const char* kEnds[] = {"$", "-", ""};
    std::optional<Port_Regexp>& expression = expressions_[place];
    if (!expression) expression = Expressions().Get("-" + format_ + kEnds[place]);
    return *expression;
  }

 private:
  SpeedExpressions() = default;
  explicit SpeedExpressions(const std::string& format) : format_(format), used_(true) {}

  std::string format_;
  bool used_ = false;
  std::optional<Port_Regexp> expressions_[3];
};

// The speed of `remainder` with its leading "-": at the end, else between two "-" (the second
// dropped), else anywhere.
Port_Range FindSpeed(const Port::String& remainder, const std::string& speedExpression) {
  SpeedExpressions& expressions = SpeedExpressions::For(speedExpression);
  const Port_Range atEnd = expressions.Get(SpeedExpressions::kAtEnd).GetRangeOfMatch(remainder, 0);
  if (!atEnd.empty()) return atEnd;
  Port_Range between = expressions.Get(SpeedExpressions::kBetween).GetRangeOfMatch(remainder, 0);
  if (!between.empty()) {
    --between.last;
    return between;
  }
  return expressions.Get(SpeedExpressions::kAnywhere).GetRangeOfMatch(remainder, 0);
}

void TrimLeadingDashes(Port::String& text) {
  const std::string& value = text.str();
  const auto first = value.find_first_not_of('-');
  text = first == std::string::npos ? std::string() : value.substr(first);
}

Port::String NameAfterVendor(const char* entry) {
  const char* colon = std::strchr(entry, ':');
  return colon ? Port::String(colon + 1) : Port::String();
}

char* CopyOrNull(const Port::String& text) {
  return text.empty() ? nullptr : Port::strdup(text.c_str());
}

}  // namespace

// The best candidate of a search: the levels of the last architecture whose format matched.
struct PMPicImp::ParseRecord {
  Port::String arch;
  Port::String device;
  Port::String package;
  Port::String speed;
};

// What the pattern file's route bound and accepted: the architecture as it was handed to
// verify_and_set_pm, the device text the device test accepted, and how much had been said on the
// thread before the architecture was set.
struct PMPicImp::CheckedBinding {
  Port::String arch;
  Port::String deviceText;
  unsigned long long messagesBefore = 0;
  unsigned long long tracesBefore = 0;
};

void PMPicImp::TakeLevelsInto(ParseRecord& candidate) const {
  candidate.device = device;
  candidate.package = package;
  candidate.speed = speed;
}

std::unique_ptr<PMPicImp> PMPicImp::TemporaryOfSameKind(PM_PARTNAME_BINDING binding) const {
  std::unique_ptr<PMPicImp> temporary = CreateEmptyImp(binding);
  temporary->setOwner(owner);
  return temporary;
}

bool PMPicImp::ApplyPart(const Port::String& part, bool record, const Port_Range& deviceRange) {
  if (record) errorStatus = 0;
  const Port::String deviceText = part.Extract(deviceRange);
  if (!IsValidDeviceName(deviceText.c_str(), true)) {
    if (record) {
      rejectedDevice = deviceText;
      errorStatus = 2;
    }
    return false;
  }
  SetDevice(deviceText.c_str());
  rejectedDevice = Port::String();
  Port::String remainder = part;
  remainder.Remove(deviceRange);

  const Port::String speedFormat = KeyValue("SPEED_FORMAT");
  const Port_Range speedRange =
      FindSpeed(remainder, speedFormat.empty() ? kDefaultSpeedFormat : speedFormat.str());
  const Port::String speedText = remainder.Extract(speedRange);
  remainder.Remove(speedRange);

  if (remainder.empty()) {
    rejectedPackage = Port::String();
  } else {
    TrimLeadingDashes(remainder);
    if (IsValidPackageName(remainder.c_str(), true)) {
      SetPackage(remainder.c_str());
      remainder = Port::String();
      rejectedPackage = Port::String();
    } else if (record) {
      rejectedPackage = remainder;
      errorStatus = 3;
    }
  }

  if (!speedText.empty() && IsValidSpeedName(speedText.c_str(), true)) {
    SetSpeed(speedText.c_str());
    rejectedSpeed = Port::String();
  } else if (record && errorStatus == 0) {
    rejectedSpeed = speedText;
    errorStatus = 4;
  }
  return remainder.empty();
}

bool PMPicImp::ProbeOnceForPattern(const Port::String& root, const Port::String& name,
                                   bool alsoUnsupported) {
  const std::string key = root.str() + '\n' + name.str() + (alsoUnsupported ? "\n1" : "\n0");
  const ProbeResult result = PatternProbeResults().findOrMake(key, [&] {
    const bool wasUnsupported = unsupported;
    unsupported = false;
    ProbeResult probed{};
    probed.found = ProbeArchitecture(root, name, alsoUnsupported);
    probed.unsupported = unsupported;
    unsupported = wasUnsupported;
    return probed;
  });
  if (result.found && result.unsupported) unsupported = true;
  return result.found;
}

bool PMPicImp::MatchPatternFile(const Port::String& part, bool record, bool alsoUnsupported,
                                CheckedBinding& checked) {
  const Port::PathList& roots = Port::KorvanPath::GetInstance();
  for (auto& pattern : LoadedPatterns().expressions) {
    const std::string& arch = pattern.first;
    const Port_Range deviceRange = pattern.second.Compiled().GetRangeOfMatch(part, 0);
    if (deviceRange.empty()) continue;
    const bool installed = std::any_of(roots.begin(), roots.end(), [&](const Port::String& root) {
      return ProbeOnceForPattern(root, arch, alsoUnsupported);
    });
    if (!installed) continue;
    const unsigned long long messagesBefore = Port::MessagesIssuedOnThread();
    const unsigned long long tracesBefore = Port::TracesIssuedOnThread();
    verify_and_set_pm(arch.c_str(), true);
    if (ApplyPart(part, record, deviceRange)) {
      checked = {arch, part.Extract(deviceRange), messagesBefore, tracesBefore};
      return true;
    }
  }
  return false;
}

bool PMPicImp::SearchInstalledArchitectures(const Port::String& part, bool record,
                                            PM_PARTNAME_BINDING binding, bool quiet,
                                            ParseRecord& candidate) {
  std::vector<Port::String> entries;
  {
    const std::unique_ptr<PMPicImp> lister = TemporaryOfSameKind(binding);
    lister->make_list("DEVICE_FORMAT", nullptr, true, 1);
    for (const char* entry : lister->names.items()) entries.emplace_back(entry);
  }
  if (binding == PM_BINDING_ALLOW_UNSUPPORTED) {
    pm_specmgr.InitUnsuppPMsOnce();
    const auto& unsupportedEntries = pm_specmgr.unsupportedlist();
    entries.insert(entries.end(), unsupportedEntries.begin(), unsupportedEntries.end());
  }
  for (const Port::String& entry : entries) {
    const Port::String name = NameAfterVendor(entry.c_str());
    if (name.empty()) continue;
    verify_and_set_pm(name.c_str(), true);
    for (const char* key : kDeviceFormatKeys) {
      const Port::String format = KeyValue(key);
      if (format.empty()) continue;
      const std::string expressionText = Formats().Get(format.str());
      const Port_Regexp expression = Expressions().Get(expressionText);
      if (expression.GetStatus() != 0) {
        if (!quiet) PM_ISSUE(BadPartPattern, name.c_str());
        continue;
      }
      const Port_Range deviceRange = expression.GetRangeOfMatch(part, 0);
      if (deviceRange.empty()) continue;
      candidate.arch = name;
      const bool applied = ApplyPart(part, record, deviceRange);
      TakeLevelsInto(candidate);
      if (applied) {
        Patterns().expressions.insert_or_assign(name.str(), PatternExpression(expressionText));
        return true;
      }
    }
  }
  return false;
}

bool PMPicImp::ParsePartName(const char* name, bool record, PM_PARTNAME_BINDING binding,
                             bool quiet) {
  // One parse locates each architecture of a chain several times; each file is asked for once.
  const Port::ExistenceScope oneLookupPerPath;
  depth = 0;
  Port::String part = Lowered(name);
  ParseRecord candidate;
  bool found = false;
  CheckedBinding checked;
  bool fromPatternFile = false;
  if (part == "base") {
    // "base" is no architecture of its own and never binds one.
  } else if (isvalidpmname(part.c_str(), true)) {
    candidate.arch = part;
    SetArchitecture(part.c_str(), false);
    part = Port::String();
    found = true;
  } else if (MatchPatternFile(part, record, unsupported, checked)) {
    candidate.arch = family;
    TakeLevelsInto(candidate);
    found = fromPatternFile = true;
  } else {
    found = SearchInstalledArchitectures(part, record, binding, quiet, candidate);
    if (candidate.device.empty()) {
      Reset();
      friends.clear();
    } else {
      SetArchitecture(candidate.arch.c_str(), false);
    }
  }
  BindRecord(part, record, binding, quiet, fromPatternFile ? &checked : nullptr, candidate);
  validity = found ? 1 : 0;
  return found;
}

void PMPicImp::BindRecord(const Port::String& part, bool record, PM_PARTNAME_BINDING binding,
                          bool quiet, const CheckedBinding* fromPatternFile,
                          const ParseRecord& candidate) {
  if (candidate.arch.empty()) {
    if (!quiet) {
      Port_MsgManData::debugStub(
          "No valid architecture found for partname %s.  Empty PM_PIC constructed.\n",
          part.c_str());
    }
    if (record) {
      rejectedArch = part;
      errorStatus = 1;
    }
  } else if (binding == PM_BINDING_ALLOW_UNSUPPORTED &&
             pm_specmgr.isunsupported_pm(candidate.arch.c_str())) {
    BindUnsupported(record, candidate);
  } else {
    BindSupported(part, record, fromPatternFile, candidate);
  }
}

// An unsupported architecture's device is taken as found: only its internal names are looked up.
void PMPicImp::BindUnsupported(bool record, const ParseRecord& candidate) {
  SetArchitecture(candidate.arch.c_str(), true);
  unsupported = true;
  if (!candidate.device.empty()) {
    device = candidate.device;
    givenDevice = candidate.device;
    depth = 2;
    LookUpInternalNames();
  }
  const bool named = internalNameCount > 0 && Port::String(kNoInternalName) != InternalName(0);
  if (!candidate.device.empty() && named) {
    if (!candidate.package.empty()) SetPackage(candidate.package.c_str());
    if (!candidate.speed.empty()) SetSpeed(candidate.speed.c_str());
  } else if (record && errorStatus == 0) {
    ClearDevice();
    errorStatus = 2;
  }
}

// Whether the part is still as the pattern file's route left it when it bound `checked`: the same
// architecture is to be bound, its device test accepted the very device text the record holds, and
// nothing at all was said since it was set. Binding it again would then locate the same files (the
// parse asks the file system once per path), load the same shared definition, find the same levels
// valid and say nothing, so the binding keeps the levels it has.
bool PMPicImp::StillBoundAsChecked(const CheckedBinding& checked,
                                   const ParseRecord& candidate) const {
  return defdata && !pm.empty() && checked.arch == candidate.arch &&
         checked.deviceText == candidate.device && device == candidate.device &&
         package == candidate.package && speed == candidate.speed &&
         Port::MessagesIssuedOnThread() == checked.messagesBefore &&
         Port::TracesIssuedOnThread() == checked.tracesBefore;
}

void PMPicImp::BindSupported(const Port::String& part, bool record,
                             const CheckedBinding* fromPatternFile, const ParseRecord& candidate) {
  if (fromPatternFile && !part.empty() && StillBoundAsChecked(*fromPatternFile, candidate)) {
    // What binding again adds to the route: the device-level store (the route made it current
    // only when it tested a speed) and the status of a part named without a speed.
    MakeDeviceKeysCurrent();
    if (candidate.speed.empty() && record && errorStatus == 0) errorStatus = 4;
    return;
  }
  verify_and_set_pm(candidate.arch.c_str(), true);
  if (pm.empty() || !defdata || part.empty()) return;
  const char* const deviceName = candidate.device.c_str();
  if (IsValidDeviceName(deviceName, true)) {
    SetDevice(deviceName);
    // The whole name was the device (with or without its first letter): no package was given.
    const std::string& deviceText = device.str();
    if (part == device || (!deviceText.empty() && part.str() == deviceText.substr(1))) {
      rejectedPackage = Port::String();
    }
  } else if (record && errorStatus == 0) {
    errorStatus = 2;
  }
  if (IsValidPackageName(candidate.package.c_str(), true)) {
    SetPackage(candidate.package.c_str());
  } else if (!fromPatternFile && record && errorStatus == 0) {
    errorStatus = 3;
  }
  MakeDeviceKeysCurrent();
  if (!candidate.speed.empty() && IsValidSpeedName(candidate.speed.c_str(), true)) {
    SetSpeed(candidate.speed.c_str());
  } else if (record && errorStatus == 0) {
    errorStatus = 4;
  }
}

void PMPicImp::ParseThreeStrings(const char* arch, const char* part, const char* speedGiven) {
  depth = 0;
  if (!arch) return;
  const char* colon = std::strchr(arch, ':');
  if (colon) {
    const Port::String vendorPrefix(arch, static_cast<std::size_t>(colon - arch));
    verify_and_set_pm(colon + 1, true);
    if (KeyValue("VENDOR").Compare(vendorPrefix.c_str(), 1) != 0) {
      PM_ISSUE(WrongVendor, vendorPrefix.c_str());
    }
  } else {
    verify_and_set_pm(arch, true);
  }
  if (pm.empty() || !defdata || !part || pm.Compare(part, 1) == 0) return;

  const Port::String lowered = Lowered(part);
  bool applied = false;
  for (const char* key : kDeviceFormatKeys) {
    const Port::String format = KeyValue(key);
    if (format.empty()) continue;
    const Port_Range deviceRange =
        Expressions().Get(Formats().Get(format.str())).GetRangeOfMatch(lowered, 0);
    if (!deviceRange.empty() && ApplyPart(lowered, true, deviceRange)) {
      applied = true;
      break;
    }
  }
  if (!applied) {
    PM_ISSUE(PartNotInFamily, lowered.c_str(), arch);
  } else if (speedGiven && *speedGiven && speed.Compare(speedGiven, 1) != 0) {
    PM_ISSUE(InconsistentSpeed, speedGiven, speed.c_str(), lowered.c_str());
  }
}

bool PMPicImp::IsValidPartName(const char* name, char*& deviceOut, char*& packageOut,
                               bool quiet) const {
  deviceOut = nullptr;
  packageOut = nullptr;
  if (!name) return false;
  if (depth == 0) {
    if (!quiet) {
      PM_ISSUE(PartNameNeedsModule);
    }
    return false;
  }
  const std::unique_ptr<PMPicImp> temporary = TemporaryOfSameKind(
      unsupportedAllowed ? PM_BINDING_ALLOW_UNSUPPORTED : PM_BINDING_SUPPORTED_ONLY);
  temporary->ParseThreeStrings(pm.c_str(), nullptr, nullptr);
  temporary->make_list(nullptr, nullptr, false, 0);
  const Port::String lowered = Lowered(name);
  const Port::String format = temporary->KeyValue("DEVICE_FORMAT");
  const Port_Range deviceRange =
      format.empty() ? Port_Range()
                     : Expressions().Get(Formats().Get(format.str())).GetRangeOfMatch(lowered, 0);
  if (!deviceRange.empty() && temporary->ApplyPart(lowered, false, deviceRange)) {
    deviceOut = CopyOrNull(temporary->device);
    packageOut = CopyOrNull(temporary->package);
    return true;
  }
  if (!quiet) {
    PM_ISSUE(CannotFindPart, name, pm.c_str());
  }
  return false;
}

bool PMPicImp::FindPartArchitecture(const Port::String& name, Port::String& arch,
                                    bool quiet) const {
  if (name.empty()) return false;
  const std::unique_ptr<PMPicImp> temporary = TemporaryOfSameKind(PM_BINDING_SUPPORTED_ONLY);
  if (temporary->ParsePartName(name.c_str(), false, PM_BINDING_SUPPORTED_ONLY, true)) {
    arch = temporary->pm;
    return true;
  }
  if (!quiet) {
    PM_ISSUE(CannotFindPart, name.c_str(), temporary->pm.c_str());
  }
  return false;
}

bool PMPicImp::SetPart(const char* name) {
  char* deviceName = nullptr;
  char* packageName = nullptr;
  const bool valid = IsValidPartName(name, deviceName, packageName, false);
  const auto_array<char> deviceOwner(deviceName);
  const auto_array<char> packageOwner(packageName);
  if (!valid) {
    PM_ISSUE(CannotSetPart, name ? name : "", pm.empty() ? "Undefined" : pm.c_str());
    return false;
  }
  SetDevice(deviceName);
  if (packageName) SetPackage(packageName);
  return true;
}

// ---------------------------------------------------------------------------------------------
// PM_PIC: construction from part names and the part-name tests

PM_PIC::PM_PIC(const char* partname, unsigned char record, PM_PARTNAME_BINDING binding)
    : PM_PIC(partname, record, binding, std::make_unique<PMPicImp>(nullptr, binding)) {}

PM_PIC::PM_PIC(const char* partname, unsigned char record, PM_PARTNAME_BINDING binding,
               std::unique_ptr<PMPicImp> imp)
    : PM_SPEC(BareHandle{}) {
  imp->setOwner(this);
  install(std::move(imp));
  pic().ParsePartName(partname, record != 0, binding, false);
}

PM_PIC::PM_PIC(const char* arch, const char* part, const char* speed) : PM_SPEC(BareHandle{}) {
  auto imp = std::make_unique<PMPicImp>(this, PM_BINDING_SUPPORTED_ONLY);
  imp->DecodeDefinitions();
  install(std::move(imp));
  pic().ParseThreeStrings(arch, part, speed);
}

bool PM_PIC::set_part(const char* partname) { return pic().SetPart(partname); }

unsigned char PM_PIC::isvalidpartname(const char* name, char*& device, char*& package,
                                      unsigned char quiet) const {
  return pic().IsValidPartName(name, device, package, quiet != 0) ? 1 : 0;
}

unsigned char PM_PIC::isvalidpartname(const char* name, unsigned char quiet) const {
  char* device = nullptr;
  char* package = nullptr;
  const bool valid = pic().IsValidPartName(name, device, package, quiet != 0);
  const auto_array<char> deviceOwner(device);
  const auto_array<char> packageOwner(package);
  return valid ? 1 : 0;
}

bool PM_PIC::isvalidpartname(const Port::StringBase<char>& name, Port::StringBase<char>& arch,
                             bool quiet) const {
  return pic().FindPartArchitecture(name, arch, quiet);
}
