// Installations for the validator, list and part-validity tests: modules with device tables and
// their device (.nph), package (.pkg) and speed (.spd) files.
#ifndef PMLIB_TESTS_LIB_VALIDATION_FIXTURE_H
#define PMLIB_TESTS_LIB_VALIDATION_FIXTURE_H

#include <sstream>

#include "baspmpic.h"
#include "pmlib/pmpic.h"
#include "spine_fixture.h"

namespace validationtest {

// A physical module definition of `type` with the device table `devices`.
inline std::string Module(const std::string& arch, const std::string& type,
                          const std::string& devices, const std::string& extra = "",
                          const std::string& friendName = "") {
  return spinetest::Definition(arch, friendName,
                               "ARCH_TYPE = " + type + "\nVENDOR = Acme\nFAMILY = " + arch +
                                   "\nSUPPORT_MODE = PHYSICAL\nDEVICE_INTERNAL = " + devices +
                                   "\n" + extra);
}

inline std::vector<pmtest::Segment> Segments(const std::vector<std::string>& names) {
  std::vector<pmtest::Segment> segments;
  for (const std::string& name : names) segments.push_back({name, 0, "data"});
  return segments;
}

// Writes <root>/<pm>/data/<file> as a segmented file of `names`.
inline void DataFile(const spinetest::Root& root, const std::string& pm, const std::string& file,
                     const std::vector<std::string>& names) {
  pmtest::WriteSegmentedFile(root.DataFile(pm, file), Segments(names));
}

inline void DeviceFile(const spinetest::Root& root, const std::string& pm,
                       const std::string& name) {
  root.File(pm + "/data/" + name + ".nph", "device\n");
}

// One module of a test installation. `files` are its data files, apart by spaces: "d1.nph" a
// device file, "d1.pkg=tq144,cs49" a segmented file of the names after "=". Without a type, the
// definition holds no keys but its name, friend, BASE_MODE and `extra`.
struct ModuleRow {
  std::string name, type, devices;
  std::string files = "";
  std::string extra = "", friendName = "";
  bool unsupported = false;
};

// A data file of a ModuleRow written into `folder`.
inline void WriteModuleFile(const std::string& folder, const std::string& file) {
  const std::size_t equals = file.find('=');
  if (equals == std::string::npos) return pmtest::WriteFile(folder + file, "device\n");
  std::vector<pmtest::Segment> segments;
  std::istringstream names(file.substr(equals + 1));
  for (std::string name; std::getline(names, name, ',');) segments.push_back({name, 0, "data"});
  pmtest::WriteSegmentedFile(folder + file.substr(0, equals), segments);
}

// Writes the modules under `root`.
inline void WriteModules(const spinetest::Root& root, const std::vector<ModuleRow>& modules) {
  for (const ModuleRow& m : modules) {
    const std::string definition = m.type.empty()
                                       ? spinetest::Definition(m.name, m.friendName, m.extra)
                                       : Module(m.name, m.type, m.devices, m.extra, m.friendName);
    const std::string pm = (m.unsupported ? "data/unsupported/" : "") + m.name;
    root.File(pm + "/data/" + m.name + ".acd", definition);
    std::istringstream files(m.files);
    for (std::string file; files >> file;) WriteModuleFile(root.path() + "/" + pm + "/data/", file);
  }
}

// A root holding `modules`, made the installation path.
struct InstalledModules {
  explicit InstalledModules(const std::vector<ModuleRow>& modules) {
    WriteModules(root, modules);
    spinetest::Install({&root});
  }
  spinetest::Root root;
};

// A part of `arch` made the way the library makes them.
inline std::unique_ptr<PM_PIC> Part(const char* arch,
                                    PM_PARTNAME_BINDING binding = PM_BINDING_SUPPORTED_ONLY) {
  return PMPicImp::NewPart(arch, binding);
}

// A part of `arch` set down to the levels given (null: not set).
inline std::unique_ptr<PM_PIC> PartAt(const char* arch, const char* device,
                                      const char* package = nullptr, const char* speed = nullptr) {
  auto part = Part(arch);
  if (device) part->set_device(device);
  if (package) part->set_package(package);
  if (speed) part->set_speed(speed);
  return part;
}

// The names of a part's current list.
inline std::vector<std::string> Listed(const PM_PIC& part) {
  return std::vector<std::string>(part.begin(false), part.end(false));
}

// The names make_list gives for the part's next level.
inline std::vector<std::string> NextLevel(PM_PIC& part) {
  part.make_list(nullptr, nullptr, 0);
  return Listed(part);
}

// The names joined with ",".
inline std::string JoinedNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ",") + name;
  return joined;
}

// The names of the library's messages among `messages` (their entries in pmlib::msg), apart by
// spaces; Debug and Status messages are left out, and a message of no entry shows as "?" and its
// text. Where two entries fit a text, the one with the longer format names it.
inline std::string MessageNames(const std::vector<Port::Message>& messages) {
  std::string names;
  for (const Port::Message& message : messages) {
    if (message.kind == Port::MsgKind::Debug || message.kind == Port::MsgKind::Status) continue;
    const Port::MsgEntry* named = nullptr;
    for (const Port::MsgEntry& entry : pmlib::msg::kAll) {
      const bool longer = !named || std::strlen(entry.text) > std::strlen(named->text);
      if (longer && pmtest::IsFrom(message, entry)) named = &entry;
    }
    names += (names.empty() ? "" : " ") + (named ? std::string(named->name) : "?" + message.text);
  }
  return names;
}

// "arch/device/package/speed @depth" of a part, "-" for a level not set.
inline std::string Levels(const PM_PIC& part) {
  const auto text = [](const char* level) { return std::string(level ? level : "-"); };
  return text(part.get_arch()) + "/" + text(part.get_device()) + "/" + text(part.get_package()) +
         "/" + text(part.get_speed()) + " @" + std::to_string(part.get_depth());
}

}  // namespace validationtest

#endif  // PMLIB_TESTS_LIB_VALIDATION_FIXTURE_H
