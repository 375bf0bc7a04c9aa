// Conversions to the Python side's enums and dataclasses, and the delivery of messages.
#include "values.h"

#include <pybind11/stl.h>

#include <algorithm>
#include <cstdlib>

#include "calls.h"

namespace pmpython {

using namespace pybind11::literals;

namespace {

py::object Member(const char* enumName, const char* member) {
  return PackageAttribute(enumName)[py::str(member)];
}

const char* MemberName(pmlib::ModuleType type) {
  switch (type) {
    case pmlib::ModuleType::FPGA:
      return "FPGA";
    case pmlib::ModuleType::CPLD:
      return "CPLD";
    case pmlib::ModuleType::CONFIG:
      return "CONFIG";
    case pmlib::ModuleType::Other:
      break;
  }
  return "OTHER";
}

const char* MemberName(pmlib::ErrorKind kind) {
  switch (kind) {
    case pmlib::ErrorKind::NoInstallation:
      return "NO_INSTALLATION";
    case pmlib::ErrorKind::NoSuchModule:
      return "NO_SUCH_MODULE";
    case pmlib::ErrorKind::UnreadableDefinition:
      return "UNREADABLE_DEFINITION";
    case pmlib::ErrorKind::NoSuchDevice:
      break;
  }
  return "NO_SUCH_DEVICE";
}

const char* MemberName(Port::MsgKind kind) {
  switch (kind) {
    case Port::MsgKind::Fatal:
      return "FATAL";
    case Port::MsgKind::UserFatal:
      return "USER_FATAL";
    case Port::MsgKind::Warning:
      return "WARNING";
    case Port::MsgKind::Status:
      return "STATUS";
    case Port::MsgKind::Internal:
      return "INTERNAL";
    case Port::MsgKind::Debug:
      break;
  }
  return "DEBUG";
}

std::string WithoutFinalNewline(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

template <typename T>
py::tuple Tuple(const T& values) {
  return py::tuple(py::cast(values));
}

}  // namespace

py::object PackageAttribute(const char* name) { return py::module_::import("pmlib").attr(name); }

py::object ToPython(pmlib::ModuleType type) { return Member("ModuleType", MemberName(type)); }

py::object ToPython(pmlib::Level level) {
  const std::string name(pmlib::levelName(level));
  return PackageAttribute("Level")(name);  // the members' values are the level names
}

py::object ToPython(pmlib::ErrorKind kind) { return Member("ErrorKind", MemberName(kind)); }

py::object ToPython(const Port::Message& message) {
  return PackageAttribute("Message")(
      "kind"_a = Member("MessageKind", MemberName(message.kind)), "code"_a = message.code,
      "text"_a = WithoutFinalNewline(message.text), "domain"_a = message.domain);
}

py::object ToPython(const pmlib::ModuleEntry& entry) {
  return PackageAttribute("ModuleEntry")("name"_a = entry.name, "alias"_a = entry.alias,
                                         "unsupported"_a = entry.unsupported,
                                         "definition"_a = entry.definition);
}

py::object ToPython(const pmlib::ModuleLocation& location) {
  return PackageAttribute("ModuleLocation")(
      "name"_a = location.name, "definition"_a = location.definition,
      "data_folders"_a = Tuple(location.dataFolders), "unsupported"_a = location.unsupported);
}

py::object ToPython(const pmlib::Device& device) {
  return PackageAttribute("Device")(
      "name"_a = device.name, "internal_names"_a = Tuple(device.internalNames),
      "packages"_a = Tuple(device.packages), "speeds"_a = Tuple(device.speeds),
      "speed_grades"_a = Tuple(device.speedGrades), "subfamily"_a = device.subfamily,
      "ranges"_a = Tuple(device.ranges));
}

py::object ToPython(const pmlib::SpeedFlags& flags) {
  return PackageAttribute("SpeedFlags")("minimum_speed"_a = flags.minimumSpeed,
                                        "speed_411"_a = flags.speed411);
}

void RaiseError(const pmlib::Error& error) {
  const py::object type = PackageAttribute("Error");
  const py::object instance = type(error.what(), ToPython(error.kind()), error.code());
  PyErr_SetObject(type.ptr(), instance.ptr());
}

std::mutex& SetupMutex() {
  static std::mutex mutex;
  return mutex;
}

void DropUntracedDebug(std::vector<Port::Message>& messages) {
  if (std::getenv("PM_TRACE")) return;
  const auto isDebug = [](const Port::Message& message) {
    return message.kind == Port::MsgKind::Debug;
  };
  messages.erase(std::remove_if(messages.begin(), messages.end(), isDebug), messages.end());
}

void Deliver(const std::vector<Port::Message>& messages) {
  if (messages.empty()) return;
  py::list converted;
  for (const Port::Message& message : messages) converted.append(ToPython(message));
  PackageAttribute("_deliver")(converted);
}

}  // namespace pmpython
