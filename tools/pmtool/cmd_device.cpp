// pmtool device: what an architecture knows of a device name: the device it denotes, the
// device's internal names, its subfamily and the architecture's ranges.
#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "choices.h"
#include "command.h"
#include "module.h"
#include "output.h"
#include "pmlib/pmdevkey.h"
#include "pmlib/pmpic.h"

namespace pmtool {
namespace {

// What the architecture says of one name.
struct DeviceReport {
  std::string device;  // the architecture's device name; empty when the name denotes none
  Names internalNames;
  std::string specifier;
  std::string subfamily;
  Names ranges;
  LevelChoices choices;  // the devices of the architecture, when the name denotes none
};

std::string Joined(const Names& names) {
  if (names.empty()) return "(none)";
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
  return text;
}

nlohmann::ordered_json NullWhenEmpty(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

// A name denotes a device only when the architecture lists its devices and one of them has it.
std::string ListedDevice(const PM_PIC& part, const std::string& name) {
  const PM_DEVKEY* store = part.get_defdata();
  if (store->GetStringByKey("DEVICE_INTERNAL", 0, 0, 0, 0).empty()) return std::string();
  const std::unique_ptr<char[]> device(part.find_external_device(name.c_str()));
  return device ? std::string(device.get()) : std::string();
}

DeviceReport Describe(PM_PIC& part, const std::string& name) {
  DeviceReport report;
  std::vector<Port::String> ranges;
  part.getsupportedranges(ranges);
  for (const Port::String& range : ranges) report.ranges.push_back(range.str());
  report.device = ListedDevice(part, name);
  if (report.device.empty()) {
    // The same choices as every other command offers at the device level.
    report.choices = PartLevelChoices(part.get_arch(), Names(), name);
    return report;
  }
  part.set_device(name.c_str());
  for (int i = 0; i < part.get_num_idnames(); ++i) {
    report.internalNames.push_back(part.get_internal_device(i));
  }
  report.specifier = part.GetSubFamilySpecifier().str();
  report.subfamily = part.GetSubFamily().str();
  return report;
}

void PrintReport(const PM_PIC& part, const std::string& name, const DeviceReport& report,
                 bool json) {
  const std::string arch = part.get_arch();
  if (json) {
    nlohmann::ordered_json result = {{"arch", arch}, {"name", name}};
    result["device"] = NullWhenEmpty(report.device);
    result["internal_names"] = report.internalNames;
    result["subfamily_specifier"] = NullWhenEmpty(report.specifier);
    result["subfamily"] = NullWhenEmpty(report.subfamily);
    result["ranges"] = report.ranges;
    result["known"] = !report.device.empty();
    AddChoices(result, report.choices);
    PrintJson(result);
    return;
  }
  Table table;
  table.add({"name:", name});
  table.add({"device:", report.device.empty() ? "(none)" : report.device});
  table.add({"internal names:", Joined(report.internalNames)});
  table.add({"subfamily:", report.subfamily.empty() ? "(none)" : report.subfamily});
  table.add({"specifier:", report.specifier.empty() ? "(none)" : report.specifier});
  table.add({"ranges:", Joined(report.ranges)});
  table.add({"device of " + arch + ":", report.device.empty() ? "no" : "yes"});
  std::cout << table.str();
}

int RunDevice(const Invocation& invocation) {
  const std::string& arch = invocation.positional(0);
  const std::string& name = invocation.positional(1);
  const std::unique_ptr<PM_PIC> part = LoadPart(arch);
  if (!part) return kExitProblem;
  const DeviceReport report = Describe(*part, name);
  PrintReport(*part, name, report, invocation.json());
  if (!report.device.empty()) return kExitOk;
  PrintError(Quoted(name) + " is no device of " + part->get_arch());
  PrintChoices(report.choices);
  return kExitProblem;
}

Family MakeDeviceFamily() {
  Command device{
      "",
      "ARCH NAME",
      "show what an architecture knows of a device name",
      {{"json", nullptr, "print the result as JSON"}},
      "Looks NAME up among the devices of the personality module ARCH (a name or an alias):\n"
      "each group of the definition's DEVICE_INTERNAL names one device, its device name first\n"
      "and its internal names (under which its data files are named) after it. NAME may be\n"
      "any of these names, in any letter case. With PM_TEST_DEVICES present in the environment\n"
      "the groups of TEST_DEVICE_INTERNAL count too.\n"
      "\n"
      "Shows the device NAME denotes, the device's internal names, its subfamily (SUBFAM_NAMES\n"
      "entry of the specifier that SUBFAM_FORMAT captures from the whole device name) with the\n"
      "specifier, the ranges the architecture supports (RANGES, the default first), and whether\n"
      "NAME denotes a device of ARCH at all.\n"
      "\n"
      "With --json: {\"arch\", \"name\", \"device\", \"internal_names\", \"subfamily_specifier\",\n"
      "\"subfamily\", \"ranges\", \"known\", \"choices\", \"suggestions\"}; absent values are\n"
      "null, absent lists empty; choices and suggestions (the devices of ARCH and the closest\n"
      "of them) only for a NAME that denotes none. The choices are the devices a part of ARCH\n"
      "can take, as `pmtool parts ARCH` lists them (a declared device without its data files is\n"
      "not among them).\n",
      "  pmtool device alpha ab40e_alt      # device xcab40e, subfamily mid\n"
      "  pmtool device alpha XCAB80E\n"
      "  PM_TEST_DEVICES= pmtool device --json alpha xcab99e\n",
      "  0  NAME denotes a device of ARCH\n"
      "  1  ARCH is not usable, or NAME denotes none of its devices (the ranges are still shown)\n",
      2,
      2,
      RunDevice};
  return Family{"device", "Devices of a personality module.", {std::move(device)}};
}

}  // namespace

const Family& DeviceFamily() {
  static const Family family = MakeDeviceFamily();
  return family;
}

}  // namespace pmtool
