// pmtool part: what the library makes of a part name (architecture, levels, validity, the level
// that fails and the text it rejected), as a plain part or as a configuration part.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "choices.h"
#include "command.h"
#include "output.h"
#include "pmlib/part.h"
#include "pmlib/pmpic.h"
#include "pmport/port_string.h"

namespace pmtool {
namespace {

const char* const kLevelNames[] = {"none", "architecture", "device", "package", "speed"};

std::string TextOf(const char* text) { return text ? text : ""; }

nlohmann::ordered_json JsonOrNull(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

std::string OrNone(const std::string& text) { return text.empty() ? "(none)" : text; }

std::string YesNo(bool value) { return value ? "yes" : "no"; }

// What a part is made of and what is wrong with it.
struct PartReport {
  std::string arch, vendor, family, device, package, speed;
  std::vector<std::string> internalNames;
  bool validToPackage = false;
  bool validToSpeed = false;
  int status = 0;
  std::string rejected;
  std::string failsAt;   // the first level that fails; empty for a valid part
  bool missing = false;  // whether that level was not given at all
  std::string range, subfamily, databook;
  std::optional<pmlib::SpeedFlags> flags;  // known once a package is set
  LevelChoices choices;                    // at the failing level below the architecture
};

// The first level that fails and whether it was given at all; the library's failing level, else
// the speed (every name is accepted but the part is not valid to the speed as a whole).
void FindFailingLevel(const pmlib::Part& part, PartReport& report) {
  const std::optional<pmlib::Failure> failure = part.failure();
  const pmlib::Level level = failure ? failure->level : pmlib::Level::Speed;
  const std::optional<std::string> levels[] = {part.architecture(), part.device(), part.package(),
                                               part.speed()};
  report.failsAt = std::string(pmlib::levelName(level));
  report.missing = failure && !failure->rejected && !levels[static_cast<int>(level)];
}

// What the failing level could have been: the text it rejected, or the value it holds.
std::string TypedAtLevel(const PartReport& report, int level) {
  if (report.missing) return std::string();
  if (report.status == level && !report.rejected.empty()) return report.rejected;
  const std::string* const values[] = {&report.device, &report.package, &report.speed};
  return *values[level - 2];
}

LevelChoices ChoicesAtFailingLevel(const PartReport& report) {
  if (report.arch.empty()) return LevelChoices();
  const Names levelsAbove[] = {{}, {report.device}, {report.device, report.package}};
  for (int level = 2; level <= 4; ++level) {
    if (report.failsAt != kLevelNames[level]) continue;
    return PartLevelChoices(report.arch, levelsAbove[level - 2], TypedAtLevel(report, level));
  }
  return LevelChoices();
}

PartReport Describe(const pmlib::Part& parsed) {
  PM_PIC& part = parsed.handle();
  PartReport report;
  report.arch = TextOf(part.get_arch());
  report.vendor = TextOf(part.get_vendor());
  report.family = TextOf(part.get_family());
  report.device = TextOf(part.get_device());
  report.package = TextOf(part.get_package());
  report.speed = TextOf(part.get_speed());
  for (int i = 0; !report.device.empty() && i < part.get_num_idnames(); ++i) {
    report.internalNames.push_back(TextOf(part.get_internal_device(i)));
  }
  const char* rejected = "";
  report.status = part.getpicstatus(rejected);
  report.rejected = TextOf(rejected);
  report.validToPackage = part.isvalid(0, 1) != 0;
  report.validToSpeed = part.isvalid(1, 1) != 0;
  if (!report.validToSpeed) FindFailingLevel(parsed, report);
  report.choices = ChoicesAtFailingLevel(report);
  report.range = part.get_range().str();
  report.subfamily = part.GetSubFamily().str();
  report.databook = part.getDatabookName().str();
  report.flags = parsed.speedFlags();
  return report;
}

std::string StatusText(const PartReport& report) {
  std::string text = std::to_string(report.status) + " (" + kLevelNames[report.status] + ")";
  if (report.status != 0) {
    text += report.rejected.empty() ? ", nothing given" : ", rejected " + Quoted(report.rejected);
  }
  return text;
}

void PrintJsonReport(const std::string& given, const char* kind, const PartReport& report) {
  nlohmann::ordered_json result = {{"part", given},
                                   {"kind", kind},
                                   {"arch", JsonOrNull(report.arch)},
                                   {"vendor", JsonOrNull(report.vendor)},
                                   {"family", JsonOrNull(report.family)},
                                   {"device", JsonOrNull(report.device)},
                                   {"internal_names", report.internalNames},
                                   {"package", JsonOrNull(report.package)},
                                   {"speed", JsonOrNull(report.speed)},
                                   {"valid_to_package", report.validToPackage},
                                   {"valid_to_speed", report.validToSpeed},
                                   {"status", report.status},
                                   {"rejected", JsonOrNull(report.rejected)},
                                   {"fails_at", JsonOrNull(report.failsAt)},
                                   {"missing", report.missing},
                                   {"range", JsonOrNull(report.range)},
                                   {"subfamily", JsonOrNull(report.subfamily)},
                                   {"databook", JsonOrNull(report.databook)}};
  AddChoices(result, report.choices);
  result["min_speed"] =
      report.flags ? nlohmann::ordered_json(report.flags->minimumSpeed) : nlohmann::ordered_json();
  result["speed_411"] =
      report.flags ? nlohmann::ordered_json(report.flags->speed411) : nlohmann::ordered_json();
  PrintJson(result);
}

void PrintPlainReport(const std::string& given, const char* kind, const PartReport& report) {
  Table table;
  table.add({"part:", given + " (" + kind + ")"});
  table.add({"architecture:", OrNone(report.arch)});
  table.add({"vendor:", OrNone(report.vendor)});
  table.add({"family:", OrNone(report.family)});
  std::string internal;
  for (const std::string& name : report.internalNames) {
    internal += (internal.empty() ? "" : ", ") + name;
  }
  table.add({"device:",
             report.device.empty() ? "(none)" : report.device + " (internal " + internal + ")"});
  table.add({"package:", OrNone(report.package)});
  table.add({"speed:", OrNone(report.speed)});
  table.add({"valid to package:", YesNo(report.validToPackage)});
  table.add({"valid to speed:", YesNo(report.validToSpeed)});
  table.add({"error status:", StatusText(report)});
  table.add({"fails at:", OrNone(report.failsAt) + (report.missing ? " (not given)" : "")});
  table.add({"range:", OrNone(report.range)});
  table.add({"subfamily:", OrNone(report.subfamily)});
  table.add({"databook name:", OrNone(report.databook)});
  table.add({"speed flags:", report.flags ? std::string(report.flags->minimumSpeed ? "" : "no ") +
                                                "minimum speed, " +
                                                (report.flags->speed411 ? "" : "no ") + "411 speed"
                                          : "(no package)"});
  std::cout << table.str();
}

std::optional<pmlib::Unsupported> ParseBinding(const char* text) {
  if (!text) return pmlib::Unsupported::FromEnvironment;
  const std::string value = text;
  if (value == "0") return pmlib::Unsupported::Refused;
  if (value == "1") return pmlib::Unsupported::Allowed;
  if (value == "2") return pmlib::Unsupported::FromEnvironment;
  return std::nullopt;
}

// With --arch and --speed, a part whose own speed differs has failed: the library warned.
int SpeedAgrees(const PartReport& report, const char* expected) {
  if (!expected || Port::stricmp(report.speed.c_str(), expected) == 0) return kExitOk;
  PrintError("the part's speed " + OrNone(report.speed) + " is not " + expected +
             ", the speed --speed gives");
  return kExitProblem;
}

int RunPart(const Invocation& invocation) {
  const UT_ARGINFO& args = invocation.args;
  const std::string& given = invocation.positional(0);
  const char* arch = args.getvalue("arch");
  const char* speed = args.getvalue("speed");
  const bool config = args.hasflag("config");
  if (!arch && speed) return UsageError("--speed goes with --arch", invocation.path);
  if (arch && (config || args.getvalue("binding"))) {
    return UsageError("--arch takes neither --config nor --binding", invocation.path);
  }
  const std::optional<pmlib::Unsupported> binding = ParseBinding(args.getvalue("binding"));
  if (!binding) return UsageError("--binding is 0, 1 or 2", invocation.path);

  pmlib::PartOptions options;
  if (arch) options.architecture = arch;
  if (speed) options.speed = speed;
  options.unsupported = *binding;
  options.configuration = config;
  const char* kind = config ? "configuration part" : "part";
  const PartReport report = Describe(pmlib::Part::parse(given, options));
  if (invocation.json()) {
    PrintJsonReport(given, kind, report);
  } else {
    PrintPlainReport(given, kind, report);
  }
  if (report.failsAt.empty()) return SpeedAgrees(report, speed);
  PrintError(Quoted(given) + " fails at the " + report.failsAt + " level" +
             (report.missing ? " (not given)" : ""));
  if (!report.choices.what.empty()) PrintChoices(report.choices);
  return kExitProblem;
}

Family MakePartFamily() {
  Command part{
      "",
      "PARTNAME",
      "show what a part name names: architecture, device, package, speed and what fails",
      {{"json", nullptr, "print the result as JSON"},
       {"config", nullptr, "make a configuration part (configuration rules for FPGA devices)"},
       {"binding", "N",
        "0: supported architectures only, 1: unsupported ones too, 2 (default): "
        "as QOR_USE_UNSUPPORTED_PMS says"},
       {"arch", "ARCH", "the architecture (\"VENDOR:ARCH\" or \"ARCH\") of the part"},
       {"speed", "SPEED", "with --arch: the speed the part is expected to have"}},
      "Parses PARTNAME (device, package and speed run together, in any order the\n"
      "architectures' formats allow: \"xcab12etq144-3\", \"XCAB12E-3TQ144\", \"xcab12e-3-tq144\")\n"
      "the way a design tool does: an architecture name stands for itself, the installation's\n"
      "pattern files (data/patternfile) are asked first, then every installed architecture's\n"
      "DEVICE_FORMAT and ALT_DEVICE_FORMAT in turn; the speed is what SPEED_FORMAT matches after\n"
      "a \"-\" and the rest is the package.\n"
      "\n"
      "Shows the architecture, vendor, family, device with its internal names, package and\n"
      "speed, whether the part is valid down to the package and to the speed level, the error\n"
      "status (1 architecture, 2 device, 3 package, 4 speed) with the text rejected, the first\n"
      "level that fails, the range, subfamily and databook name, and the flags of the device's\n"
      "speed file. With --config the part follows the configuration rules: an FPGA device\n"
      "declared in DEVICE_INTERNAL needs only its package file.\n"
      "\n"
      "A part that fails at the device, package or speed level is reported on standard error\n"
      "with the valid choices at that level and the closest of them to what was given (\"did\n"
      "you mean tq144?\").\n"
      "\n"
      "With --arch the architecture is given and PARTNAME is a part of it; warnings name a\n"
      "vendor, part or --speed that does not fit.\n"
      "\n"
      "With --json: {\"part\", \"kind\", \"arch\", \"vendor\", \"family\", \"device\",\n"
      "\"internal_names\", \"package\", \"speed\", \"valid_to_package\", \"valid_to_speed\",\n"
      "\"status\", \"rejected\", \"fails_at\", \"missing\", \"range\", \"subfamily\",\n"
      "\"databook\", \"choices\", \"suggestions\", \"min_speed\", \"speed_411\"}; absent values\n"
      "are null, choices and suggestions empty unless a level below the architecture fails.\n",
      "  pmtool part xcab12etq144-3          # alpha, found through the pattern file\n"
      "  pmtool part XCAB40E-4-PQ208\n"
      "  pmtool part xcab12ebg999-3          # fails at the package level\n"
      "  pmtool part --config xcab80ecs144-4 # a declared device without device file\n"
      "  pmtool part --arch Korvan:alpha --speed -4 xcab12etq144-3\n",
      "  0  the part is valid down to the speed level\n"
      "  1  the part fails at some level (the output names it), or its speed is not --speed\n",
      1,
      1,
      RunPart};
  return Family{"part", "Part names.", {std::move(part)}};
}

}  // namespace

const Family& PartFamily() {
  static const Family family = MakePartFamily();
  return family;
}

}  // namespace pmtool
